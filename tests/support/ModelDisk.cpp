#include "ModelDisk.h"

#include <cstdio>

namespace vidlyn::test {

namespace {
const char kDiskEnumKey[] = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
}

void ModelDisk::Attach(int drive, vcam::CameraModel* camera) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (camera)
        m_drives[drive] = camera;
    else
        m_drives.erase(drive);
}

HANDLE ModelDisk::Open(int drive) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_attempts.push_back(drive);
    auto it = m_drives.find(drive);
    if (it == m_drives.end() || it->second->Removed()) return INVALID_HANDLE_VALUE;
    const uintptr_t id = m_next;
    m_next += 4;
    m_handles[id] = Handle{drive, it->second, 0};
    return reinterpret_cast<HANDLE>(id);
}

ModelDisk::Handle* ModelDisk::Find(HANDLE disk) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(disk));
    return it == m_handles.end() ? nullptr : &it->second;
}

bool ModelDisk::Seek(HANDLE disk, uint32_t offset) {
    vcam::CameraModel* camera = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Handle* h = Find(disk);
        if (!h) return false;
        camera = h->camera;
    }
    if (!camera->Seek(offset)) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (Handle* h = Find(disk)) h->position = offset;
    return true;
}

// One transfer at the handle's position, which then moves past it. The camera
// is called outside the lock, so a slow transfer never blocks other handles.
template <class Transfer>
bool ModelDisk::AtPosition(HANDLE disk, uint32_t length, Transfer transfer) {
    vcam::CameraModel* camera = nullptr;
    uint64_t position = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Handle* h = Find(disk);
        if (!h) return false;
        camera = h->camera;
        position = h->position;
    }
    if (!transfer(*camera, position)) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    if (Handle* h = Find(disk)) h->position = position + length;
    return true;
}

bool ModelDisk::Read(HANDLE disk, void* buffer, uint32_t length) {
    return AtPosition(disk, length, [&](vcam::CameraModel& c, uint64_t at) { return c.ReadAt(at, buffer, length); });
}

bool ModelDisk::Write(HANDLE disk, const void* buffer, uint32_t length) {
    return AtPosition(disk, length, [&](vcam::CameraModel& c, uint64_t at) { return c.WriteAt(at, buffer, length); });
}

void ModelDisk::Close(HANDLE disk) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_handles.erase(reinterpret_cast<uintptr_t>(disk));
}

int ModelDisk::OpenHandles() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_handles.size());
}

int ModelDisk::OpenHandles(int drive) const {
    std::lock_guard<std::mutex> guard(m_lock);
    int n = 0;
    for (const auto& [id, h] : m_handles) n += h.drive == drive;
    return n;
}

std::vector<int> ModelDisk::OpenAttempts() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_attempts;
}

void ModelDisk::ClearOpenAttempts() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_attempts.clear();
}

void DeleteDiskEnum() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDiskEnumKey); }

bool WriteDiskEnumValue(const char* name, DWORD type, const void* data, DWORD size) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kDiskEnumKey, name, type, data, size) == ERROR_SUCCESS;
}

bool WriteDiskEnum(const std::vector<std::string>& entries) {
    DeleteDiskEnum();
    const DWORD count = static_cast<DWORD>(entries.size());
    bool ok = WriteDiskEnumValue("Count", REG_DWORD, &count, sizeof(count));
    for (size_t i = 0; i < entries.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "%d", static_cast<int>(i));
        ok = WriteDiskEnumValue(name, REG_SZ, entries[i].c_str(), static_cast<DWORD>(entries[i].size() + 1)) && ok;
    }
    return ok;
}

std::string CameraEnumEntry(const char* model, int serial) {
    char text[160];
    std::snprintf(text, sizeof(text), "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_%s&Rev_1.00\\%08d&0", model, serial);
    return text;
}

}  // namespace vidlyn::test
