// Sessions built by hand, without Vidlyn_Initialize and the stored settings:
// the frame buffers initialization creates, neutral adjustments, the error
// history, and a fixture whose session has a device object that found one
// simulated camera.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"

namespace vidlyn::test {

// Gives the session the eight empty frame buffers that initialization creates;
// the acquisition preparation (or the test) sizes them.
inline void AddFrameBuffers(CVidlyn& s) {
    for (DibBuffer** b :
         {&s.m_dib8, &s.m_dib16, &s.m_dib24, &s.m_dib32, &s.m_dib48, &s.m_dib64, &s.m_dibCopy, &s.m_dibDisplay}) {
        *b = new DibBuffer;
    }
}

// Unity white balance and gray gains, neutral gamma: the conversion then changes nothing
// but the format (a session built by hand holds zeros, which are no gains).
inline void SetNeutralAdjustments(CVidlyn& s) {
    s.m_adjust.m_bayerGainRed = 100;
    s.m_adjust.m_bayerGainGreen = 100;
    s.m_adjust.m_bayerGainBlue = 100;
    s.m_adjust.m_gamma = 100;
    s.m_adjust.m_grayGainR = s.m_adjust.m_grayGainG1 = s.m_adjust.m_grayGainG2 = s.m_adjust.m_grayGainB = 128;
}

// Every code in the session's history, newest first, draining it.
inline std::vector<int> TakeHistory(CVidlyn& s) {
    std::vector<int> codes;
    for (int code = s.popError(); code != 0; code = s.popError()) codes.push_back(code);
    return codes;
}

using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

// A session whose device object found and opened the camera on drive 0,
// listed in the system's disk list. No buffers, no settings.
class SessionWithCamera : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
        m_camera = &m_rig.Add(0);
        s.m_device = new CVidlynQM7720USB3Sdk;
        ASSERT_TRUE(s.m_device->IsOpen());
        m_before = m_camera->RegisterWrites().size();
    }
    void TearDown() override { DeleteDiskEnum(); }

    // The register writes the camera saw since the last call (or the set-up).
    Writes NewWrites() {
        const Writes all = m_camera->RegisterWrites();
        Writes fresh(all.begin() + static_cast<std::ptrdiff_t>(m_before), all.end());
        m_before = all.size();
        return fresh;
    }

    CameraRig m_rig;  // outlives the session's device
    vcam::CameraModel* m_camera = nullptr;
    size_t m_before = 0;
    CVidlyn s;
};

}  // namespace vidlyn::test
