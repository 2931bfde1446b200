// Vidlyn_Record with a streaming simulated camera, the files walked by their
// RIFF structure: every way a recording ends (its time up, duration 0, the
// file full, a stop, a close, a release) leaves a finalized file; a second
// recording of the same session is refused; two sessions record at once; the
// frames are built right from every colour mode; recorded frames and still
// images saved while streaming are whole frames of the camera, never torn.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FileReaders.h"
#include "StreamingCamera.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "pixel/layout/AviLayout.h"

using namespace streamtest;
using vidlyn::vcam::CameraModel;
using namespace filetest;

namespace {

constexpr uint32_t kS = kHeight * kWidth * 3;  // 1224 x 3 is a multiple of 4

class Recording : public StreamingCamera {
protected:
    void SetUp() override {
        StreamingCamera::SetUp();
        path = TempPath("record.avi");
        Remove(path);
    }
    void TearDown() override {
        StreamingCamera::TearDown();
        Remove(path);
    }
    // Waits until the record thread of `session` has finalized its file.
    static bool Ended(CVidlyn* session) {
        const DWORD start = GetTickCount();
        while (session->m_recording.load() != 0)
            if (GetTickCount() - start > kPatienceMs)
                return false;
            else
                Sleep(5);
        return true;
    }
    // Waits until the file holds `frames` frames (it cannot be opened while recording).
    bool FileHolds(const std::string& file, uint32_t frames) {
        const DWORD start = GetTickCount();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        while (GetTickCount() - start < kPatienceMs) {
            if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data) &&
                data.nFileSizeLow >= 232 + frames * (8 + kS))
                return true;
            Sleep(5);
        }
        return false;
    }
    // A finalized file of frames of the stream's size; its frame count.
    static size_t ExpectFinalized(const AviFile& f, size_t frameBytes = kS) {
        EXPECT_TRUE(f.ok) << f.error;
        EXPECT_TRUE(f.hasIndex);
        if (!f.ok) return 0;
        const size_t n = f.frames.size();
        EXPECT_EQ(f.index.size(), n);
        EXPECT_EQ(f.moviTag, 228u);
        EXPECT_EQ(f.moviSize, 4 + n * (8 + frameBytes));
        EXPECT_EQ(f.Field(48), n);
        EXPECT_EQ(f.Field(140), n);
        EXPECT_EQ(f.Field(184), uint32_t(kWidth));
        EXPECT_EQ(f.Field(188), uint32_t(kHeight));
        for (size_t i = 0; i < n && i < f.index.size(); ++i) {
            EXPECT_EQ(f.frames[i].size, frameBytes);
            EXPECT_EQ(f.index[i].offset, 4 + i * (8 + frameBytes));
            EXPECT_EQ(f.moviTag + f.index[i].offset, f.frames[i].offset);
        }
        // The patched rate fields describe one rate: scale = 10 x microseconds per frame.
        const uint32_t micros = f.Field(32), scale = f.Field(128);
        EXPECT_GT(micros, 0u);
        EXPECT_NEAR(double(scale), 10.0 * micros, 10.0);
        EXPECT_EQ(f.Field(132), 10000000u);
        return n;
    }
    bool FramesDiffer(const AviFile& f, size_t a, size_t b) {
        return memcmp(&f.bytes[f.frames[a].offset + 8], &f.bytes[f.frames[b].offset + 8], kS) != 0;
    }

    std::string path;
};

TEST_F(Recording, OneSecondOfTheStreamFinalizesItself) {
    ASSERT_EQ(Vidlyn_SetColorMode(h, 24), 1);
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 1000, 0), 1);
    EXPECT_EQ(s->m_state.load(), 1);
    ASSERT_TRUE(Ended(s));
    EXPECT_EQ(s->m_state.load(), 1);  // the stream goes on after the recording
    const AviFile f = ReadAvi(path);
    const size_t n = ExpectFinalized(f);
    ASSERT_GE(n, 2u);
    EXPECT_TRUE(FramesDiffer(f, 0, n - 1));
    // n frames over at least a second: the measured rate is at most n per second.
    EXPECT_GE(f.Field(32), 100000000u / (n * 100));
    EXPECT_EQ(Codes(), std::vector<int>{});
    // The recording has ended: another one may start on the same stream.
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 0, 0), 1);
    ASSERT_TRUE(Ended(s));
    EXPECT_EQ(ExpectFinalized(ReadAvi(path)), 2u);
}

