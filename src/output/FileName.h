// File names inside the library are UTF-8, whatever the application passed:
// the narrow exports' names in the ANSI code page, the wide exports' names in
// UTF-16. Files are opened with the wide Windows functions, so that every name
// the file system can hold works, also one outside the system's code page (a
// Japanese name on an English system).
#pragma once
#include <cstdio>
#include <string>

// The longest wide name the wide exports take, terminator not counted.
constexpr size_t kMaxFileNameChars = 1023;

// A wide export's name as UTF-8; false for a null name, one longer than
// kMaxFileNameChars, or one that is not valid UTF-16 (a lone surrogate).
bool FileNameFromWide(const wchar_t* name, std::string* utf8);
// A narrow export's name as UTF-8, read in the code page the ANSI file
// functions use; empty when it does not convert.
std::string FileNameFromAnsi(const char* name);
// The UTF-16 form of a library file name; empty for a null, empty or invalid one.
std::wstring WideFileName(const char* name);
// The file opened for binary writing (created or truncated) by the C runtime;
// null when the name or the open fails.
FILE* OpenForWriting(const char* name);
