// The simulated camera answers the sector protocol as the library expects it,
// delivers whole frames in the dual-output layout and fails on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "model/CameraModel.h"
#include "model/FrameCounter.h"

using vidlyn::vcam::CameraModel;
using vidlyn::vcam::CameraSettings;
using vidlyn::vcam::DiskOp;
using vidlyn::vcam::FaultRule;

namespace {

constexpr uint64_t kStatus = CameraModel::kStatusOffset;
constexpr uint64_t kCommand = CameraModel::kCommandOffset;
constexpr uint64_t kImage = CameraModel::kImageOffset;

std::vector<uint8_t> Status(CameraModel& cam) {
    std::vector<uint8_t> s(512, 0xCC);
    EXPECT_TRUE(cam.ReadAt(kStatus, s.data(), 512));
    return s;
}

bool Command(CameraModel& cam, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    uint8_t sector[512] = {b0, b1, b2, b3};
    return cam.WriteAt(kCommand, sector, 512);
}

void SensorWrite(CameraModel& cam, uint16_t address, uint16_t value) {
    Command(cam, 0x20, 0x00, uint8_t(address >> 8), uint8_t(address));
    Command(cam, 0x20, 0x01, uint8_t(value >> 8), uint8_t(value));
}

// Reorders one dual-output frame into picture rows, independently of the library.
std::vector<uint8_t> Unweave(const std::vector<uint8_t>& raw, int width, int height) {
    std::vector<uint8_t> picture(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int k = 0; k < width / 2; ++k) {
            picture[size_t(y) * width + k] = raw[size_t(y) * width + 2 * k];
            picture[size_t(y) * width + width - 1 - k] = raw[size_t(y) * width + 2 * k + 1];
        }
    return picture;
}

std::vector<uint8_t> ReadFrame(CameraModel& cam) {
    std::vector<uint8_t> raw(cam.RawFrameSize());
    EXPECT_TRUE(cam.ReadAt(kImage, raw.data(), uint32_t(raw.size())));
    return raw;
}

}  // namespace

TEST(CameraModelTest, StatusSectorCarriesIdentityAndBecomesReadyOnlyAfterStart) {
    CameraModel cam;
    std::vector<uint8_t> s = Status(cam);
    EXPECT_EQ(0, std::memcmp(s.data(), "NORVEX USB 3.0 Camera V1.0", 26));
    EXPECT_EQ(0xE0, s[26]);
    EXPECT_EQ(0x06, s[27]);
    EXPECT_EQ(0, s[256]) << "no frame before the start command";
    EXPECT_EQ(0, s[300]) << "unused bytes are zero";
    ASSERT_TRUE(Command(cam, 0x10, 0, 0, 0));
    EXPECT_TRUE(cam.Started());
    EXPECT_EQ(1, Status(cam)[256]);

    CameraSettings other;
    other.productId = 0x06E1;
    CameraModel second(other);
    EXPECT_EQ(0xE1, Status(second)[26]);
}

TEST(CameraModelTest, RegistersTwoPhaseAndByteForm) {
    CameraModel cam;
    SensorWrite(cam, 0x2004, 3000);
    SensorWrite(cam, 0x0005, 0x03FF);
    EXPECT_EQ(3000, cam.Register(0x2004));
    EXPECT_EQ(0x03FF, cam.Register(0x0005));
    ASSERT_EQ(2u, cam.RegisterWrites().size());
    EXPECT_EQ(0x2004, cam.RegisterWrites()[0].first);

    // A value phase without an address phase is not a two-phase write.
    Command(cam, 0x20, 0x12, 0x34, 0x56);
    EXPECT_EQ(0x56, cam.ByteRegister(0x1234));
    EXPECT_EQ(2u, cam.RegisterWrites().size());
    // A register read answers in byte 257 of the status sector.
    Command(cam, 0x21, 0x12, 0x34, 0);
    EXPECT_EQ(0x56, Status(cam)[257]);
}

