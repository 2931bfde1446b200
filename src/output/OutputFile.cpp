#include "output/OutputFile.h"

#include <algorithm>
#include <string>

#include "output/FileName.h"

bool OutputFile::Open(const char* name) {
    Close();
    const std::wstring wide = WideFileName(name);
    if (wide.empty()) return false;
    m_handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        // Typically the file does not exist yet. A read-only file exists, so
        // this fails for it as well.
        m_handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return IsOpen();
}

bool OutputFile::Write(const void* data, size_t size) {
    if (!IsOpen()) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    // WriteFile takes 32-bit lengths; whole frames are written in large pieces.
    constexpr size_t kPiece = size_t{1} << 30;
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min(size, kPiece));
        DWORD done = 0;
        if (!WriteFile(m_handle, p, want, &done, nullptr) || done == 0) return false;
        p += done;
        size -= done;
    }
    return true;
}

bool OutputFile::Seek(uint64_t offset) {
    if (!IsOpen()) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) != 0;
}

bool OutputFile::Truncate() { return IsOpen() && SetEndOfFile(m_handle) != 0; }

bool OutputFile::Close() {
    if (!IsOpen()) return false;
    const bool closed = CloseHandle(m_handle) != 0;
    m_handle = INVALID_HANDLE_VALUE;
    return closed;
}