TEST_F(Recording, DurationZeroHoldsTwoFramesInEveryColourMode) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(Vidlyn_StopPreview(h), 1);
        ASSERT_EQ(Vidlyn_SetColorMode(h, bits), 1);
        ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 0, 0), 1);
        ASSERT_TRUE(Ended(s));
        const AviFile f = ReadAvi(path);
        ASSERT_EQ(ExpectFinalized(f), 2u);
        EXPECT_TRUE(FramesDiffer(f, 0, 1));
        EXPECT_EQ(f.Field(194) & 0xFFFF, 24u);  // the file always holds 24-bit frames
    }
}

TEST_F(Recording, StoppingEarlyLeavesAFinalizedFile) {
    for (int stop = 0; stop < 3; ++stop) {
        SCOPED_TRACE(stop);
        ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 600000, 0), 1);
        ASSERT_TRUE(FileHolds(path, 3));
        const int stopped = stop == 0 ? Vidlyn_StopPreview(h) : stop == 1 ? Vidlyn_Close(h) : session->Release();
        EXPECT_EQ(stopped, 1);
        EXPECT_GE(ExpectFinalized(ReadAvi(path)), 3u);
    }
}

TEST_F(Recording, TheSizeLimitEndsTheRecordingAsIfItsTimeWereUp) {
    // Room for three frames and their index.
    s->m_avi.sizeLimit = 224 + 3 * (8 + kS) + 8 + 3 * 16;
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 600000, 0), 1);
    ASSERT_TRUE(Ended(s));
    const AviFile f = ReadAvi(path);
    EXPECT_EQ(ExpectFinalized(f), 3u);
    EXPECT_EQ(f.bytes.size(), s->m_avi.sizeLimit + 8);
    EXPECT_EQ(Codes(), std::vector<int>{});
}

// Run by the record_full_disk_test entry in a process whose files cannot
// grow past VIDLYN_TEST_FILE_LIMIT bytes, as on a disk that has filled up:
// the frames fit, the index at the end does not.
TEST_F(Recording, AFullDiskAtTheEndLeavesReadableFramesAndCodeTwelve) {
    const char* limitText = std::getenv("VIDLYN_TEST_FILE_LIMIT");
    if (limitText == nullptr) GTEST_SKIP() << "needs a file size limit (ctest -R record_full_disk_test)";
    const uint64_t limit = std::strtoull(limitText, nullptr, 10);
    const uint64_t frames = (limit - 232) / (8 + kS);
    ASSERT_GE(frames, 2u);
    ASSERT_GT(232 + frames * (8 + kS) + 8 + 16 * frames, limit) << "the index would fit";
    // The recording ends by itself after these frames, its index due.
    s->m_avi.sizeLimit = 224 + frames * (8 + kS) + 8 + 16 * frames;
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 600000, 0), 1);
    ASSERT_TRUE(Ended(s));
    EXPECT_EQ(Codes(), std::vector<int>{VIDLYN_ERR_SETTINGS});

    // No index, and the header says so; every field that was there is patched.
    const AviFile f = ReadAvi(path);
    ASSERT_TRUE(f.ok) << f.error;
    EXPECT_FALSE(f.hasIndex);
    EXPECT_EQ(f.bytes.size(), 232 + frames * (8 + kS));
    EXPECT_EQ(f.frames.size(), frames);
    EXPECT_EQ(f.moviSize, 4 + frames * (8 + kS));
    EXPECT_EQ(f.Field(44), 0x10000u);  // was-capture-file only
    EXPECT_EQ(f.Field(48), frames);
    EXPECT_EQ(f.Field(140), frames);
    EXPECT_GT(f.Field(32), 0u);
    EXPECT_NEAR(double(f.Field(128)), 10.0 * f.Field(32), 10.0);
}

