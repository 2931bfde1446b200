// A file the SDK writes (BMP, raw, AVI), opened the way applications expect
// an existing file to be replaced: truncated when it exists, created when it
// does not, and refused when it is read-only or cannot be made. Every write is
// checked in full, so a full disk or a failed write is never taken for success.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { Close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // `name` (UTF-8, FileName.h) with TRUNCATE_EXISTING, then with CREATE_NEW
    // when that fails. Closes a file still open first. False when neither works.
    bool Open(const char* name);
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Writes all `size` bytes at the current position; false on a short or
    // failed write.
    bool Write(const void* data, size_t size);
    // Moves to `offset` bytes from the start of the file.
    bool Seek(uint64_t offset);
    // Cuts the file at the current position.
    bool Truncate();
    // Closes the file; false when it was not open or closing failed (the
    // system may report a deferred write error here).
    bool Close();

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
