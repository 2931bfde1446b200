// The virtual camera daemon's camera files: the sector protocol answered
// through plain file reads and writes on a FUSE mount, live, as the DLL sees
// it under wine; and the daemon's command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "ModelFs.h"
#include "Options.h"

using namespace vidlyn::vcam;

namespace {

constexpr off_t kStatus = 0x20000;
constexpr off_t kCommand = 0x20200;
constexpr off_t kImage = 0x20400;

class CameraFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/vidlyn-vcamfs.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        std::vector<ServedCamera> cameras(1);
        cameras[0].drive = 3;
        cameras[0].model = &cam;
        cameras[0].link = std::make_unique<Link>(0);
        fs = std::make_unique<ModelFs>(std::move(cameras));
        std::string error;
        ASSERT_TRUE(fs->Start(m_dir, error))
            << "FUSE cannot be used here, so the virtual camera cannot be tested: " << error;
        fd = open((m_dir + "/physicaldrive3").c_str(), O_RDWR);
        ASSERT_GE(fd, 0) << std::strerror(errno);
    }
    void TearDown() override {
        if (fd >= 0) close(fd);
        fs.reset();  // unmounts
        rmdir(m_dir.c_str());
    }
    std::vector<uint8_t> Status() {
        std::vector<uint8_t> s(512, 0xCC);
        EXPECT_EQ(pread(fd, s.data(), 512, kStatus), 512);
        return s;
    }
    void Command(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
        uint8_t sector[512] = {b0, b1, b2, b3};
        EXPECT_EQ(pwrite(fd, sector, 512, kCommand), 512);
    }
    void SensorWrite(uint16_t address, uint16_t value) {
        Command(0x20, 0x00, uint8_t(address >> 8), uint8_t(address));
        Command(0x20, 0x01, uint8_t(value >> 8), uint8_t(value));
    }
    std::string StateText() {
        std::ifstream in(m_dir + "/physicaldrive3.state");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CameraModel cam;
    std::unique_ptr<ModelFs> fs;
    std::string m_dir;
    int fd = -1;
};

TEST_F(CameraFiles, StatusSectorIsLive) {
    std::vector<uint8_t> s = Status();
    EXPECT_EQ(0, std::memcmp(s.data(), "NORVEX USB 3.0 Camera V1.0", 26));
    EXPECT_EQ(0xE0, s[26]);
    EXPECT_EQ(0x06, s[27]);
    EXPECT_EQ(0, s[256]) << "no frame before the start command";
    Command(0x10, 0, 0, 0);
    EXPECT_TRUE(cam.Started());
    EXPECT_EQ(1, Status()[256]) << "the ready flag follows the camera, not a cached page";
    // A byte-form write and a register read: the answer byte follows at once.
    Command(0x20, 0x12, 0x34, 0x56);
    Command(0x21, 0x12, 0x34, 0);
    EXPECT_EQ(0x56, Status()[257]);
}

