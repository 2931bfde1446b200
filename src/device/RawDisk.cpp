// Production raw-disk access and the switch that lets tests host a simulated camera.
#include "device/RawDisk.h"

#include <atomic>
#include <cstdio>

HANDLE Win32RawDisk::Open(int drive) {
    char name[256] = {};
    std::snprintf(name, sizeof(name), "\\\\.\\PhysicalDrive%d", drive);
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

bool Win32RawDisk::Seek(HANDLE disk, uint32_t offset) {
    // Offsets used by the protocol stay far below 2 GiB, so the low part alone positions.
    return SetFilePointer(disk, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool Win32RawDisk::Read(HANDLE disk, void* buffer, uint32_t length) {
    DWORD done = 0;
    // A short read leaves part of the sector or frame unread: that is no answer.
    return ReadFile(disk, buffer, length, &done, nullptr) != FALSE && done == length;
}

bool Win32RawDisk::Write(HANDLE disk, const void* buffer, uint32_t length) {
    DWORD done = 0;
    return WriteFile(disk, buffer, length, &done, nullptr) != FALSE && done == length;
}

void Win32RawDisk::Close(HANDLE disk) { CloseHandle(disk); }

namespace {
Win32RawDisk g_win32Disk;
std::atomic<IRawDisk*> g_disk{&g_win32Disk};
}  // namespace

IRawDisk& RawDisk() { return *g_disk.load(); }

IRawDisk* SetRawDisk(IRawDisk* disk) { return g_disk.exchange(disk ? disk : &g_win32Disk); }
