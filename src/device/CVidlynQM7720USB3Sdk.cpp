// CVidlynQM7720USB3Sdk: identity, geometry, sensor registers and the model's
// step of the transfer loop, which reads into a staging buffer and reorders
// the sensor's dual-output rows into picture rows.
#include "device/CVidlynQM7720USB3Sdk.h"

#include <cstring>
#include <new>

#include "device/SectorLayout.h"
#include "pixel/placement/DualOutput.h"

using namespace vidlyn::sector;

CVidlynQM7720USB3Sdk::CVidlynQM7720USB3Sdk() {
    m_productId = kQM7720ProductId;
    m_frameWidth = vidlyn::camera::kSensorWidth;
    m_frameHeight = vidlyn::camera::kSensorHeight;
    EnumDevices("QM7720E");
    if (IsValidDeviceIndex(0)) {
        m_deviceIndex = 0;
        OpenDevice();  // a camera that does not answer leaves the disk closed
    }
}

CVidlynQM7720USB3Sdk::~CVidlynQM7720USB3Sdk() {
    CloseDevice();
    FreeStaging();
}

void CVidlynQM7720USB3Sdk::FreeStaging() {
    delete[] m_staging;
    m_staging = nullptr;
}

void CVidlynQM7720USB3Sdk::ReplaceStaging() {
    FreeStaging();
    m_staging = new (std::nothrow) uint8_t[GetRawFrameSize()];
}

int CVidlynQM7720USB3Sdk::StartCapture() {
    if (m_doneEvent) JoinTransferThread();  // the running thread reads into the staging buffer
    ReplaceStaging();
    if (!m_staging) return kStartNoResources;
    return CVidlynUSB3Lib::StartCapture();
}

int CVidlynQM7720USB3Sdk::StartStream() {
    if (m_doneEvent) JoinTransferThread();
    ReplaceStaging();
    if (!m_staging) return kStartNoResources;
    const int result = CVidlynUSB3Lib::StartStream();
    if (result != 0) return result;
    // The camera gets its gain and exposure again with every stream start; a value
    // that was never set is not sent (there is nothing to restore).
    Sleep(100);
    if (const int32_t gain = m_globalGainCache.load(); gain != -1) SetGlobalGain(gain & 0xFFFF);
    Sleep(100);
    if (const int32_t exposure = m_exposureCache.load(); exposure != -1) SetExposure(exposure);
    return 0;
}

int CVidlynQM7720USB3Sdk::StopStream() {
    const int result = CVidlynUSB3Lib::StopStream();
    FreeStaging();
    return result;
}

void CVidlynQM7720USB3Sdk::MoveStagedFrame(uint8_t* dst) {
    // A subsampled frame keeps the layout of the full one: rows of width / d
    // pixels, height / d rows, half rows of (width / d) / 2 in the dual-output form.
    const int d = vidlyn::camera::SubsampleDivisor(m_activeSubSample);
    const int width = m_frameWidth / d;
    const int height = m_frameHeight / d;
    if (m_dualOutput == 1)
        ReorderDualOutput(dst, m_staging, width / 2, height);
    else
        std::memcpy(dst, m_staging, static_cast<size_t>(width) * static_cast<size_t>(height));
}

int CVidlynQM7720USB3Sdk::ReadFrameIntoSlot(uint8_t* slot) {
    if (!ReadFrameData(m_staging, ActiveRawFrameSize())) return 0;
    MoveStagedFrame(slot);
    return 1;
}

int CVidlynQM7720USB3Sdk::OpenDevice() {
    const int opened = CVidlynUSB3Lib::OpenDevice();
    if (opened) m_subSampleChanged = 1;
    return opened;
}

int CVidlynQM7720USB3Sdk::SetFormat(int, int, int, int, int subSample) {
    int result = 0;
    const bool paused = WithStreamPaused([&] {
        if (subSample != m_subSample) m_subSampleChanged = 1;
        m_subSample = subSample;
        if (static_cast<unsigned>(subSample) > 3) {
            result = 1;  // stored, so that the frame size falls back to full size; nothing written
            return;
        }
        if (m_subSampleChanged == 1) {
            WriteSensorRegister(kRegReadoutUpdate, 0);
            WriteSensorRegister(kRegSingleOutput, m_dualOutput ? 0 : 1);
            WriteSensorRegister(kRegSubsample, subSample != 0 ? 1 : 0);
            WriteSensorRegister(kRegReadoutUpdate, 1);
        }
        m_subSampleChanged = 0;
    });
    return paused ? result : 20;
}

int CVidlynQM7720USB3Sdk::SetGlobalGain(int gain) {
    int result = 0;
    WithStreamPaused([&] {
        m_globalGainCache = gain & 0xFFFF;
        WriteSensorRegister(kRegGainEnable, 1);
        result = WriteSensorRegister(kRegGlobalGain, static_cast<uint16_t>(gain & 0xFFFF));
    });
    return result;
}

int CVidlynQM7720USB3Sdk::SetExposure(int value) {
    int result = 0;
    WithStreamPaused([&] {
        m_exposureCache = value;
        result = WriteSensorRegister(kRegExposure, static_cast<uint16_t>(value & 0xFFFF));
    });
    return result;
}

uint16_t CVidlynQM7720USB3Sdk::GetGlobalGain() {
    const int32_t gain = m_globalGainCache.load();
    return gain == -1 ? 0 : static_cast<uint16_t>(gain);
}

int CVidlynQM7720USB3Sdk::GetExposure(int* value) {
    const int32_t exposure = m_exposureCache.load();
    if (exposure == -1) return 0;
    if (value) *value = exposure;
    return 1;
}
