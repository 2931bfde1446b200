// Byte layout of the uncompressed AVI files the recorder writes: a 232-byte
// header (RIFF "AVI ", the "hdrl" list with "avih", "strl" with "strh" and a
// 24-bit "strf", the opening of the "movi" list), one "00db" chunk per frame
// of bottom-up 24-bit rows, and the "idx1" index at the end. All numbers are
// little-endian 32-bit. The fields that depend on the whole recording (sizes,
// frame counts, the measured rate) are written as 0 first and patched when
// the file is finalized.
#pragma once
#include <array>
#include <cstdint>

namespace avi {

constexpr uint32_t kHeaderSize = 232;
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kMicrosPerFrameOffset = 32;
constexpr uint32_t kTotalFramesOffset = 48;
constexpr uint32_t kScaleOffset = 128;
constexpr uint32_t kLengthOffset = 140;
constexpr uint32_t kMoviSizeOffset = 224;
constexpr uint32_t kFlagsOffset = 44;           // avih flags
constexpr uint32_t kHasIndexFlag = 0x10;        // AVIF_HASINDEX
constexpr uint32_t kCaptureFileFlag = 0x10000;  // AVIF_WASCAPTUREFILE
constexpr uint32_t kMoviTagOffset = 228;
constexpr uint32_t kChunkHeaderSize = 8;    // tag and size in front of each frame and of the index
constexpr uint32_t kIndexEntrySize = 16;    // "00db", flags, offset from "movi", size
constexpr uint32_t kKeyFrameFlag = 0x10;    // AVIIF_KEYFRAME
constexpr uint32_t kStreamRate = 10000000;  // strh rate; rate / scale is the frame rate
// The largest RIFF size the 32-bit size field can hold (4 GiB - 1).
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;

// Bytes of one frame chunk's payload: height rows of width 24-bit pixels,
// each padded to a multiple of 4 bytes. 0 when that is not a valid size.
uint64_t FrameBytes(int32_t width, int32_t height);

// The 232 header bytes for frames of width x height, payload `frameBytes`
// each, at `framesPerSecond` provisional frames per second (at least 1).
void BuildHeader(uint8_t* out, int32_t width, int32_t height, uint32_t frameBytes, uint32_t framesPerSecond);

// The 8 bytes in front of a chunk: its tag and payload size.
void BuildChunkHeader(uint8_t* out, const char (&tag)[5], uint32_t size);

// One 16-byte index entry for a frame chunk at `offset` bytes from the
// "movi" tag.
void BuildIndexEntry(uint8_t* out, uint32_t offset, uint32_t frameBytes);

// Whether one more frame (its chunk and its index entry, with the index's own
// chunk header) still keeps the RIFF size within `riffLimit`. `riffSize` is
// the RIFF size of what has been written so far (every byte after offset 8),
// `frameCount` the frames already in the file.
bool FrameFits(uint64_t riffSize, uint32_t frameCount, uint32_t frameBytes, uint64_t riffLimit);

// Measured rate in hundredths of a frame per second: frames x 100000 /
// elapsed milliseconds, in 64-bit arithmetic. An elapsed time of 0 counts as
// the timer's resolution of 1 ms. The result is kept within 1 ..
// kMaxMeasuredRate, so that the patched header fields stay non-zero.
uint32_t MeasuredRate(uint32_t frames, uint32_t elapsedMs);
constexpr uint32_t kMaxMeasuredRate = 100000000;

struct Patch {
    uint32_t offset;
    uint32_t value;
};

// The header fields that finalizing rewrites, in the order they are written:
// RIFF size, movi size, total frames, length, microseconds per frame and
// scale. `rate` is in hundredths of a frame per second; 0 is treated as the
// slowest rate the fields express (1).
std::array<Patch, 6> FinalPatches(uint32_t riffSize, uint32_t moviSize, uint32_t frameCount, uint32_t rate);

}  // namespace avi
