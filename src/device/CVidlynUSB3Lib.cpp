// CVidlynUSB3Lib: placeholders of the generic interface, discovery and the
// frame-size rules. The sector protocol is in SectorProtocol.cpp and the
// transfer thread in TransferThread.cpp.
#include "device/CVidlynUSB3Lib.h"

#include <cstdio>
#include <cstring>

#include "device/DiskListEntry.h"
#include "device/RawDisk.h"
#include "device/SectorLayout.h"

using namespace vidlyn::sector;
using namespace vidlyn::camera;

namespace {
// Disk list entries examined at most: far more disks than any machine carries,
// and read in a few milliseconds.
constexpr DWORD kMaxDiskEntries = 1024;
}  // namespace

CVidlynUSB3Lib::CVidlynUSB3Lib() { InitializeCriticalSection(&m_registerLock); }

CVidlynUSB3Lib::~CVidlynUSB3Lib() {
    // A derived class has closed the device already; this keeps the base safe on its own.
    JoinTransferThread();
    FreeSlots();
    if (IsOpen()) {
        RawDisk().Close(m_disk);
        m_disk = INVALID_HANDLE_VALUE;
    }
    DeleteCriticalSection(&m_registerLock);
}

void CVidlynUSB3Lib::Reserved1() {}
int CVidlynUSB3Lib::SetBitDepth(int) { return 0; }

void CVidlynUSB3Lib::SetReadTimeout(int value) {
    if (value >= 1 && value <= 10000) m_timeout = value;
}

int CVidlynUSB3Lib::GetReadTimeout() { return m_timeout; }
float CVidlynUSB3Lib::GetFps() { return m_measuredFps.load(); }
int CVidlynUSB3Lib::Reserved2() { return 1; }
int CVidlynUSB3Lib::GetCaptureStatus() { return 1; }
int CVidlynUSB3Lib::Reserved3() { return 0; }
int CVidlynUSB3Lib::SetFormat(int, int, int, int, int) { return 1; }

int CVidlynUSB3Lib::GetFormat(int* x, int* y, int* width, int* height, int* subSample) {
    if (x) *x = m_formatX;
    if (y) *y = m_formatY;
    if (width) *width = m_frameWidth;
    if (height) *height = m_frameHeight;
    if (subSample) *subSample = m_subSample;
    return 1;
}

int CVidlynUSB3Lib::SetMirrorH(int) { return 1; }
int CVidlynUSB3Lib::SetMirrorV(int) { return 1; }
int CVidlynUSB3Lib::GetMirrorH() { return 0; }
int CVidlynUSB3Lib::GetMirrorV() { return 0; }
int CVidlynUSB3Lib::NotifyStreamChange(int) { return 0; }
int CVidlynUSB3Lib::Reserved4() { return 0; }
int CVidlynUSB3Lib::SetClock(int) { return 0; }
int CVidlynUSB3Lib::GetClock(int*) { return 0; }
int CVidlynUSB3Lib::Reserved5() { return 0; }
int CVidlynUSB3Lib::Reserved6() { return 0; }
int CVidlynUSB3Lib::ReadSromId(int, int*) { return 0; }
int CVidlynUSB3Lib::WriteSromId(int, int) { return 0; }

uint32_t CVidlynUSB3Lib::GetRawFrameSize() { return RawFrameBytes(m_subSample, m_frameWidth, m_frameHeight); }

uint32_t CVidlynUSB3Lib::GetAlignedFrameSize() {
    const int d = SubsampleDivisor(m_subSample);
    const uint32_t w = static_cast<uint32_t>(m_frameWidth / d);
    const uint32_t h = static_cast<uint32_t>(m_frameHeight / d);
    return ((w + 3) & ~3u) * h;
}

// --- discovery ---

void CVidlynUSB3Lib::EnumDevices(const char* modelCode) {
    m_deviceCount = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD count = 0;
        DWORD size = sizeof(count);
        if (RegQueryValueExA(key, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) == ERROR_SUCCESS) {
            // A damaged "Count" (the key is the system's, not ours) must not stall the
            // start: only the first kMaxDiskEntries entries are looked at.
            const DWORD entries = count < kMaxDiskEntries ? count : kMaxDiskEntries;
            for (DWORD i = 0; i < entries; ++i) {
                char name[64] = {};
                std::snprintf(name, sizeof(name), "%d", static_cast<int>(i));
                // One byte more than the read may fill, so the text always ends.
                char text[257] = {};
                DWORD textSize = 256;
                if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &textSize) !=
                    ERROR_SUCCESS)
                    continue;
                if (IsCameraDiskEntry(text, modelCode)) ++m_deviceCount;
            }
        }
        RegCloseKey(key);
    }
    m_deviceIndex = 0;
}

int CVidlynUSB3Lib::GetDeviceCount() { return m_deviceCount; }
int CVidlynUSB3Lib::IsValidDeviceIndex(int index) { return index >= 0 && index < m_deviceCount ? 1 : 0; }
int CVidlynUSB3Lib::GetDeviceIndex() { return m_deviceIndex; }

int CVidlynUSB3Lib::SelectDevice(int index) {
    if (!IsValidDeviceIndex(index)) return 1;
    m_deviceIndex = index;
    return OpenDevice() ? 0 : 1;
}

int CVidlynUSB3Lib::OpenDevice() {
    // No register transaction of another thread may use the handle while it is swapped.
    RegisterGuard guard(*this);
    // The transfer thread reads through the handle that is about to be closed, so
    // it is ended. Its frames stay where they are: the session may select while it
    // streams, and its acquisition thread may be copying one right now.
    // The next start or stop frees them.
    if (m_doneEvent) JoinTransferThread();
    if (IsOpen()) {
        RawDisk().Close(m_disk);
        m_disk = INVALID_HANDLE_VALUE;
    }
    int matches = 0;
    for (int drive = 0; drive <= 15; ++drive) {
        HANDLE disk = RawDisk().Open(drive);
        if (disk == INVALID_HANDLE_VALUE) continue;
        m_disk = disk;
        const bool camera = CameraAnswers();
        if (camera && matches == m_deviceIndex) return 1;
        if (camera) ++matches;
        RawDisk().Close(m_disk);
        m_disk = INVALID_HANDLE_VALUE;
    }
    return 0;
}

void CVidlynUSB3Lib::CloseDevice() {
    RegisterGuard guard(*this);
    StopStream();
    if (IsOpen()) {
        RawDisk().Close(m_disk);
        m_disk = INVALID_HANDLE_VALUE;
    }
}
