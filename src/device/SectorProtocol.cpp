// The sector transactions: every control action and every image transfer is a
// positioning plus one read or write of whole sectors on the camera's raw disk.
#include <cstring>

#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/RawDisk.h"
#include "device/SectorLayout.h"

using namespace vidlyn::sector;

namespace {
// Holds the device's I/O lock for one seek-and-transfer pair.
class IoGuard {
public:
    explicit IoGuard(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~IoGuard() { ReleaseSRWLockExclusive(&m_lock); }
    IoGuard(const IoGuard&) = delete;
    IoGuard& operator=(const IoGuard&) = delete;

private:
    SRWLOCK& m_lock;
};
}  // namespace

bool CVidlynUSB3Lib::SeekRead(uint32_t offset, void* buffer, uint32_t length) {
    IoGuard guard(m_ioLock);
    IRawDisk& disk = RawDisk();
    return disk.Seek(m_disk, offset) && disk.Read(m_disk, buffer, length);
}

bool CVidlynUSB3Lib::SeekWrite(uint32_t offset, const void* buffer, uint32_t length) {
    IoGuard guard(m_ioLock);
    IRawDisk& disk = RawDisk();
    return disk.Seek(m_disk, offset) && disk.Write(m_disk, buffer, length);
}

bool CVidlynUSB3Lib::SendStartCommand() {
    RegisterGuard registers(*this);  // never between the two sectors of a register write
    uint8_t command[kSectorSize] = {};
    command[0] = kCmdStart;
    return SeekWrite(kCommandOffset, command, kSectorSize);
}

int CVidlynUSB3Lib::ReadFrameData(void* buffer, uint32_t size) {
    if (!IsOpen()) return 0;
    // The read time-out counts status reads here; the poll does not wait between them.
    const int polls = m_timeout;
    uint8_t status[kSectorSize];
    bool ready = false;
    for (int i = 0; i < polls && !ready; ++i) {
        // A transfer being stopped (StopStream, or FinishCapture after its time-out)
        // gives up between two polls instead of finishing a poll nobody waits for.
        if (m_transferState.load() == kTransferStopRequested) return 0;
        // A status sector of another device is no answer: whatever it says is ready
        // is not this camera's frame.
        if (!SeekRead(kStatusOffset, status, kSectorSize) || !IsOwnStatus(status)) return 0;
        ready = IsFrameReady(status);
        NoteAnswer(ready);
    }
    if (!ready) return 0;
    return SeekRead(kImageOffset, buffer, size) ? 1 : 0;
}

bool CVidlynUSB3Lib::IsOwnStatus(const uint8_t* status) const {
    return IsCameraStatus(status, m_productId);
}

bool CVidlynUSB3Lib::CameraAnswers() {
    uint8_t status[kSectorSize] = {};
    return IsOpen() && SeekRead(kStatusOffset, status, kSectorSize) && IsOwnStatus(status);
}

int CVidlynUSB3Lib::WriteRegisterByte(uint16_t address, uint8_t value) {
    RegisterGuard registers(*this);
    if (!IsOpen()) return 0;
    uint8_t command[kSectorSize] = {};
    command[0] = kCmdWriteRegister;
    command[1] = static_cast<uint8_t>(address >> 8);
    command[2] = static_cast<uint8_t>(address & 0xFF);
    command[3] = value;
    return SeekWrite(kCommandOffset, command, kSectorSize) ? 1 : 0;
}

int CVidlynUSB3Lib::ReadRegisterByte(uint16_t address, uint8_t* value) {
    RegisterGuard registers(*this);
    if (!IsOpen()) return 0;
    uint8_t block[kSectorSize] = {};
    block[0] = kCmdReadRegister;
    block[1] = static_cast<uint8_t>(address >> 8);
    block[2] = static_cast<uint8_t>(address & 0xFF);
    if (!SeekWrite(kCommandOffset, block, kSectorSize)) return 0;
    // The camera answers at once in the status sector; there is no ready poll.
    if (!SeekRead(kStatusOffset, block, kSectorSize)) return 0;
    if (value) *value = block[kReadAnswer];
    return 1;
}

int CVidlynUSB3Lib::WriteRegisterWord(uint16_t address, uint16_t value) {
    RegisterGuard registers(*this);  // both halves of one word together
    if (!IsOpen()) return 0;
    // Both halves are sent even when the first fails.
    const int high = WriteRegisterByte(address, static_cast<uint8_t>(value >> 8));
    const int low = WriteRegisterByte(static_cast<uint16_t>(address + 1), static_cast<uint8_t>(value & 0xFF));
    return high && low ? 1 : 0;
}

int CVidlynUSB3Lib::ReadRegisterWord(uint16_t address, uint16_t* value) {
    RegisterGuard registers(*this);
    if (!IsOpen()) return 0;
    uint8_t high = 0;
    uint8_t low = 0;
    const int okHigh = ReadRegisterByte(address, &high);
    const int okLow = ReadRegisterByte(static_cast<uint16_t>(address + 1), &low);
    if (!okHigh || !okLow) return 0;
    if (value) *value = static_cast<uint16_t>(high * 256 + low);
    return 1;
}

int CVidlynQM7720USB3Sdk::WriteSensorRegister(uint16_t address, uint16_t value) {
    RegisterGuard registers(*this);
    if (!IsOpen()) return 0;
    uint8_t command[kSectorSize] = {};
    command[0] = kCmdWriteRegister;
    command[1] = kPhaseAddress;
    command[2] = static_cast<uint8_t>(address >> 8);
    command[3] = static_cast<uint8_t>(address & 0xFF);
    if (!SeekWrite(kCommandOffset, command, kSectorSize)) return 0;
    command[1] = kPhaseValue;
    command[2] = static_cast<uint8_t>(value >> 8);
    command[3] = static_cast<uint8_t>(value & 0xFF);
    return SeekWrite(kCommandOffset, command, kSectorSize) ? 1 : 0;
}
