// The QM7720E device class: readout registers, frame sizes, gain and exposure
// caches, the exposure time, and the constant answers the session acts on.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "CameraFixture.h"
#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/CameraFacts.h"

using vidlyn::vcam::CameraModel;

namespace {

using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

class DeviceClassTest : public vidlyn::test::OneCameraTest {};

}  // namespace

TEST_F(DeviceClassTest, SetFormatWritesReadoutRegistersOnlyWhenNeeded) {
    EXPECT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 0));
    EXPECT_EQ((Writes{{0x3000, 0}, {0x3001, 0}, {0x3002, 0}, {0x3000, 1}}), cam->RegisterWrites())
        << "the first call writes even when the code stays 0";
    EXPECT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 0));
    EXPECT_EQ(4u, cam->RegisterWrites().size()) << "same code again writes nothing";
    EXPECT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 2));
    ASSERT_EQ(8u, cam->RegisterWrites().size());
    EXPECT_EQ((std::pair<uint16_t, uint16_t>{0x3002, 1}), cam->RegisterWrites()[6]);

    // A code above 3 is stored (full size from then on) and writes nothing.
    EXPECT_EQ(1, device->SetFormat(0, 0, 4896, 3264, 4));
    EXPECT_EQ(8u, cam->RegisterWrites().size());
    EXPECT_EQ(15980544u, device->GetRawFrameSize());
    int x = -1, y = -1, w = 0, h = 0, sub = 0;
    device->GetFormat(&x, &y, &w, &h, &sub);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(4896, w);
    EXPECT_EQ(3264, h);
    EXPECT_EQ(4, sub);
    // Back to a valid code: the change is written again.
    EXPECT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 1));
    EXPECT_EQ(12u, cam->RegisterWrites().size());

    // Rows in order: the readout register says so.
    device->m_dualOutput = 0;
    EXPECT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 0));
    EXPECT_EQ((std::pair<uint16_t, uint16_t>{0x3001, 1}), cam->RegisterWrites()[13]);
}

TEST_F(DeviceClassTest, FrameSizes) {
    struct Case {
        int code;
        uint32_t raw;
        uint32_t copy;
        uint32_t aligned;
    };
    const Case cases[] = {
        {0, 15980544, 15980544, 15980544}, {1, 3995136, 3995136, 3995136},
        {2, 998912, 998784, 998784},  // rounded up to whole sectors; the copies move 998 784
        {3, 249856, 249696, 249696},       {-1, 15980544, 15980544, 15980544},
    };
    for (const Case& c : cases) {
        device->m_subSample = c.code;
        EXPECT_EQ(c.raw, device->GetRawFrameSize()) << c.code;
        EXPECT_EQ(c.copy, device->GetFrameCopySize()) << c.code;
        EXPECT_EQ(c.aligned, device->GetAlignedFrameSize()) << c.code;
    }
    // Aligned rows: a width that is not a multiple of 4.
    device->m_frameWidth = 4894;
    device->m_subSample = 1;
    EXPECT_EQ(2448u * 1632u, device->GetAlignedFrameSize());
}

TEST_F(DeviceClassTest, GainAndExposureCaches) {
    EXPECT_EQ(0, device->GetGlobalGain());
    int exposure = 1234;
    EXPECT_EQ(0, device->GetExposure(&exposure));
    EXPECT_EQ(1234, exposure);
    EXPECT_EQ(1, device->SetGlobalGain(0x12345));  // low 16 bits are kept and sent
    EXPECT_EQ(0x2345, device->GetGlobalGain());
    EXPECT_EQ(0x2345, cam->Register(0x0005));
    EXPECT_EQ(1, device->SetExposure(1));
    EXPECT_EQ(1, device->GetExposure(&exposure));
    EXPECT_EQ(1, exposure);
}

TEST_F(DeviceClassTest, StreamStartResendsOnlySettingsThatWereMade) {
    device->SetFormat(0, 0, 4896, 3264, 3);
    const size_t before = cam->RegisterWrites().size();
    ASSERT_EQ(0, device->StartStream());
    EXPECT_EQ(before, cam->RegisterWrites().size()) << "nothing to restore yet";
    device->StopStream();

    device->SetGlobalGain(300);
    device->SetExposure(2000);
    const size_t set = cam->RegisterWrites().size();
    ASSERT_EQ(0, device->StartStream());
    const Writes writes = cam->RegisterWrites();
    ASSERT_EQ(set + 3, writes.size());
    EXPECT_EQ((Writes{{0x3003, 1}, {0x0005, 300}, {0x2004, 2000}}), Writes(writes.begin() + set, writes.end()));
    device->StopStream();
}

TEST(DeviceExposureTest, RealExposureTime) {
    using vidlyn::camera::ExposureMicroseconds;
    EXPECT_EQ(18, ExposureMicroseconds(3335));
    EXPECT_EQ(289138, ExposureMicroseconds(1));
    EXPECT_EQ(144578, ExposureMicroseconds(1668));
    EXPECT_EQ(INT_MAX, ExposureMicroseconds(-800000000));
    EXPECT_EQ(INT_MAX, ExposureMicroseconds(INT_MIN));
    EXPECT_EQ(INT_MIN, ExposureMicroseconds(INT_MAX));
}

TEST_F(DeviceClassTest, GenericInterfaceAnswers) {
    // The session acts on these results.
    EXPECT_EQ(0, device->SetBitDepth(1));
    EXPECT_EQ(1, device->Reserved2());
    EXPECT_EQ(1, device->GetCaptureStatus());
    int value = 77;
    EXPECT_EQ(0, device->GetClock(&value));
    EXPECT_EQ(77, value);
    EXPECT_EQ(0, device->ReadSromId(0, &value));
    EXPECT_EQ(0, device->WriteSromId(0, 1));
    EXPECT_EQ(1, device->SetMirrorH(1));
    EXPECT_EQ(0, device->GetMirrorV());

    EXPECT_EQ(3000, device->GetReadTimeout());
    device->SetReadTimeout(0);
    device->SetReadTimeout(10001);
    EXPECT_EQ(3000, device->GetReadTimeout());
    device->SetReadTimeout(10000);
    EXPECT_EQ(10000, device->GetReadTimeout());
    device->SetReadTimeout(1);
    EXPECT_EQ(1, device->GetReadTimeout());
}