TEST_F(Recording, ASecondRecordingIsRefusedWithoutDisturbingTheFirst) {
    const std::string other = TempPath("second.avi");
    Remove(other);
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 600000, 0), 1);
    EXPECT_EQ(Vidlyn_Record(h, other.c_str(), 0, 0), 0);
    EXPECT_EQ(Codes(), std::vector<int>{VIDLYN_ERR_NO_CAMERA});
    EXPECT_FALSE(Exists(other));
    ASSERT_TRUE(FileHolds(path, 2));
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_GE(ExpectFinalized(ReadAvi(path)), 2u);
}

TEST_F(Recording, BadNamesAndDurationsAreRefusedBeforeAnythingStarts) {
    EXPECT_EQ(Vidlyn_Record(h, "", 1000, 0), 0);
    EXPECT_EQ(Vidlyn_Record(h, nullptr, 1000, 0), 0);
    EXPECT_EQ(Vidlyn_Record(h, path.c_str(), -1, 0), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{9, 9, 9}));
    EXPECT_EQ(s->m_state.load(), 0);
    EXPECT_FALSE(Exists(path));

    const std::wstring tooLong(1100, L'x');
    EXPECT_EQ(Vidlyn_RecordW(h, tooLong.c_str(), 1000, 0), 0);
    EXPECT_EQ(Codes(), std::vector<int>{VIDLYN_ERR_SETTINGS});
    // A file that cannot be made: the stream it started is closed again.
    EXPECT_EQ(Vidlyn_Record(h, "Z:\\no\\such\\folder\\x.avi", 1000, 0), 0);
    EXPECT_EQ(Codes(), std::vector<int>{VIDLYN_ERR_SETTINGS});
    EXPECT_EQ(s->m_state.load(), 0);

    const std::wstring wide(path.begin(), path.end());
    ASSERT_EQ(Vidlyn_RecordW(h, wide.c_str(), 0, 1), 1);  // with the preview window
    EXPECT_NE(s->m_previewWnd, nullptr);
    ASSERT_TRUE(Ended(s));
    EXPECT_EQ(ExpectFinalized(ReadAvi(path)), 2u);
}

TEST_F(Recording, TwoSessionsRecordAtOnce) {
    // A second camera on drive 1, listed after the first.
    ASSERT_TRUE(
        vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry(), vidlyn::test::CameraEnumEntry("QM7720E", 2)}));
    vidlyn::vcam::CameraSettings settings;
    settings.subsampleDivisor = 4;
    rig.Add(1, settings);
    sdktest::Session second;
    CVidlyn* s2 = second.object();
    ASSERT_NE(s2, nullptr);
    ASSERT_EQ(s2->m_device->SelectDevice(1), 0);
    const std::string path2 = TempPath("record2.avi");
    Remove(path2);
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 300, 0), 1);
    ASSERT_EQ(Vidlyn_Record(second, path2.c_str(), 300, 0), 1);
    ASSERT_TRUE(Ended(s));
    ASSERT_TRUE(Ended(s2));
    EXPECT_GE(ExpectFinalized(ReadAvi(path)), 2u);
    EXPECT_GE(ExpectFinalized(ReadAvi(path2)), 2u);
    Remove(path2);
}

// The frame each colour mode makes, against the picture in the output buffer:
// rows reversed once, gray spread to blue, green and red, 10-bit samples
// reduced to 8 bits.
TEST_F(Recording, FramesAreBuiltFromEveryColourMode) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(Vidlyn_SetColorMode(h, bits), 1);
        ASSERT_EQ(s->PrepareAcquisition(), 1);
        DibBuffer* out = s->OutputBuffer();
        ASSERT_EQ(out->width, kWidth);
        for (int y = 0; y < kHeight; ++y)
            for (int i = 0; i < out->stride; ++i) out->bits[size_t(y) * out->stride + i] = uint8_t(i * 13 + y * 7);
        DibBuffer frame;
        ASSERT_EQ(frame.Create(kWidth, kHeight, 24), 1);
        uint32_t taken = 12345;
        ASSERT_EQ(s->TakeRecordFrame(frame, &taken), 1);
        EXPECT_EQ(s->TakeRecordFrame(frame, &taken), 0);  // the same frame is not taken twice
        for (int y = 0; y < kHeight; y += 97)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c) {
                    const uint8_t* p = out->bits + size_t(kHeight - 1 - y) * out->stride;
                    int want;
                    if (bits == 8)
                        want = p[x];
                    else if (bits == 16)
                        want = ((p[2 * x] | p[2 * x + 1] << 8) >> 2) & 255;
                    else if (bits <= 32)
                        want = p[x * (bits / 8) + c];
                    else {
                        const uint8_t* q = p + x * (bits / 8) + 2 * c;
                        want = ((q[0] | q[1] << 8) >> 2) & 255;
                    }
                    ASSERT_EQ(frame.bits[size_t(y) * frame.stride + 3 * x + c], want) << x << "," << y << "," << c;
                }
        // A picture of another size is not taken.
        DibBuffer small;
        ASSERT_EQ(small.Create(kWidth / 2, kHeight, 24), 1);
        taken = 12345;
        EXPECT_EQ(s->TakeRecordFrame(small, &taken), 0);
    }
}

