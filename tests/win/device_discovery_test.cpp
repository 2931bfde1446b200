// Discovery: counting cameras in the system's disk list and finding them among
// the physical drives by their identity sector.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"

using vidlyn::test::CameraEnumEntry;
using vidlyn::test::CameraRig;
using vidlyn::test::WriteDiskEnum;
using vidlyn::vcam::CameraModel;
using vidlyn::vcam::CameraSettings;
using vidlyn::vcam::DiskOp;
using vidlyn::vcam::FaultRule;

namespace {

// The drive whose camera saw the last status read: the one the device has open.
int OpenDrive(const CameraRig& rig) {
    for (const auto& [drive, cam] : rig.cameras)
        if (rig.disk.OpenHandles(drive) > 0) return drive;
    return -1;
}

CameraSettings WithProductId(uint16_t id) {
    CameraSettings s;
    s.productId = id;
    return s;
}

}  // namespace

TEST(DeviceDiscoveryTest, DiskListMatchingRules) {
    CameraRig rig;
    const std::string good = CameraEnumEntry("QM7720E", 1);
    ASSERT_TRUE(WriteDiskEnum({
        good, CameraEnumEntry("QM7720E", 2),
        "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_QM7720E_DS&Rev_1.00\\1&0",  // capital DS anywhere
        "USBSTOR\\Disk&Ven_norvex&Prod_USB3.0_QM7720E&Rev_1.00\\1&0",     // maker in lower case
        "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_QM7720F&Rev_1.00\\1&0",     // another model
        "USBSTOR\\Disk&Ven_NORVEX&Prod_USB2.0_QM7720E&Rev_1.00\\1&0",     // not USB3.0
        "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_qm7720e&Rev_1.00\\1&0",     // model code case
        "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_QM7720E&Rev_1.00\\ds&0",    // lower-case ds is fine
    }));
    CVidlynQM7720USB3Sdk device;
    EXPECT_EQ(3, device.GetDeviceCount());
    EXPECT_EQ(1, device.IsValidDeviceIndex(2));
    EXPECT_EQ(0, device.IsValidDeviceIndex(3));
    EXPECT_EQ(0, device.IsValidDeviceIndex(-1));
}

TEST(DeviceDiscoveryTest, DiskListEntriesThatCannotBeReadAreSkipped) {
    CameraRig rig;
    const std::string good = CameraEnumEntry();
    ASSERT_TRUE(WriteDiskEnum({good, good, good}));
    // Entry 1 longer than 256 bytes; entry 2 stored as binary (the type is not checked).
    std::string longEntry = good + std::string(300, 'x');
    ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("1", REG_SZ, longEntry.c_str(), DWORD(longEntry.size() + 1)));
    ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("2", REG_BINARY, good.c_str(), DWORD(good.size() + 1)));
    // "Count" says 5 but only three values exist.
    const DWORD five = 5;
    ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("Count", REG_DWORD, &five, sizeof(five)));
    CVidlynQM7720USB3Sdk device;
    EXPECT_EQ(2, device.GetDeviceCount());
}

TEST(DeviceDiscoveryTest, NoDiskListMeansNoCamera) {
    CameraRig rig;
    rig.Add(0);
    vidlyn::test::DeleteDiskEnum();
    CVidlynQM7720USB3Sdk device;
    EXPECT_EQ(0, device.GetDeviceCount());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(1, device.SelectDevice(0));
    EXPECT_EQ(0, rig.disk.OpenHandles());
}

