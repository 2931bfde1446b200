// The session's side of the settings store: its fields go out to the store's
// records and come back from them, and a format that is not stored is
// reported as error 12.
#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "session/CVidlyn.h"
#include "settings/RegistryStore.h"

int CVidlyn::LoadCameraFormat() {
    PresetRecord geometry{
        static_cast<int32_t>(m_totalWidth), static_cast<int32_t>(m_totalHeight), m_width, m_height, m_startX, m_startY,
        static_cast<int32_t>(m_bufferCount)};
    if (!::LoadCameraFormat(geometry)) {
        pushError(VIDLYN_ERR_SETTINGS);
        return 0;
    }
    m_totalWidth = static_cast<uint32_t>(geometry.totalWidth);
    m_totalHeight = static_cast<uint32_t>(geometry.totalHeight);
    m_width = geometry.width;
    m_height = geometry.height;
    m_startX = geometry.startX;
    m_startY = geometry.startY;
    m_bufferCount = static_cast<uint32_t>(geometry.bufferCount);
    return 1;
}

int CVidlyn::LoadStreamSettings() {
    StreamFormat format{m_colorType.load(), m_subSample, m_waitTime.load(), m_clock};
    if (!::LoadStreamSettings(format)) {
        pushError(VIDLYN_ERR_SETTINGS);
        return 0;
    }
    m_colorType.store(format.colorType);
    m_subSample = format.subSample;
    m_waitTime.store(format.waitTime);
    m_clock = format.clock;
    return 1;
}

void CVidlyn::LoadAdjustSettings() {
    LoadFilterSettings(m_adjust);
    LoadGraySettings(m_adjust);
    LoadAnalogSettings(m_analog, m_device ? m_device->GetMirrorV() : 0, m_device ? m_device->GetMirrorH() : 0);
}

void CVidlyn::SaveAdjustSettings() const {
    SaveAnalogSettings(m_analog);
    SaveFilterSettings(m_adjust);
    SaveGraySettings(m_adjust);
}
