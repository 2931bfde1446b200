// The automatic exposure's frame divider lives for the whole process and is
// shared by every session. This program checks it from process start, so it
// holds one test only. No camera is attached (the camera writes then fail,
// which the step does not examine).
#include <gtest/gtest.h>

#include <cstring>

#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"

namespace {

TEST(ExposureDivider, FromProcessStartEveryThirdFrameOfAllSessionsIsMeasured) {
    DibBuffer dark;
    ASSERT_EQ(dark.Create(64, 48, 8), 1);
    std::memset(dark.bits, 30, static_cast<size_t>(dark.stride) * dark.height);

    vidlyn::test::CameraRig rig;  // a disk seam with no camera on it
    CVidlyn a;
    CVidlyn b;
    for (CVidlyn* s : {&a, &b}) {
        s->m_device = new CVidlynQM7720USB3Sdk;
        s->m_analog.m_autoIris = 2;
        s->m_analog.m_globalGain = 100;
    }

    // Frames while the mode is off or without a picture do not count.
    a.m_analog.m_autoIris = 0;
    EXPECT_EQ(a.RegulateExposure(&dark), 0);
    a.m_analog.m_autoIris = 2;
    EXPECT_EQ(a.RegulateExposure(nullptr), 0);

    // The first two frames after the process started are not measured, the third is.
    EXPECT_EQ(a.RegulateExposure(&dark), 0);
    EXPECT_EQ(a.RegulateExposure(&dark), 0);
    EXPECT_EQ(a.m_analog.m_globalGain, 100);
    EXPECT_EQ(a.RegulateExposure(&dark), 1);
    EXPECT_EQ(a.m_analog.m_globalGain, 150);

    // Two sessions take turns: the measuring turn falls to whoever converts third.
    EXPECT_EQ(b.RegulateExposure(&dark), 0);
    EXPECT_EQ(a.RegulateExposure(&dark), 0);
    EXPECT_EQ(b.RegulateExposure(&dark), 1);
    EXPECT_EQ(a.RegulateExposure(&dark), 0);
    EXPECT_EQ(b.RegulateExposure(&dark), 0);
    EXPECT_EQ(a.RegulateExposure(&dark), 1);
    EXPECT_EQ(a.m_analog.m_globalGain, 225);
    EXPECT_EQ(b.m_analog.m_globalGain, 150);
}

}  // namespace