TEST(CameraModelTest, FrameArrivesInDualOutputLayoutAndFollowsTheScene) {
    CameraSettings settings;
    settings.subsampleDivisor = 4;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    ASSERT_EQ(1224, cam.PictureWidth());
    ASSERT_EQ(816, cam.PictureHeight());
    EXPECT_EQ(998912u, cam.RawFrameSize());
    Command(cam, 0x10, 0, 0, 0);

    for (uint32_t n = 1; n <= 3; ++n) {
        ASSERT_EQ(1, Status(cam)[256]);
        std::vector<uint8_t> raw = ReadFrame(cam);
        std::vector<uint8_t> picture = Unweave(raw, 1224, 816);
        std::vector<uint8_t> expected(picture.size());
        cam.RenderPicture(n, expected.data());
        EXPECT_EQ(expected, picture) << "frame " << n;
        EXPECT_EQ(n, CameraModel::DecodeFrameNumber(picture.data()));
        EXPECT_TRUE(std::all_of(raw.begin() + 1224 * 816, raw.end(), [](uint8_t v) { return v == 0; }));
    }
    EXPECT_EQ(3u, cam.FramesDelivered());

    // Rows in order once the single-output readout is selected.
    SensorWrite(cam, 0x3001, 1);
    std::vector<uint8_t> raw = ReadFrame(cam);
    std::vector<uint8_t> expected(1224 * 816);
    cam.RenderPicture(4, expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), raw.begin()));
}

TEST(CameraModelTest, LevelFollowsExposureAndGain) {
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    SensorWrite(cam, 0x0005, 0);
    SensorWrite(cam, 0x2004, 1668);
    const double mid = cam.MeanLevel(1);
    SensorWrite(cam, 0x2004, 3000);  // larger value: shorter exposure
    const double shorter = cam.MeanLevel(1);
    SensorWrite(cam, 0x2004, 1668);
    SensorWrite(cam, 0x0005, 400);
    const double gained = cam.MeanLevel(1);
    SensorWrite(cam, 0x0005, 1023);
    SensorWrite(cam, 0x2004, 1);
    const double saturated = cam.MeanLevel(1);
    EXPECT_LT(shorter, mid * 0.5);
    EXPECT_GT(gained, mid * 1.5);
    EXPECT_GT(saturated, 220.0);
    EXPECT_LE(saturated, 255.0);
}

TEST(CameraModelTest, CadenceNotReadyPollsAndInterval) {
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    settings.notReadyPolls = 2;
    settings.notReadyValue = 255;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    Command(cam, 0x10, 0, 0, 0);
    EXPECT_EQ(255, Status(cam)[256]);
    EXPECT_EQ(255, Status(cam)[256]);
    EXPECT_EQ(1, Status(cam)[256]);
    EXPECT_EQ(1, Status(cam)[256]) << "stays ready until the frame is read";
    ReadFrame(cam);
    EXPECT_EQ(255, Status(cam)[256]);

    settings.notReadyPolls = 0;
    settings.frameInterval = std::chrono::milliseconds(50);
    cam.SetSettings(settings);
    ReadFrame(cam);
    EXPECT_NE(1, Status(cam)[256]);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(1, Status(cam)[256]);
}

TEST(CameraModelTest, ChunkedReadsDeliverOneFrame) {
    // A file host reads the image area in pieces; the frame changes only after its last byte.
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    Command(cam, 0x10, 0, 0, 0);
    const uint32_t size = cam.RawFrameSize();
    std::vector<uint8_t> raw(size);
    for (uint32_t at = 0; at < size; at += 65536)
        ASSERT_TRUE(cam.ReadAt(kImage + at, raw.data() + at, std::min<uint32_t>(65536, size - at)));
    EXPECT_EQ(1u, cam.FramesDelivered());
    std::vector<uint8_t> expected(size);
    cam.RenderRaw(1, expected.data());
    EXPECT_EQ(expected, raw);
}