TEST_F(CameraFiles, RegisterWritesLandInTheCameraAndItsStateText) {
    SensorWrite(0x2004, 2000);
    SensorWrite(0x0005, 0x03FF);
    EXPECT_EQ(2000, cam.Register(0x2004));
    EXPECT_EQ(0x03FF, cam.Register(0x0005));
    const std::string text = StateText();
    EXPECT_NE(text.find("drive 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("reg 0x2004 2000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("last_write 0x0005 0x03ff\n"), std::string::npos) << text;
    EXPECT_LT(open((m_dir + "/physicaldrive3.state").c_str(), O_WRONLY), 0) << "the state text is read-only";
}

TEST_F(CameraFiles, FramesReadThroughTheFileAreTheCamerasFrames) {
    Command(0x10, 0, 0, 0);
    // A whole full-size frame in one read, which the kernel passes on in pieces:
    // still exactly one frame, in the dual-output layout.
    std::vector<uint8_t> raw(cam.RawFrameSize());
    ASSERT_EQ(pread(fd, raw.data(), raw.size(), kImage), static_cast<ssize_t>(raw.size()));
    EXPECT_EQ(1u, cam.FramesDelivered());
    std::vector<uint8_t> expected(raw.size());
    cam.RenderRaw(1, expected.data());
    EXPECT_TRUE(raw == expected);

    SensorWrite(0x3002, 1);  // subsampled readout: a smaller frame
    raw.assign(cam.RawFrameSize(), 0);
    ASSERT_EQ(pread(fd, raw.data(), raw.size(), kImage), static_cast<ssize_t>(raw.size()));
    EXPECT_EQ(2u, cam.FramesDelivered());
    expected.assign(raw.size(), 0);
    cam.RenderRaw(2, expected.data());
    EXPECT_TRUE(raw == expected);
}

TEST_F(CameraFiles, UnpluggedCameraFailsEveryTransfer) {
    cam.Remove();
    uint8_t s[512];
    errno = 0;
    EXPECT_EQ(pread(fd, s, 512, kStatus), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(pwrite(fd, s, 512, kCommand), -1);
    EXPECT_NE(StateText().find("removed 1\n"), std::string::npos);
}

bool Parse(std::vector<const char*> args, Options& options, std::string& error) {
    args.insert(args.begin(), "vidlyn_vcamd");
    return ParseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), options, error);
}

TEST(DaemonOptions, AcceptsTheIssuedOptionsAndRefusesNonsense) {
    Options o;
    std::string error;
    ASSERT_TRUE(Parse({"--prefix", "/p", "--drives", "3,7", "--fps", "12.5", "--link", "0", "--scene", "flat",
                       "--level", "90", "--remove-after", "20", "--stall-after", "5:250"},
                      o, error))
        << error;
    EXPECT_EQ(o.drives, (std::vector<int>{3, 7}));
    EXPECT_EQ(o.fps, 12.5);
    EXPECT_EQ(o.linkMBps, 0);
    EXPECT_EQ(o.scene, Scene::Flat);
    EXPECT_EQ(o.flatLevel, 90);
    EXPECT_EQ(o.removeAfter, 20u);
    EXPECT_EQ(o.stallAfter, 5u);
    EXPECT_EQ(o.stallFor.count(), 250);

    Options d;
    ASSERT_TRUE(Parse({"--prefix", "/p", "--cameras", "2"}, d, error));
    EXPECT_EQ(d.drives, (std::vector<int>{1, 2}));
    EXPECT_EQ(d.replugAfter, std::nullopt);

    Options f;
    ASSERT_TRUE(Parse({"--prefix", "/p", "--remove-after", "8:4000000", "--replug-after", "6:0x06e1"}, f, error));
    EXPECT_EQ(f.removeAfter, 8u);
    EXPECT_EQ(f.removeBytes, 4000000u);
    EXPECT_EQ(f.replugAfter, 6u);
    EXPECT_EQ(f.replugProduct, 0x06E1);

    for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
             {"--drives", "3"},                      // no prefix
             {"--prefix", "/p", "--drives", "3,3"},  // a drive twice
             {"--prefix", "/p", "--drives", "16"},   // the DLL probes 0..15 only
             {"--prefix", "/p", "--cameras", "2", "--drives", "3"},
             {"--prefix", "/p", "--fps", "fast"},
             {"--prefix", "/p", "--scene", "moon"},
             {"--prefix", "/p", "--stall-after", "5:0"},
             {"--prefix", "/p", "--remove-after", "5:0"},  // no bytes of the next frame: say 5
             {"--prefix", "/p", "--replug-after", "5:0x10000"},
             {"--prefix", "/p", "--level"},
             {"--prefix", "/p", "--colour", "red"},
         }) {
        Options x;
        error.clear();
        EXPECT_FALSE(Parse(bad, x, error)) << bad.back();
        EXPECT_FALSE(error.empty()) << bad.back();
    }
}

}  // namespace