TEST(DeviceDiscoveryTest, CamerasOnDrivesThreeAndSeven) {
    CameraRig rig;
    rig.Add(3);
    rig.Add(5, WithProductId(0x06E1));  // another product: skipped, takes no index
    rig.Add(7);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry("QM7720E", 1), CameraEnumEntry("QM7720E", 2)}));
    CVidlynQM7720USB3Sdk device;
    ASSERT_EQ(2, device.GetDeviceCount());
    EXPECT_EQ(3, OpenDrive(rig)) << "construction opens index 0";
    EXPECT_EQ(0, device.SelectDevice(1));
    EXPECT_EQ(7, OpenDrive(rig));
    EXPECT_EQ(1, device.GetDeviceIndex());
    EXPECT_EQ(1, rig.disk.OpenHandles());
    EXPECT_EQ(0, device.SelectDevice(0));
    EXPECT_EQ(3, OpenDrive(rig));
    EXPECT_EQ(1, device.SelectDevice(2)) << "index 2 is invalid with two cameras listed";
    EXPECT_EQ(0, device.GetDeviceIndex());
}

TEST(DeviceDiscoveryTest, MoreListedThanAnswering) {
    CameraRig rig;
    rig.Add(2);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry(), CameraEnumEntry()}));
    CVidlynQM7720USB3Sdk device;
    EXPECT_EQ(1, device.SelectDevice(1));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(0, rig.disk.OpenHandles());
}

TEST(DeviceDiscoveryTest, IdentityCheck) {
    CameraRig rig;
    CameraSettings otherTail;
    otherTail.identity = "NORVEX USB 3.0 CameraX2.77";  // bytes 21..25 are not compared
    CameraSettings otherText;
    otherText.identity = "NORVEX USB 3.0 camera V1.0";
    rig.Add(1, otherText);
    rig.Add(4, WithProductId(0xE006));  // bytes swapped
    rig.Add(6, otherTail);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
    CVidlynQM7720USB3Sdk device;
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(6, OpenDrive(rig));
}

TEST(DeviceDiscoveryTest, UnreadableStatusSectorIsNotACamera) {
    CameraRig rig;
    CameraModel& first = rig.Add(2);
    rig.Add(9);
    first.AddFault(FaultRule{DiskOp::Read, CameraModel::kStatusOffset, 0, 1});
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
    CVidlynQM7720USB3Sdk device;
    EXPECT_EQ(9, OpenDrive(rig));
}

TEST(DeviceDiscoveryTest, OnlyDrivesZeroToFifteenAreProbed) {
    CameraRig rig;
    rig.Add(16);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
    CVidlynQM7720USB3Sdk device;
    EXPECT_FALSE(device.IsOpen());
    const std::vector<int> attempts = rig.disk.OpenAttempts();
    std::vector<int> expected(16);
    for (int i = 0; i < 16; ++i) expected[i] = i;
    EXPECT_EQ(expected, attempts);
}

TEST(DeviceDiscoveryTest, SelectingTwiceKeepsOneHandle) {
    CameraRig rig;
    rig.Add(3);
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
    {
        CVidlynQM7720USB3Sdk device;
        EXPECT_EQ(0, device.SelectDevice(0));
        EXPECT_EQ(0, device.SelectDevice(0));
        EXPECT_EQ(1, rig.disk.OpenHandles());
        device.CloseDevice();
        EXPECT_EQ(0, rig.disk.OpenHandles());
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(0, device.SelectDevice(0));
    }
    EXPECT_EQ(0, rig.disk.OpenHandles()) << "destruction closes the disk";
}

TEST(DeviceDiscoveryTest, DamagedCountIsBoundedToTheFirst1024Entries) {
    CameraRig rig;
    const std::string good = CameraEnumEntry();
    ASSERT_TRUE(WriteDiskEnum({good, good}));
    ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("1023", REG_SZ, good.c_str(), DWORD(good.size() + 1)));
    ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("1024", REG_SZ, good.c_str(), DWORD(good.size() + 1)));
    for (DWORD count : {DWORD{100000}, DWORD{0xFFFFFFFF}}) {
        SCOPED_TRACE(testing::Message() << "Count " << count);
        ASSERT_TRUE(vidlyn::test::WriteDiskEnumValue("Count", REG_DWORD, &count, sizeof(count)));
        CVidlynQM7720USB3Sdk device;
        EXPECT_EQ(3, device.GetDeviceCount()) << "entries 0, 1 and 1023; 1024 lies beyond the bound";
    }
}