TEST(CameraModelTest, FaultsAndRemoval) {
    CameraModel cam;
    cam.AddFault(FaultRule{DiskOp::Read, kStatus, 1, 1});
    uint8_t s[512];
    EXPECT_TRUE(cam.ReadAt(kStatus, s, 512));
    EXPECT_FALSE(cam.ReadAt(kStatus, s, 512));
    EXPECT_TRUE(cam.ReadAt(kStatus, s, 512));
    cam.AddFault(FaultRule{DiskOp::Seek, std::nullopt, 0, 1});
    EXPECT_FALSE(cam.Seek(kStatus));
    EXPECT_TRUE(cam.Seek(kStatus));
    cam.AddFault(FaultRule{DiskOp::Write, kCommand, 0, -1});
    EXPECT_FALSE(Command(cam, 0x10, 0, 0, 0));
    EXPECT_FALSE(Command(cam, 0x10, 0, 0, 0));
    EXPECT_FALSE(cam.Started());
    cam.ClearFaults();

    cam.SetNeverReady(true);
    Command(cam, 0x10, 0, 0, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(0, Status(cam)[256]);
    cam.SetNeverReady(false);

    SensorWrite(cam, 0x3002, 1);
    cam.RemoveAfterFrames(2);
    ReadFrame(cam);
    EXPECT_FALSE(cam.Removed());
    ReadFrame(cam);
    EXPECT_TRUE(cam.Removed());
    EXPECT_FALSE(cam.ReadAt(kStatus, s, 512));
    EXPECT_FALSE(cam.Seek(kStatus));
}

TEST(CameraModelTest, LogRecordsTransactions) {
    CameraModel cam;
    Command(cam, 0x20, 0x00, 0x30, 0x03);
    uint8_t s[512];
    cam.ReadAt(kStatus, s, 512);
    std::vector<vidlyn::vcam::Transaction> log = cam.Log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(DiskOp::Write, log[0].op);
    EXPECT_EQ(kCommand, log[0].offset);
    EXPECT_EQ(512u, log[0].length);
    EXPECT_EQ(0x20, log[0].head[0]);
    EXPECT_EQ(0x30, log[0].head[2]);
    EXPECT_EQ(0x03, log[0].head[3]);
    EXPECT_EQ(DiskOp::Read, log[1].op);
    EXPECT_EQ(1u, cam.CountReads(kStatus));
    EXPECT_EQ(1u, cam.CountWrites(kCommand));
    cam.ClearLog();
    EXPECT_TRUE(cam.Log().empty());
    EXPECT_EQ(0u, cam.CountReads(kStatus));
}

TEST(CameraModelTest, ReaderAndWriterThreadsTogether) {
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    Command(cam, 0x10, 0, 0, 0);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (uint16_t v = 1; !stop; v = uint16_t(v % 3000 + 1)) SensorWrite(cam, 0x2004, v);
    });
    uint32_t last = 0;
    for (int i = 0; i < 50; ++i) {
        while (Status(cam)[256] != 1) {
        }
        std::vector<uint8_t> picture = Unweave(ReadFrame(cam), cam.PictureWidth(), cam.PictureHeight());
        const uint32_t n = CameraModel::DecodeFrameNumber(picture.data());
        EXPECT_EQ(last + 1, n);
        last = n;
    }
    stop = true;
    writer.join();
}

