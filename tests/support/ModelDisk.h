// ModelDisk: hosts simulated cameras behind the library's raw-disk seam.
// Drive numbers map to CameraModel objects; each open handle keeps its own file
// position, as a real disk handle does. Install it with ScopedRawDisk for the
// lifetime of the device objects that use it.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/RawDisk.h"
#include "model/CameraModel.h"

namespace vidlyn::test {

class ModelDisk final : public IRawDisk {
public:
    // Puts `camera` on drive `drive` (the disk does not own it). Null removes it.
    void Attach(int drive, vcam::CameraModel* camera);

    HANDLE Open(int drive) override;
    bool Seek(HANDLE disk, uint32_t offset) override;
    bool Read(HANDLE disk, void* buffer, uint32_t length) override;
    bool Write(HANDLE disk, const void* buffer, uint32_t length) override;
    void Close(HANDLE disk) override;

    int OpenHandles() const;  // handles opened and not yet closed
    int OpenHandles(int drive) const;
    std::vector<int> OpenAttempts() const;  // every drive number asked for, in order
    void ClearOpenAttempts();

private:
    struct Handle {
        int drive;
        vcam::CameraModel* camera;
        uint64_t position;
    };
    Handle* Find(HANDLE disk);
    template <class Transfer>
    bool AtPosition(HANDLE disk, uint32_t length, Transfer transfer);

    mutable std::mutex m_lock;
    std::map<int, vcam::CameraModel*> m_drives;
    std::map<uintptr_t, Handle> m_handles;
    std::vector<int> m_attempts;
    uintptr_t m_next = 0x7E10;
};

// Installs a raw disk for one scope and restores the previous one afterwards.
class ScopedRawDisk {
public:
    explicit ScopedRawDisk(IRawDisk* disk) : m_previous(SetRawDisk(disk)) {}
    ~ScopedRawDisk() { SetRawDisk(m_previous); }
    ScopedRawDisk(const ScopedRawDisk&) = delete;
    ScopedRawDisk& operator=(const ScopedRawDisk&) = delete;

private:
    IRawDisk* m_previous;
};

// A test setup: a ModelDisk installed for the rig's lifetime with cameras on
// chosen drives. Device objects must be destroyed before their rig.
struct CameraRig {
    CameraRig() = default;
    CameraRig(const CameraRig&) = delete;
    CameraRig& operator=(const CameraRig&) = delete;
    vcam::CameraModel& Add(int drive, const vcam::CameraSettings& settings = vcam::CameraSettings()) {
        auto& slot = cameras[drive];
        slot = std::make_unique<vcam::CameraModel>(settings);
        disk.Attach(drive, slot.get());
        return *slot;
    }

    ModelDisk disk;
    ScopedRawDisk install{&disk};
    std::map<int, std::unique_ptr<vcam::CameraModel>> cameras;
};

// The system's disk enumeration list (HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum):
// replaces it with "Count" = entries.size() and the values "0".."N-1".
bool WriteDiskEnum(const std::vector<std::string>& entries);
// Writes one raw value below the key (any type, any length), e.g. an over-long entry.
bool WriteDiskEnumValue(const char* name, DWORD type, const void* data, DWORD size);
void DeleteDiskEnum();
// A disk list entry as the system writes it for a camera of model `model`.
std::string CameraEnumEntry(const char* model = "QM7720E", int serial = 1);

}  // namespace vidlyn::test
