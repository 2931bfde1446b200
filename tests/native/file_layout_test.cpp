// The BMP and AVI byte layouts, read back field by field at the offsets of the
// file formats rather than through the builders' own constants.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pixel/layout/AviLayout.h"
#include "pixel/layout/BmpLayout.h"

namespace {

uint32_t U32(const uint8_t* p, size_t at) {
    return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}
uint16_t U16(const uint8_t* p, size_t at) { return uint16_t(p[at] | p[at + 1] << 8); }
std::string Tag(const uint8_t* p, size_t at) { return std::string(reinterpret_cast<const char*>(p + at), 4); }

TEST(BmpLayout, GrayPictureHasRampAndFileSize) {
    std::vector<uint8_t> h(kBmpMaxHeadersSize + 16, 0xCD);
    ASSERT_EQ(BuildBmpHeaders(h.data(), 640, 480, 640, 8), 1078u);
    EXPECT_EQ(Tag(h.data(), 0).substr(0, 2), "BM");
    EXPECT_EQ(U32(h.data(), 2), 308278u);  // 1078 + 480 * 640
    EXPECT_EQ(U32(h.data(), 6), 0u);
    EXPECT_EQ(U32(h.data(), 10), 1078u);
    EXPECT_EQ(U32(h.data(), 14), 40u);
    EXPECT_EQ(int32_t(U32(h.data(), 18)), 640);
    EXPECT_EQ(int32_t(U32(h.data(), 22)), 480);  // positive: bottom-up
    EXPECT_EQ(U16(h.data(), 26), 1);
    EXPECT_EQ(U16(h.data(), 28), 8);
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32(h.data(), at), 0u) << at;
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(U32(h.data(), 54 + 4 * i), i | i << 8 | i << 16) << i;
    EXPECT_EQ(h[1078], 0xCD);  // nothing written past the headers
}

TEST(BmpLayout, DeeperPicturesHaveNoColourTable) {
    uint8_t h[kBmpMaxHeadersSize];
    for (uint16_t bits : {16, 24, 32, 48, 64}) {
        const int32_t stride = (641 * (bits / 8) + 3) & ~3;
        ASSERT_EQ(BuildBmpHeaders(h, 641, 2, stride, bits), 54u) << bits;
        EXPECT_EQ(U32(h, 2), 54u + 2u * uint32_t(stride)) << bits;
        EXPECT_EQ(U32(h, 10), 54u);
        EXPECT_EQ(U16(h, 28), bits);
    }
    ASSERT_EQ(BuildBmpHeaders(h, 641, 1, 1924, 24), 54u);
    EXPECT_EQ(U32(h, 2), 54u + 1924u);
}

TEST(BmpLayout, RefusesWhatTheSizeFieldCannotHold) {
    uint8_t h[kBmpMaxHeadersSize];
    EXPECT_EQ(BuildBmpHeaders(h, 0, 1, 4, 8), 0u);
    EXPECT_EQ(BuildBmpHeaders(h, 1, -1, 4, 8), 0u);
    EXPECT_EQ(BuildBmpHeaders(h, 1, 1, 4, 0), 0u);
    EXPECT_EQ(BuildBmpHeaders(h, 65536, 65536, 65536, 8), 0u);  // 4 GiB of rows
    EXPECT_NE(BuildBmpHeaders(h, 4896, 3264, 4896 * 8, 64), 0u);
}

// Every field of the 232-byte header at its file offset.
TEST(AviLayout, HeaderFieldsAtTheirOffsets) {
    const uint32_t s = uint32_t(avi::FrameBytes(642, 2));
    ASSERT_EQ(s, 2u * 1928u);  // rows padded to 4 bytes
    std::vector<uint8_t> h(avi::kHeaderSize);
    avi::BuildHeader(h.data(), 642, 2, s, 30);
    const uint8_t* p = h.data();
    const struct {
        size_t at;
        uint32_t value;
    } numbers[] = {{4, 0},
                   {16, 200},
                   {28, 56},
                   {32, 33333},
                   {36, (s + 8) * (s + 8)},
                   {40, 0},
                   {44, 0x10010},
                   {48, 0},
                   {52, 0},
                   {56, 1},
                   {60, s + 8},
                   {64, 642},
                   {68, 2},
                   {72, 0},
                   {76, 0},
                   {80, 0},
                   {84, 0},
                   {92, 124},
                   {104, 64},
                   {116, 0},
                   {120, 0},
                   {124, 0},
                   {128, 333333},
                   {132, 10000000},
                   {136, 0},
                   {140, 0},
                   {144, s + 8},
                   {148, 0},
                   {152, 0},
                   {156, 0},
                   {160, 0},
                   {164, 0},
                   {168, 0},
                   {176, 40},
                   {180, 40},
                   {184, 642},
                   {188, 2},
                   {192, 1 | 24 << 16},
                   {196, 0},
                   {200, 0},
                   {204, 0},
                   {208, 0},
                   {212, 0},
                   {216, 0},
                   {224, 0}};
    for (const auto& n : numbers) EXPECT_EQ(U32(p, n.at), n.value) << "offset " << n.at;
    const struct {
        size_t at;
        const char* tag;
    } tags[] = {{0, "RIFF"},   {8, "AVI "},   {12, "LIST"},  {20, "hdrl"},  {24, "avih"},  {88, "LIST"}, {96, "strl"},
                {100, "strh"}, {108, "vids"}, {112, "DIB "}, {172, "strf"}, {220, "LIST"}, {228, "movi"}};
    for (const auto& t : tags) EXPECT_EQ(Tag(p, t.at), t.tag) << "offset " << t.at;
    // The lists nest: hdrl ends where the movi list starts.
    EXPECT_EQ(20 + U32(p, 16), 220u);
    EXPECT_EQ(96 + U32(p, 92), 220u);
}