TEST(CameraModelTest, ScenesMoveAndCarryAReadableCounter) {
    using vidlyn::vcam::ReadCounter;
    using vidlyn::vcam::Scene;
    for (int divisor : {1, 8}) {
        CameraSettings settings;
        settings.subsampleDivisor = 8;
        CameraModel cam(settings);
        if (divisor == 8) SensorWrite(cam, 0x3002, 1);
        const int w = cam.PictureWidth();
        const int h = cam.PictureHeight();
        std::vector<uint8_t> first(size_t(w) * h), second(first.size());
        cam.RenderPicture(7, first.data());
        cam.RenderPicture(12345678, second.data());
        auto at = [w](const std::vector<uint8_t>& p) {
            return [&p, w](int x, int y) { return int(p[size_t(y) * w + x]); };
        };
        EXPECT_EQ(7u, ReadCounter(w, at(first))) << "width " << w;
        EXPECT_EQ(12345678u, ReadCounter(w, at(second))) << "width " << w;
        // The bars move 8 pixels per frame; below the counter the rows are the same, shifted.
        cam.RenderPicture(8, second.data());
        const int y = h - 1;
        for (int x = 0; x + 8 < w; ++x) ASSERT_EQ(first[size_t(y) * w + x + 8], second[size_t(y) * w + x]) << x;
    }

    CameraSettings flat;
    flat.scene = Scene::Flat;
    flat.flatLevel = 100;
    flat.subsampleDivisor = 8;
    CameraModel cam(flat);
    SensorWrite(cam, 0x3002, 1);
    SensorWrite(cam, 0x0005, 0);
    std::vector<uint8_t> picture(size_t(cam.PictureWidth()) * cam.PictureHeight());
    cam.RenderPicture(3, picture.data());
    // Everything but the 8 stamp bytes is the level; no counter in the flat scene.
    EXPECT_TRUE(std::all_of(picture.begin() + 8, picture.end(), [](uint8_t v) { return v == 100; }));
    SensorWrite(cam, 0x2004, 2502);  // half the reference exposure time
    cam.RenderPicture(3, picture.data());
    EXPECT_EQ(50, picture[1000]);
}

TEST(CameraModelTest, StalledLinkSendsNoFrameUntilItRecovers) {
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    cam.StallAfterFrames(1, std::chrono::milliseconds(40));
    Command(cam, 0x10, 0, 0, 0);
    ASSERT_EQ(1, Status(cam)[256]);
    ReadFrame(cam);
    EXPECT_TRUE(cam.Stalled());
    for (int i = 0; i < 20; ++i) EXPECT_NE(1, Status(cam)[256]);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(1, Status(cam)[256]) << "the link is back";
    EXPECT_FALSE(cam.Stalled());

    cam.StallAfterFrames(0, std::chrono::milliseconds(0));  // at once, for good
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ReadFrame(cam);
    EXPECT_NE(1, Status(cam)[256]);
}

TEST(CameraModelTest, RemovalPartWayIntoAFrameAndReplugAsAnotherProduct) {
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel cam(settings);
    SensorWrite(cam, 0x3002, 1);
    Command(cam, 0x10, 0, 0, 0);
    cam.RemoveAfterFrames(1, 1000);
    ReadFrame(cam);
    EXPECT_FALSE(cam.Removed());
    std::vector<uint8_t> part(1024);
    EXPECT_TRUE(cam.ReadAt(kImage, part.data(), 512));
    EXPECT_FALSE(cam.ReadAt(kImage + 512, part.data(), 1024)) << "the read past byte 1000 of frame 2";
    EXPECT_TRUE(cam.Removed());
    EXPECT_EQ(1u, cam.FramesDelivered());

    CameraModel other(settings);
    SensorWrite(other, 0x3002, 1);
    Command(other, 0x10, 0, 0, 0);
    other.ReplugAfterFrames(1, std::chrono::milliseconds(30), 0x06E1);
    ReadFrame(other);
    uint8_t s[512];
    EXPECT_FALSE(other.ReadAt(kStatus, s, 512)) << "gone";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<uint8_t> back = Status(other);
    EXPECT_EQ(0xE1, back[26]);
    EXPECT_EQ(0x06, back[27]);
    EXPECT_FALSE(other.Started()) << "a replugged camera waits for its start command";
    EXPECT_NE(1, back[256]);
}
