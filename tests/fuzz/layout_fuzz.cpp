// The AVI and BMP byte layouts with any geometry, rate and recording length:
// a small AVI file is put together from the layout's pieces as the recorder
// does and read back by a RIFF walk of its own (sizes, the stream format, the
// index pointing at every frame chunk); the size checks are compared with
// 128-bit arithmetic; the BMP headers are read back at the format's offsets.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "pixel/layout/AviLayout.h"
#include "pixel/layout/BmpLayout.h"

namespace {

uint32_t U32(const std::vector<uint8_t>& f, size_t at) {
    FUZZ_CHECK(at + 4 <= f.size());
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
bool TagAt(const std::vector<uint8_t>& f, size_t at, const char* tag) {
    return at + 4 <= f.size() && std::memcmp(f.data() + at, tag, 4) == 0;
}

void Avi(fuzz::Input& in) {
    const int32_t w = in.Bool() ? in.Range(-2, 40) : in.Take<int32_t>();
    const int32_t h = in.Bool() ? in.Range(-2, 12) : in.Take<int32_t>();
    const uint64_t frameBytes = avi::FrameBytes(w, h);
    if (w <= 0 || h <= 0) {
        FUZZ_CHECK(frameBytes == 0);
    } else {
        FUZZ_CHECK(frameBytes == ((uint64_t(w) * 3 + 3) / 4 * 4) * uint64_t(h));
    }
    // The size check against exact arithmetic, for any state of a recording.
    const uint64_t riff = in.Take<uint32_t>(), limit = in.Take<uint64_t>();
    const uint32_t count = in.Take<uint32_t>(), bytes = in.Take<uint32_t>();
    const unsigned __int128 after =
        (unsigned __int128)riff + 16 + bytes + (unsigned __int128)16 * (uint64_t{count} + 1);
    FUZZ_CHECK(avi::FrameFits(riff, count, bytes, limit) == (after <= std::min<uint64_t>(limit, 0xFFFFFFFFu)));
    const uint32_t frames = in.Take<uint32_t>(), ms = in.Take<uint32_t>();
    const uint32_t rate = avi::MeasuredRate(frames, ms);
    FUZZ_CHECK(rate >= 1 && rate <= avi::kMaxMeasuredRate);
    if (uint64_t{frames} * 100000 / std::max<uint32_t>(ms, 1) <= avi::kMaxMeasuredRate && frames > 0 &&
        uint64_t{frames} * 100000 >= std::max<uint32_t>(ms, 1))
        FUZZ_CHECK(rate == uint64_t{frames} * 100000 / std::max<uint32_t>(ms, 1));

    // A whole file, when the frames are small enough to hold here.
    if (frameBytes == 0 || frameBytes > 4096) return;
    const uint32_t fb = static_cast<uint32_t>(frameBytes);
    const int n = in.Range(0, 5);
    // The recorder finalizes with a measured rate, or 0 when it measured none.
    const uint32_t fps = in.Take<uint32_t>(), finalRate = in.Bool() ? rate : 0;
    std::vector<uint8_t> file(avi::kHeaderSize);
    avi::BuildHeader(file.data(), w, h, fb, fps);
    std::vector<uint8_t> index;
    uint32_t riffSize = avi::kHeaderSize - 8, moviSize = 4;
    for (int i = 0; i < n; ++i) {
        uint8_t chunk[avi::kChunkHeaderSize], entry[avi::kIndexEntrySize];
        avi::BuildChunkHeader(chunk, "00db", fb);
        file.insert(file.end(), chunk, chunk + sizeof(chunk));
        file.resize(file.size() + fb, static_cast<uint8_t>(i));
        avi::BuildIndexEntry(entry, moviSize, fb);
        index.insert(index.end(), entry, entry + sizeof(entry));
        riffSize += avi::kChunkHeaderSize + fb;
        moviSize += avi::kChunkHeaderSize + fb;
    }
    uint8_t chunk[avi::kChunkHeaderSize];
    avi::BuildChunkHeader(chunk, "idx1", static_cast<uint32_t>(index.size()));
    file.insert(file.end(), chunk, chunk + sizeof(chunk));
    file.insert(file.end(), index.begin(), index.end());
    riffSize += avi::kChunkHeaderSize + static_cast<uint32_t>(index.size());
    for (const avi::Patch& p : avi::FinalPatches(riffSize, moviSize, static_cast<uint32_t>(n), finalRate)) {
        FUZZ_CHECK(p.offset + 4 <= avi::kHeaderSize);
        std::memcpy(file.data() + p.offset, &p.value, 4);  // little-endian host
    }

    // The RIFF walk.
    FUZZ_CHECK(TagAt(file, 0, "RIFF") && U32(file, 4) == file.size() - 8 && TagAt(file, 8, "AVI "));
    FUZZ_CHECK(TagAt(file, 12, "LIST") && TagAt(file, 20, "hdrl"));
    const size_t hdrlEnd = 20 + U32(file, 16);
    FUZZ_CHECK(TagAt(file, 24, "avih") && U32(file, 28) == 56);
    FUZZ_CHECK(U32(file, 48) == uint32_t(n) && U32(file, 56) == 1 && U32(file, 64) == uint32_t(w) &&
               U32(file, 68) == uint32_t(h));
    const uint32_t usPerFrame = U32(file, 32);
    FUZZ_CHECK(TagAt(file, 88, "LIST") && TagAt(file, 96, "strl") && 96 + U32(file, 92) == hdrlEnd);
    FUZZ_CHECK(TagAt(file, 100, "strh") && TagAt(file, 108, "vids") && U32(file, 140) == uint32_t(n));
    const uint32_t scale = U32(file, 128), streamRate = U32(file, 132);
    FUZZ_CHECK(scale != 0 && usPerFrame != 0 && streamRate == 10000000);
    FUZZ_CHECK(TagAt(file, 172, "strf") && U32(file, 176) == 40 && U32(file, 180) == 40);
    FUZZ_CHECK(U32(file, 184) == uint32_t(w) && U32(file, 188) == uint32_t(h) && file[194] == 24);
    FUZZ_CHECK(hdrlEnd == 220 && TagAt(file, 220, "LIST") && TagAt(file, 228, "movi"));
    const size_t moviTag = 228, moviEnd = 228 + U32(file, 224);
    FUZZ_CHECK(TagAt(file, moviEnd, "idx1") && U32(file, moviEnd + 4) == 16u * uint32_t(n));
    FUZZ_CHECK(moviEnd + 8 + 16u * n == file.size());
    for (int i = 0; i < n; ++i) {
        const size_t e = moviEnd + 8 + 16u * i;
        FUZZ_CHECK(TagAt(file, e, "00db") && U32(file, e + 4) == 0x10 && U32(file, e + 12) == fb);
        const size_t at = moviTag + U32(file, e + 8);
        FUZZ_CHECK(TagAt(file, at, "00db") && U32(file, at + 4) == fb && at + 8 + fb <= moviEnd);
        FUZZ_CHECK(file[at + 8] == uint8_t(i) && file[at + 8 + fb - 1] == uint8_t(i));
    }
}

void Bmp(fuzz::Input& in) {
    const int32_t w = in.Bool() ? in.Range(-2, 5000) : in.Take<int32_t>();
    const int32_t h = in.Bool() ? in.Range(-2, 5000) : in.Take<int32_t>();
    static const uint16_t kBits[] = {0, 1, 8, 16, 24, 32, 48, 64};
    const uint16_t bits = in.Bool() ? in.Pick(kBits) : in.Take<uint16_t>();
    const int32_t stride =
        in.Bool() ? static_cast<int32_t>((int64_t{w} * bits / 8 + 3) & ~int64_t{3}) : in.Take<int32_t>();
    std::vector<uint8_t> out(kBmpMaxHeadersSize + 1, 0xCD);
    const uint32_t offset = BuildBmpHeaders(out.data(), w, h, stride, bits);
    const uint64_t rows = uint64_t(uint32_t(h)) * uint32_t(stride);
    const bool picture = w > 0 && h > 0 && stride > 0 && bits != 0;
    const uint32_t table = bits <= 8 ? 1024 : 0;
    FUZZ_CHECK(out[kBmpMaxHeadersSize] == 0xCD);
    if (!picture || 54 + table + rows > 0xFFFFFFFFu) {
        FUZZ_CHECK(offset == 0);
        return;
    }
    FUZZ_CHECK(offset == 54 + table && out[0] == 'B' && out[1] == 'M');
    FUZZ_CHECK(U32(out.data() + 2) == 54 + table + rows && U32(out.data() + 6) == 0 && U32(out.data() + 10) == offset);
    FUZZ_CHECK(U32(out.data() + 14) == 40 && int32_t(U32(out.data() + 18)) == w && int32_t(U32(out.data() + 22)) == h);
    FUZZ_CHECK((out[26] | out[27] << 8) == 1 && (out[28] | out[29] << 8) == bits);
    for (uint32_t i = 0; i < table / 4; ++i) FUZZ_CHECK(U32(out.data() + 54 + 4 * i) == (i | i << 8 | i << 16));
    FUZZ_CHECK(out[offset] == 0xCD || offset == kBmpMaxHeadersSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    if (in.Bool())
        Avi(in);
    else
        Bmp(in);
    return 0;
}