TEST(AviLayout, ChunkAndIndexEntry) {
    uint8_t c[8], e[16];
    avi::BuildChunkHeader(c, "00db", 921600);
    EXPECT_EQ(Tag(c, 0), "00db");
    EXPECT_EQ(U32(c, 4), 921600u);
    avi::BuildIndexEntry(e, 4 + 921608, 921600);
    EXPECT_EQ(Tag(e, 0), "00db");
    EXPECT_EQ(U32(e, 4), 0x10u);
    EXPECT_EQ(U32(e, 8), 921612u);
    EXPECT_EQ(U32(e, 12), 921600u);
}

TEST(AviLayout, FramesFitUpToTheLimitExactly) {
    const uint32_t s = 1000;
    const uint64_t start = avi::kHeaderSize - 8;  // RIFF size after the header
    // One frame needs its chunk, the index chunk header and one entry.
    const uint64_t one = start + 8 + s + 8 + 16;
    EXPECT_TRUE(avi::FrameFits(start, 0, s, one));
    EXPECT_FALSE(avi::FrameFits(start, 0, s, one - 1));
    // The second frame also pays the first frame's index entry.
    const uint64_t afterOne = start + 8 + s;
    EXPECT_TRUE(avi::FrameFits(afterOne, 1, s, afterOne + 8 + s + 8 + 32));
    EXPECT_FALSE(avi::FrameFits(afterOne, 1, s, afterOne + 8 + s + 8 + 31));
    // Never past what the 32-bit RIFF size holds, whatever the limit asked.
    EXPECT_FALSE(avi::FrameFits(0xFFFFFFFFull - 100, 0, 69, UINT64_MAX));
    EXPECT_TRUE(avi::FrameFits(0xFFFFFFFFull - 100, 0, 68, UINT64_MAX));
    EXPECT_TRUE(avi::FrameFits(0xFFFFFFFFull - 200, 1, 50, UINT64_MAX));
}

TEST(AviLayout, MeasuredRateWithoutOverflowOrDivisionByZero) {
    EXPECT_EQ(avi::MeasuredRate(30, 1000), 3000u);
    EXPECT_EQ(avi::MeasuredRate(31, 1000), 3100u);
    // 50000 frames x 100000 does not fit 32 bits.
    EXPECT_EQ(avi::MeasuredRate(50000, 2000000), 2500u);
    EXPECT_EQ(avi::MeasuredRate(0xFFFFFFFFu, 0xFFFFFFFFu), 100000u);
    EXPECT_EQ(avi::MeasuredRate(2, 0), 200000u);  // both frames in the same millisecond
    EXPECT_EQ(avi::MeasuredRate(1, 200000), 1u);  // slower than a frame per 100 s
    EXPECT_EQ(avi::MeasuredRate(0xFFFFFFFFu, 1), avi::kMaxMeasuredRate);
}

TEST(AviLayout, FinalPatchesForMeasuredRates) {
    auto at = [](const std::array<avi::Patch, 6>& patches, uint32_t offset) {
        for (const auto& p : patches)
            if (p.offset == offset) return p.value;
        ADD_FAILURE() << "no patch at " << offset;
        return 0u;
    };
    const auto p = avi::FinalPatches(5000, 4000, 31, 3000);
    const uint32_t order[] = {4, 224, 48, 140, 32, 128};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(p[i].offset, order[i]);
    EXPECT_EQ(at(p, 4), 5000u);
    EXPECT_EQ(at(p, 224), 4000u);
    EXPECT_EQ(at(p, 48), 31u);
    EXPECT_EQ(at(p, 140), 31u);
    EXPECT_EQ(at(p, 32), 33333u);
    EXPECT_EQ(at(p, 128), 333333u);
    // A rate of 0 is written as the slowest expressible one, never divided by.
    const auto z = avi::FinalPatches(0, 0, 0, 0);
    EXPECT_EQ(at(z, 32), 100000000u);
    EXPECT_EQ(at(z, 128), 1000000000u);
    const auto fast = avi::FinalPatches(0, 0, 0, avi::kMaxMeasuredRate);
    EXPECT_EQ(at(fast, 32), 1u);
    EXPECT_EQ(at(fast, 128), 10u);
}

}  // namespace
