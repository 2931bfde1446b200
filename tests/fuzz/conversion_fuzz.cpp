// The clipping and conversion entry points with arbitrary rectangles and
// geometries: a same-size transfer clipped by ClipTransfer (as every
// DibBuffer::Convert runs it), the nearest-neighbour stretch kernels of the
// preview (with any rectangles GDI can express), and the crop of
// a camera frame into the session's buffer. Buffers are exactly their size,
// so that the sanitizers see any access outside them; every result is checked
// against a plain model of what the transfer means.
#include <algorithm>

#include "FuzzInput.h"
#include "pixel/core/PixelTypes.h"
#include "pixel/output/OutputKernels.h"
#include "pixel/placement/PlacementKernels.h"

namespace {

constexpr uint8_t kUntouched = 0xEE;

// 24-bit identity of a source pixel: never kUntouched's pattern (ids start at 1).
uint32_t PixelId(int x, int y) { return 1u + static_cast<uint32_t>(y) * 64u + static_cast<uint32_t>(x); }
uint32_t Id24(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16; }

PixRect AnyRect(fuzz::Input& in, int w, int h) {
    return PixRect{in.Around(w), in.Around(h), in.Around(w), in.Around(h)};
}

// ClipTransfer, then the copy over what it left: every destination pixel
// holds its partner source pixel exactly when that pixel lies inside the
// source rectangle and both pictures, and nothing else is written.
void ClippedTransfer(fuzz::Input& in) {
    const int sw = in.Range(0, 24), sh = in.Range(0, 24), dw = in.Range(0, 24), dh = in.Range(0, 24);
    const PixRect asked = AnyRect(in, sw, sh);
    const int askedX = in.Around(dw), askedY = in.Around(dh);
    fuzz::Picture src(sw, sh, 4, in.Range(0, 3) * 4), dst(dw, dh, 4, in.Range(0, 3) * 4);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            uint8_t* p = src.bits() + static_cast<size_t>(sh - 1 - y) * src.stride + x * 4;  // bottom-up
            const uint32_t id = PixelId(x, y);
            p[0] = id & 0xFF, p[1] = (id >> 8) & 0xFF, p[2] = (id >> 16) & 0xFF, p[3] = 0;
        }
    std::fill(dst.bytes.begin(), dst.bytes.end(), kUntouched);

    PixRect rect = asked;
    int x = askedX, y = askedY;
    const bool clipped = ClipTransfer(rect, x, y, sw, sh, dw, dh);
    if (clipped) {
        FUZZ_CHECK(rect.left >= 0 && rect.left < rect.right && rect.right <= sw);
        FUZZ_CHECK(rect.top >= 0 && rect.top < rect.bottom && rect.bottom <= sh);
        FUZZ_CHECK(x >= 0 && x + (rect.right - rect.left) <= dw && y >= 0 && y + (rect.bottom - rect.top) <= dh);
        KernelBgrxComplementX(dst.bits(), src.bits(), &rect, x, y, 4, 4, dst.stride, src.stride, 0, 0);
    } else {
        FUZZ_CHECK(rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0 && x == 0 && y == 0);
    }

    int copied = 0;
    for (int dy = 0; dy < dh; ++dy)
        for (int dx = 0; dx < dw; ++dx) {
            const int64_t sx = int64_t{dx} - askedX + asked.left, sy = int64_t{dy} - askedY + asked.top;
            const bool inside = sx >= asked.left && sx < asked.right && sy >= asked.top && sy < asked.bottom &&
                                sx >= 0 && sx < sw && sy >= 0 && sy < sh;
            const uint8_t* p = dst.bits() + static_cast<size_t>(dh - 1 - dy) * dst.stride + dx * 4;
            if (inside) {
                FUZZ_CHECK(Id24(p) == PixelId(static_cast<int>(sx), static_cast<int>(sy)) && p[3] == 0xFF);
                ++copied;
            } else {
                FUZZ_CHECK(p[0] == kUntouched && p[1] == kUntouched && p[2] == kUntouched && p[3] == kUntouched);
            }
        }
    FUZZ_CHECK(clipped == (copied > 0));
    // Row padding stays as it was.
    for (int r = 0; r < dh; ++r)
        for (int b = dw * 4; b < dst.stride; ++b)
            FUZZ_CHECK(dst.bytes[static_cast<size_t>(r) * dst.stride + b] == kUntouched);
}

