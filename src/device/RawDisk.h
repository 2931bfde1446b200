// Raw-disk access: the one seam between the library and the camera hardware.
// The camera presents itself as a USB mass-storage disk; the device object opens
// it as a physical drive and exchanges sectors at fixed byte offsets. Everything
// goes through the IRawDisk in force, which is the Win32 implementation unless a
// test has installed another one (SetRawDisk). Internal only: never exported.
#pragma once
#include <windows.h>

#include <cstdint>

class IRawDisk {
public:
    virtual ~IRawDisk() = default;
    // Opens physical drive `drive` for reading and writing; INVALID_HANDLE_VALUE when it cannot be opened.
    virtual HANDLE Open(int drive) = 0;
    // Sets the file position to an absolute byte offset from the start of the disk.
    virtual bool Seek(HANDLE disk, uint32_t offset) = 0;
    // One synchronous read or write of `length` bytes at the current position.
    virtual bool Read(HANDLE disk, void* buffer, uint32_t length) = 0;
    virtual bool Write(HANDLE disk, const void* buffer, uint32_t length) = 0;
    virtual void Close(HANDLE disk) = 0;
};

// "\\.\PhysicalDriveN" through CreateFileA / SetFilePointer / ReadFile / WriteFile / CloseHandle.
class Win32RawDisk final : public IRawDisk {
public:
    HANDLE Open(int drive) override;
    bool Seek(HANDLE disk, uint32_t offset) override;
    bool Read(HANDLE disk, void* buffer, uint32_t length) override;
    bool Write(HANDLE disk, const void* buffer, uint32_t length) override;
    void Close(HANDLE disk) override;
};

// The implementation in force (the Win32 one by default).
IRawDisk& RawDisk();

// Installs `disk` (null: the Win32 implementation again) and returns the one that
// was in force before. Install before any device object is created and restore
// after the last one is gone: handles are only valid with the disk that made them.
IRawDisk* SetRawDisk(IRawDisk* disk);
