// AviWriter files walked by their RIFF structure: header fields, frame chunks
// with their rows, the index and its offsets from the "movi" tag, the patched
// fields; the size limit ends a file properly instead of wrapping its sizes.
#include <gtest/gtest.h>

#include "FileReaders.h"
#include "output/AviWriter.h"

using namespace filetest;

namespace {

constexpr int kW = 642;  // rows of 1926 bytes, padded to 1928
constexpr int kH = 2;
constexpr uint32_t kS = kH * 1928;

std::vector<uint8_t> Frame(int n) {
    std::vector<uint8_t> f(kS);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 7 + n * 31);
    return f;
}

class AviFileTest : public testing::Test {
protected:
    void SetUp() override {
        path = TempPath("writer.avi");
        Remove(path);
        avi.width = kW;
        avi.height = kH;
        avi.bitCount = 24;
        avi.rate = 30;
    }
    void TearDown() override {
        avi.Reset();
        Remove(path);
    }
    // Every frame chunk and index entry in order, with the frames' bytes.
    void ExpectFrames(const AviFile& f, int frames) {
        ASSERT_TRUE(f.ok) << f.error;
        ASSERT_TRUE(f.hasIndex);
        ASSERT_EQ(f.frames.size(), size_t(frames));
        ASSERT_EQ(f.index.size(), size_t(frames));
        EXPECT_EQ(f.moviTag, 228u);
        EXPECT_EQ(f.moviSize, 4 + frames * (8 + kS));
        for (int i = 0; i < frames; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(f.frames[i].size, kS);
            EXPECT_EQ(f.index[i].tag, "00db");
            EXPECT_EQ(f.index[i].flags, 0x10u);
            EXPECT_EQ(f.index[i].size, kS);
            EXPECT_EQ(f.moviTag + f.index[i].offset, f.frames[i].offset);
            EXPECT_EQ(0, memcmp(&f.bytes[f.frames[i].offset + 8], Frame(i).data(), kS));
        }
        EXPECT_EQ(f.Field(48), uint32_t(frames));   // total frames
        EXPECT_EQ(f.Field(140), uint32_t(frames));  // stream length
    }

    std::string path;
    AviWriter avi;
};

TEST_F(AviFileTest, FramesIndexAndPatchedHeader) {
    ASSERT_EQ(avi.Open(path.c_str()), 1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(avi.AddFrame(Frame(i).data()), AviWriter::kAdded);
    avi.rate = 3000;  // 30 frames per second measured
    ASSERT_EQ(avi.Finalize(), 1);
    EXPECT_FALSE(avi.IsOpen());

    const AviFile f = ReadAvi(path);
    ExpectFrames(f, 3);
    EXPECT_EQ(f.bytes.size(), 232 + 3 * (8 + kS) + 8 + 3 * 16);
    EXPECT_EQ(f.Field(32), 33333u);
    EXPECT_EQ(f.Field(128), 333333u);
    EXPECT_EQ(f.Field(132), 10000000u);
    EXPECT_EQ(f.Field(60), kS + 8);
    EXPECT_EQ(f.Field(184), uint32_t(kW));
    EXPECT_EQ(f.Field(188), uint32_t(kH));
}

TEST_F(AviFileTest, SizeLimitEndsTheFileBeforeItsFieldsWrap) {
    // Room for two frames with their index, not for a third.
    avi.sizeLimit = 224 + 2 * (8 + kS) + 8 + 2 * 16 + 100;
    ASSERT_EQ(avi.Open(path.c_str()), 1);
    ASSERT_EQ(avi.AddFrame(Frame(0).data()), AviWriter::kAdded);
    ASSERT_EQ(avi.AddFrame(Frame(1).data()), AviWriter::kAdded);
    EXPECT_EQ(avi.AddFrame(Frame(2).data()), AviWriter::kFull);
    EXPECT_EQ(avi.frameCount, 2u);
    avi.rate = 0;  // no measured rate: written as the slowest one, not divided by
    ASSERT_EQ(avi.Finalize(), 1);
    const AviFile f = ReadAvi(path);
    ExpectFrames(f, 2);
    EXPECT_LE(f.riffSize, avi.sizeLimit);
    EXPECT_EQ(f.Field(32), 100000000u);
    EXPECT_EQ(f.Field(128), 1000000000u);

    // A limit that holds not even one frame cannot be recorded at all.
    avi.sizeLimit = 224 + 8 + kS;
    EXPECT_EQ(avi.Open(path.c_str()), 0);
}

TEST_F(AviFileTest, OpenRefusesBadGeometryAndUnopenableFiles) {
    avi.width = 0;
    EXPECT_EQ(avi.Open(path.c_str()), 0);
    EXPECT_FALSE(Exists(path));
    avi.width = kW;
    HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(avi.Open(path.c_str()), 0);
    CloseHandle(held);
    EXPECT_EQ(avi.AddFrame(Frame(0).data()), AviWriter::kWriteFailed);
    EXPECT_EQ(avi.Finalize(), 0);
}

TEST_F(AviFileTest, ReopeningTruncatesAndStartsAfresh) {
    ASSERT_EQ(avi.Open(path.c_str()), 1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(avi.AddFrame(Frame(i).data()), AviWriter::kAdded);
    // Reset closes it unfinished: the provisional header, no index.
    avi.Reset();
    const AviFile old = ReadAvi(path);
    ASSERT_EQ(old.bytes.size(), 232 + 3 * (8 + kS));
    EXPECT_EQ(old.Field(4), 0u);
    EXPECT_EQ(old.Field(224), 0u);
    EXPECT_EQ(old.Field(48), 0u);
    EXPECT_EQ(old.Field(32), 33333u);
    EXPECT_EQ(old.Field(128), 333333u);
    // Open again: the new file starts empty.
    ASSERT_EQ(avi.Open(path.c_str()), 1);
    ASSERT_EQ(avi.AddFrame(Frame(0).data()), AviWriter::kAdded);
    ASSERT_EQ(avi.Finalize(), 1);
    ExpectFrames(ReadAvi(path), 1);
}

}  // namespace
