// Wire layout of the camera's sector protocol: where the status sector, the
// command sector and the image data live on the raw disk, and what the bytes
// mean. Shared by the device classes and the camera model (no Windows types).
#pragma once
#include <cstdint>
#include <cstring>

namespace vidlyn::sector {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kStatusOffset = 0x20000;   // status and identity sector, read
constexpr uint32_t kCommandOffset = 0x20200;  // command sector, written
constexpr uint32_t kImageOffset = 0x20400;    // raw frame, read

// Status sector bytes.
constexpr uint32_t kIdentityLength = 21;               // only these bytes are compared
constexpr char kIdentity[] = "NORVEX USB 3.0 Camera";  // 21 characters
constexpr char kIdentityFull[] = "NORVEX USB 3.0 Camera V1.0";
constexpr uint32_t kProductIdLow = 26;
constexpr uint32_t kProductIdHigh = 27;
constexpr uint32_t kReadyFlag = 256;   // exactly 1: a frame can be read
constexpr uint32_t kReadAnswer = 257;  // answer byte of the last 0x21 command

// Whether a status sector is that of a camera of product `productId`: its
// first 21 identity bytes and its product id.
inline bool IsCameraStatus(const uint8_t* status, uint16_t productId) {
    return std::memcmp(status, kIdentity, kIdentityLength) == 0 && status[kProductIdLow] == (productId & 0xFF) &&
           status[kProductIdHigh] == (productId >> 8);
}

// Whether a status sector announces a frame: the ready byte is exactly 1.
inline bool IsFrameReady(const uint8_t* status) { return status[kReadyFlag] == 1; }

// Command codes (byte 0 of the command sector).
constexpr uint8_t kCmdStart = 0x10;
constexpr uint8_t kCmdWriteRegister = 0x20;
constexpr uint8_t kCmdReadRegister = 0x21;

// Two-phase register write: byte 1 selects the phase.
constexpr uint8_t kPhaseAddress = 0x00;
constexpr uint8_t kPhaseValue = 0x01;

// The QM7720E (its sensor and limits: CameraFacts.h).
constexpr uint16_t kQM7720ProductId = 0x06E0;

// Sensor registers the library drives.
constexpr uint16_t kRegReadoutUpdate = 0x3000;  // 0 while the readout is rewritten, then 1
constexpr uint16_t kRegSingleOutput = 0x3001;   // 0 dual-output rows, 1 rows in order
constexpr uint16_t kRegSubsample = 0x3002;      // 1 subsampled readout
constexpr uint16_t kRegGainEnable = 0x3003;     // 1 right before the global gain
constexpr uint16_t kRegGlobalGain = 0x0005;     // 0..1023
constexpr uint16_t kRegExposure = 0x2004;       // 1..3335; larger means shorter

}  // namespace vidlyn::sector
