#include "pixel/layout/AviLayout.h"

#include <algorithm>
#include <cstring>

#include "pixel/layout/LittleEndian.h"

using pixel::Put16;
using pixel::Put32;
using pixel::PutTag;

namespace avi {

uint64_t FrameBytes(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const uint64_t stride = (uint64_t(uint32_t(width)) * 3 + 3) & ~uint64_t{3};
    return stride * uint32_t(height);
}

void BuildHeader(uint8_t* out, int32_t width, int32_t height, uint32_t frameBytes, uint32_t framesPerSecond) {
    const uint32_t fps = std::max<uint32_t>(framesPerSecond, 1);
    const uint32_t chunk = frameBytes + kChunkHeaderSize;
    std::memset(out, 0, kHeaderSize);

    PutTag(out + 0, "RIFF");  // size at 4 patched
    PutTag(out + 8, "AVI ");
    PutTag(out + 12, "LIST");
    Put32(out + 16, 200);  // 4 + (8 + 56) + (8 + 124)
    PutTag(out + 20, "hdrl");

    // avih: main header.
    PutTag(out + 24, "avih");
    Put32(out + 28, 56);
    Put32(out + 32, 1000000 / fps);  // microseconds per frame, patched
    Put32(out + 36, chunk * chunk);  // maximum bytes per second, as stored files have it (wraps)
    Put32(out + kFlagsOffset, kHasIndexFlag | kCaptureFileFlag);
    Put32(out + 56, 1);      // streams
    Put32(out + 60, chunk);  // suggested buffer size
    Put32(out + 64, static_cast<uint32_t>(width));
    Put32(out + 68, static_cast<uint32_t>(height));

    PutTag(out + 88, "LIST");
    Put32(out + 92, 124);  // 4 + (8 + 64) + (8 + 40)
    PutTag(out + 96, "strl");

    // strh: one uncompressed video stream.
    PutTag(out + 100, "strh");
    Put32(out + 104, 64);
    PutTag(out + 108, "vids");
    PutTag(out + 112, "DIB ");
    Put32(out + 128, kStreamRate / fps);  // scale, patched
    Put32(out + 132, kStreamRate);
    Put32(out + 144, chunk);  // suggested buffer size

    // strf: the frames' BITMAPINFOHEADER, 24-bit bottom-up BI_RGB.
    PutTag(out + 172, "strf");
    Put32(out + 176, 40);
    Put32(out + 180, 40);
    Put32(out + 184, static_cast<uint32_t>(width));
    Put32(out + 188, static_cast<uint32_t>(height));
    Put16(out + 192, 1);
    Put16(out + 194, 24);

    PutTag(out + 220, "LIST");  // movi size at 224 patched
    PutTag(out + 228, "movi");
}

void BuildChunkHeader(uint8_t* out, const char (&tag)[5], uint32_t size) {
    PutTag(out, tag);
    Put32(out + 4, size);
}

void BuildIndexEntry(uint8_t* out, uint32_t offset, uint32_t frameBytes) {
    PutTag(out, "00db");
    Put32(out + 4, kKeyFrameFlag);
    Put32(out + 8, offset);
    Put32(out + 12, frameBytes);
}

bool FrameFits(uint64_t riffSize, uint32_t frameCount, uint32_t frameBytes, uint64_t riffLimit) {
    const uint64_t after = riffSize + kChunkHeaderSize + frameBytes + kChunkHeaderSize +
                           uint64_t{kIndexEntrySize} * (uint64_t{frameCount} + 1);
    return after <= std::min(riffLimit, kMaxRiffSize);
}

uint32_t MeasuredRate(uint32_t frames, uint32_t elapsedMs) {
    const uint64_t elapsed = std::max<uint32_t>(elapsedMs, 1);
    const uint64_t rate = uint64_t{frames} * 100000 / elapsed;
    return static_cast<uint32_t>(std::clamp<uint64_t>(rate, 1, kMaxMeasuredRate));
}

std::array<Patch, 6> FinalPatches(uint32_t riffSize, uint32_t moviSize, uint32_t frameCount, uint32_t rate) {
    const uint32_t r = std::max<uint32_t>(rate, 1);
    return {{{kRiffSizeOffset, riffSize},
             {kMoviSizeOffset, moviSize},
             {kTotalFramesOffset, frameCount},
             {kLengthOffset, frameCount},
             {kMicrosPerFrameOffset, 100000000 / r},
             {kScaleOffset, 1000000000 / r}}};
}

}  // namespace avi