// Recorded frame `i` of an 8-bit recording as the camera's picture: the
// bottom-up rows of equal blue, green and red back in memory order.
std::vector<uint8_t> RecordedGray(const AviFile& f, size_t i) {
    std::vector<uint8_t> gray(size_t(kWidth) * kHeight);
    const uint8_t* rows = &f.bytes[f.frames[i].offset + 8];
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            gray[size_t(y) * kWidth + x] = rows[size_t(kHeight - 1 - y) * kWidth * 3 + 3 * x];
    return gray;
}

// A camera at 10 frames per second leaves the host 100 ms a frame, far more
// than a frame of this size takes: the file holds every frame it made, each once.
TEST_F(Recording, AtACameraRateTheHostKeepsUpWithEveryFrameIsRecorded) {
    vidlyn::vcam::CameraSettings settings = camera->Settings();
    settings.frameInterval = std::chrono::milliseconds(100);
    camera->SetSettings(settings);
    ASSERT_EQ(Vidlyn_SetColorMode(h, 8), 1);
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 2000, 0), 1);
    ASSERT_TRUE(Ended(s));
    const AviFile f = ReadAvi(path);
    ASSERT_GE(ExpectFinalized(f), 15u);
    uint32_t previous = CameraModel::DecodeFrameNumber(RecordedGray(f, 0).data());
    for (size_t i = 1; i < f.frames.size(); ++i) {
        const uint32_t number = CameraModel::DecodeFrameNumber(RecordedGray(f, i).data());
        EXPECT_EQ(previous + 1, number) << "after recorded frame " << i - 1;
        previous = number;
    }
    // About 10 frames a second over the 2 s measured.
    const uint32_t rate = 1000000000u / f.Field(128);
    EXPECT_NEAR(rate, 1000u, 150u);
    EXPECT_EQ(Codes(), std::vector<int>{});
}

// 8 bits: the output picture is the camera's frame itself, numbered in its
// first bytes; every frame taken while the stream runs must be one of them whole.
TEST_F(Recording, RecordedAndSavedFramesAreNeverTorn) {
    ASSERT_EQ(Vidlyn_SetColorMode(h, 8), 1);
    ASSERT_EQ(Vidlyn_SetWaitTime(h, 0), 1);  // convert as often as frames come
    ASSERT_EQ(Vidlyn_Record(h, path.c_str(), 1500, 0), 1);
    const std::string still = TempPath("still.raw");
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(Vidlyn_SaveImage(h, still.c_str(), VIDLYN_FORMAT_RAW), 1);
        const std::vector<uint8_t> image = ReadBytes(still);
        const uint32_t number = CameraModel::DecodeFrameNumber(image.data());
        ASSERT_TRUE(image == streamtest::Picture(*camera, number)) << "still " << i << ": frame " << number << " torn";
    }
    Remove(still);
    ASSERT_TRUE(Ended(s));
    const AviFile f = ReadAvi(path);
    const size_t n = ExpectFinalized(f);
    ASSERT_GE(n, 2u);
    uint32_t previous = 0;
    for (size_t i = 0; i < n; ++i) {
        const std::vector<uint8_t> gray = RecordedGray(f, i);
        const uint32_t number = CameraModel::DecodeFrameNumber(gray.data());
        ASSERT_GT(number, previous) << "recorded frame " << i << " repeated or out of order";
        ASSERT_TRUE(gray == streamtest::Picture(*camera, number))
            << "recorded frame " << i << ": camera frame " << number << " torn";
        previous = number;
    }
}

}  // namespace
