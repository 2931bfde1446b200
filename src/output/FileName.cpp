#include "output/FileName.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

// `count` wide characters as UTF-8; false when they are not valid UTF-16.
bool ToUtf8(const wchar_t* text, int count, std::string* utf8) {
    utf8->clear();
    if (count == 0) return true;
    const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    utf8->resize(static_cast<size_t>(bytes));
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, count, utf8->data(), bytes, nullptr, nullptr) ==
           bytes;
}

// `count` bytes of `codePage` text as UTF-16; empty when they do not convert.
std::wstring ToWide(UINT codePage, DWORD flags, const char* text, int count) {
    if (count <= 0) return {};
    const int chars = MultiByteToWideChar(codePage, flags, text, count, nullptr, 0);
    if (chars <= 0) return {};
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    if (MultiByteToWideChar(codePage, flags, text, count, wide.data(), chars) != chars) return {};
    return wide;
}

int Length(const char* text) {
    const size_t n = std::strlen(text);
    return n > static_cast<size_t>(INT32_MAX) ? -1 : static_cast<int>(n);
}

}  // namespace

bool FileNameFromWide(const wchar_t* name, std::string* utf8) {
    if (name == nullptr) return false;
    size_t chars = 0;
    while (name[chars] != L'\0') {
        if (++chars > kMaxFileNameChars) return false;
    }
    return ToUtf8(name, static_cast<int>(chars), utf8);
}

std::string FileNameFromAnsi(const char* name) {
    if (name == nullptr) return {};
    // CreateFileA reads its name in this code page; the name means the same file here.
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const std::wstring wide = ToWide(codePage, 0, name, Length(name));
    std::string utf8;
    if (!ToUtf8(wide.data(), static_cast<int>(wide.size()), &utf8)) return {};
    return utf8;
}

std::wstring WideFileName(const char* name) {
    if (name == nullptr) return {};
    return ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, name, Length(name));
}

FILE* OpenForWriting(const char* name) {
    const std::wstring wide = WideFileName(name);
    if (wide.empty()) return nullptr;
    return _wfopen(wide.c_str(), L"wb");
}
