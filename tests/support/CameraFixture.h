// One camera of this model on drive 3, listed in the disk list, sending small
// (1/8 size) frames, and a device object that found and opened it.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace vidlyn::test {

class OneCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
        vcam::CameraSettings settings;
        settings.subsampleDivisor = 8;
        cam = &rig.Add(3, settings);
        device = std::make_unique<CVidlynQM7720USB3Sdk>();
        ASSERT_TRUE(device->IsOpen());
    }
    void TearDown() override { device.reset(); }

    CameraRig rig;
    vcam::CameraModel* cam = nullptr;
    std::unique_ptr<CVidlynQM7720USB3Sdk> device;
};

}  // namespace vidlyn::test
