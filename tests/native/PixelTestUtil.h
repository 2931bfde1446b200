// Helpers of the pixel-core tests: exactly-sized images (so that the
// sanitizers see any access past a buffer), random fill and kernel runs over
// the whole picture as the session runs them.
#pragma once
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "pixel/core/PixelTypes.h"

namespace testutil {

// An image of width x height pixels of bpp bytes. The stride is the row size
// rounded up to 4 bytes as in the library's buffers, unless `tight` asks for
// no padding at all. The allocation holds exactly stride * height bytes.
struct Image {
    int width = 0, height = 0, bpp = 0, stride = 0;
    std::vector<uint8_t> bytes;

    Image(int w, int h, int bytesPerPixel, bool tight = false)
        : width(w),
          height(h),
          bpp(bytesPerPixel),
          stride(tight ? w * bytesPerPixel : (w * bytesPerPixel + 3) & ~3),
          bytes(static_cast<size_t>(stride) * h) {}

    uint8_t* bits() { return bytes.data(); }
    const uint8_t* bits() const { return bytes.data(); }
    uint8_t* at(int x, int y) { return bytes.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bpp; }
    const uint8_t* at(int x, int y) const {
        return bytes.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bpp;
    }
    int get8(int x, int y, int c = 0) const { return at(x, y)[c]; }
    void set8(int x, int y, int v, int c = 0) { at(x, y)[c] = static_cast<uint8_t>(v); }
    int get16(int x, int y, int c = 0) const {
        uint16_t v;
        std::memcpy(&v, at(x, y) + 2 * c, 2);
        return v;
    }
    void set16(int x, int y, int v, int c = 0) {
        const uint16_t s = static_cast<uint16_t>(v);
        std::memcpy(at(x, y) + 2 * c, &s, 2);
    }
    void fill(uint8_t v) { std::memset(bytes.data(), v, bytes.size()); }
};

inline void FillRandom(Image& img, uint32_t seed) {
    std::mt19937 rng(seed);
    for (auto& b : img.bytes) b = static_cast<uint8_t>(rng());
}

// 16-bit samples 0..maxValue in every sample position.
inline void FillRandom16(Image& img, uint32_t seed, int maxValue) {
    std::mt19937 rng(seed);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            for (int c = 0; c < img.bpp / 2; ++c) img.set16(x, y, static_cast<int>(rng() % (maxValue + 1)), c);
}

// Runs a convert kernel over the whole picture: rect {0, 0, w, h}, column 0, row 0.
inline int RunWhole(ConvertKernel kernel, Image& dst, const Image& src, intptr_t word1 = 0, intptr_t word2 = 0) {
    const PixRect rect{0, 0, src.width, src.height};
    return kernel(dst.bits(), src.bits(), &rect, 0, 0, static_cast<uint16_t>(dst.bpp), static_cast<uint16_t>(src.bpp),
                  dst.stride, src.stride, word1, word2);
}

// In place over one image.
inline int RunInPlace(ConvertKernel kernel, Image& img, intptr_t word1 = 0, intptr_t word2 = 0) {
    const PixRect rect{0, 0, img.width, img.height};
    return kernel(img.bits(), img.bits(), &rect, 0, 0, static_cast<uint16_t>(img.bpp), static_cast<uint16_t>(img.bpp),
                  img.stride, img.stride, word1, word2);
}

// The sizes every kernel runs with: every border and tail path, tiny pictures included.
struct Size {
    int w, h;
};
inline std::vector<Size> OddSizes() {
    std::vector<Size> sizes;
    for (int w = 1; w <= 5; ++w)
        for (int h = 1; h <= 5; ++h) sizes.push_back({w, h});
    sizes.push_back({4897, 3});
    sizes.push_back({3, 4897 / 64});
    sizes.push_back({17, 9});
    return sizes;
}

}  // namespace testutil