// The stretch kernels with any rectangles: only pixels of the destination
// rectangle inside the destination picture are written, each with the bytes
// of some source pixel.
void Stretch(fuzz::Input& in) {
    const bool wide = in.Bool();
    const int sw = in.Range(1, 24), sh = in.Range(1, 24), dw = in.Range(1, 24), dh = in.Range(1, 24);
    const int srcBpp = wide ? in.Range(3, 4) : 1, dstBpp = wide ? in.Range(3, 4) : 1;
    fuzz::Picture src(sw, sh, srcBpp, in.Range(0, 5)), dst(dw, dh, dstBpp, in.Range(0, 5));
    // Rectangles in GDI's coordinate space (27 bits): the library stretches whole
    // pictures, and no window rectangle lies outside it.
    const auto gdi = [&](int limit) { return std::clamp(in.Around(limit), -(1 << 27), (1 << 27) - 1); };
    const PixRect e{gdi(dw), gdi(dh), gdi(dw), gdi(dh)}, f{gdi(sw), gdi(sh), gdi(sw), gdi(sh)};
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            uint8_t* p = src.bits() + static_cast<size_t>(y) * src.stride + x * srcBpp;
            const uint32_t id = PixelId(x, y);
            p[0] = id & 0xFF;
            if (wide) p[1] = (id >> 8) & 0xFF, p[2] = (id >> 16) & 0xFF;
        }
    std::fill(dst.bytes.begin(), dst.bytes.end(), kUntouched);
    (wide ? KernelScale24 : KernelScale8)(dst.bits(), src.bits(), &e, &f, dw, dh, sw, sh, static_cast<uint16_t>(dstBpp),
                                          static_cast<uint16_t>(srcBpp), dst.stride, src.stride, 0, 0);
    for (int y = 0; y < dh; ++y)
        for (int b = 0; b < dst.stride; ++b) {
            const int x = b / dstBpp, c = b % dstBpp;
            const bool target = x < dw && c < (wide ? 3 : 1) && int64_t{x} >= e.left && int64_t{x} < e.right &&
                                int64_t{y} >= e.top && int64_t{y} < e.bottom;
            const uint8_t v = dst.bytes[static_cast<size_t>(y) * dst.stride + b];
            if (!target) FUZZ_CHECK(v == kUntouched);
        }
    if (!wide) return;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const uint8_t* p = dst.bits() + static_cast<size_t>(y) * dst.stride + x * dstBpp;
            if (x < e.left || x >= e.right || y < e.top || y >= e.bottom) continue;
            const uint32_t id = Id24(p);
            FUZZ_CHECK(id >= 1 && (id - 1) % 64 < static_cast<uint32_t>(sw) &&
                       (id - 1) / 64 < static_cast<uint32_t>(sh));
        }
}

// The crop of a delivered frame into a buffer of any size and stride, also in
// place: inside pixels copied, outside ones zero, nothing read or written
// beyond either buffer, and "complete" only when the whole area was there.
void Crop(fuzz::Input& in) {
    const int bpp = in.Range(1, 2);
    const int frameW = in.Around(12), frameH = in.Around(12);
    const int startX = in.Around(6), startY = in.Around(6), width = in.Around(12), height = in.Around(12);
    const size_t srcSize = static_cast<size_t>(in.Range(0, 600));
    const size_t dstSize = static_cast<size_t>(in.Range(0, 600));
    const int dstStride = in.Around(24 * bpp);
    std::vector<uint8_t> src(srcSize), dst(dstSize, kUntouched);
    in.Fill(src.data(), src.size());
    const bool complete = CropFrame(dst.data(), dst.size(), dstStride, src.data(), src.size(), frameW, frameH, startX,
                                    startY, width, height, bpp);
    if (width <= 0 || height <= 0 || dstStride < int64_t{width} * bpp || dstSize < size_t(width) * bpp) {
        FUZZ_CHECK(!complete);
        FUZZ_CHECK(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == kUntouched; }));
        return;
    }
    const int64_t rowBytes = int64_t{width} * bpp;
    const int64_t frameRowBytes = int64_t{std::max(frameW, 0)} * bpp;
    bool whole = startX >= 0 && startY >= 0 && int64_t{startX} + width <= frameW &&
                 int64_t{startY} + height <= frameH &&
                 frameRowBytes * std::max(frameH, 0) <= static_cast<int64_t>(srcSize);
    for (int64_t r = 0; r < height; ++r) {
        const int64_t at = r * dstStride;
        if (at + rowBytes > static_cast<int64_t>(dstSize)) {
            whole = false;
            break;
        }
        for (int64_t b = 0; b < rowBytes; ++b) {
            const int64_t fx = startX + b / bpp, fy = startY + r;
            const int64_t from = fy * frameRowBytes + fx * bpp + b % bpp;
            const bool inside = fx >= 0 && fx < frameW && fy >= 0 && fy < frameH &&
                                (fy + 1) * frameRowBytes <= static_cast<int64_t>(srcSize);
            FUZZ_CHECK(dst[static_cast<size_t>(at + b)] == (inside ? src[static_cast<size_t>(from)] : 0));
        }
    }
    FUZZ_CHECK(complete == whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    switch (in.Take<uint8_t>() % 3) {
        case 0:
            ClippedTransfer(in);
            break;
        case 1:
            Stretch(in);
            break;
        default:
            Crop(in);
            break;
    }
    return 0;
}
