// Still image files, read back with readers of their own (BMP and raw by
// their byte layout, JPEG, PNG and TIFF by the libraries' readers): sizes,
// sample formats, row order (memory row 0 on top) and pixel values, exact for
// the lossless formats. Then what a failure must leave behind: no file for an
// unknown format, the old file for one that cannot be opened, nothing allocated and a
// live process after an encoder error.
#include <gtest/gtest.h>
#include <io.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "FileReaders.h"
#include "output/DibBuffer.h"
#include "output/StillImage.h"

extern "C" {
#include <png.h>
#include <tiffio.h>
}

using namespace filetest;

namespace {

constexpr int kW = 67;  // odd: every depth pads its rows
constexpr int kH = 45;
constexpr int kBitCounts[] = {8, 16, 24, 32, 48, 64};

// A smooth picture whose rows all differ: value of sample c at (x, y), 8-bit
// range; 16-bit samples carry it as 10 significant bits.
int Value8(int x, int y, int c) { return 20 + 2 * x + y + 10 * c; }
int Value10(int x, int y, int c) { return 4 * Value8(x, y, c) + (x + y) % 4; }

// A buffer of `bits` holding the picture in memory order (row 0 on top),
// blue first; the fourth byte or sample of 32- and 64-bit pixels is 0, as
// the frame conversion leaves it.
void Fill(DibBuffer& b, int bits, int w = kW, int h = kH) {
    ASSERT_EQ(b.Create(w, h, static_cast<uint16_t>(bits)), 1);
    const int samples = bits == 8 || bits == 16 ? 1 : 3;
    const bool wide = bits == 16 || bits >= 48;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = b.bits + static_cast<size_t>(y) * b.stride;
        auto* row16 = reinterpret_cast<uint16_t*>(row);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < samples; ++c) {
                if (wide)
                    row16[x * (bits / 16) + c] = static_cast<uint16_t>(Value10(x, y, c));
                else
                    row[x * (bits / 8) + c] = static_cast<uint8_t>(Value8(x, y, c));
            }
    }
}

// Sample s (in the file's RGB order) that a lossless 16-bit-capable format
// holds for bit count `bits`: 8-bit values as they are, 16-bit gray << 4,
// colour << 6, the fourth sample opaque.
uint32_t Lossless(int bits, int x, int y, int s, bool opaqueFourth) {
    const int c = (bits == 8 || bits == 16) ? 0 : 2 - s;  // blue first in memory
    switch (bits) {
        case 8:
            return Value8(x, y, 0);
        case 16:
            return uint32_t(Value10(x, y, 0)) << 4;
        case 24:
        case 32:
            return s == 3 ? (opaqueFourth ? 255u : 0u) : uint32_t(Value8(x, y, c));
        default:
            return s == 3 ? 65535u : uint32_t(Value10(x, y, c)) << 6;
    }
}

class StillFile : public testing::Test {
protected:
    std::string Path(const std::string& name) {
        paths.push_back(TempPath(name));
        Remove(paths.back());
        return paths.back();
    }
    void TearDown() override {
        for (const auto& p : paths) Remove(p);
    }
    std::vector<std::string> paths;
};

TEST_F(StillFile, BmpStoresRowsBottomUpWithTheBuffersBitCount) {
    for (int bits : kBitCounts) {
        SCOPED_TRACE(bits);
        DibBuffer b;
        Fill(b, bits);
        const std::string path = Path("b.bmp");
        ASSERT_EQ(WriteStillImage(path.c_str(), &b, kStillBmp), 1);
        const std::vector<uint8_t> f = ReadBytes(path);
        const uint32_t offset = bits == 8 ? 1078 : 54;
        ASSERT_EQ(f.size(), offset + size_t(kH) * b.stride);
        EXPECT_EQ(f[0], 'B');
        EXPECT_EQ(f[1], 'M');
        EXPECT_EQ(U32(f, 2), f.size());
        EXPECT_EQ(U32(f, 10), offset);
        EXPECT_EQ(U32(f, 14), 40u);
        EXPECT_EQ(int32_t(U32(f, 18)), kW);
        EXPECT_EQ(int32_t(U32(f, 22)), kH);
        EXPECT_EQ(U16(f, 28), bits);
        EXPECT_EQ(U32(f, 30), 0u);  // BI_RGB
        if (bits == 8) {
            for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(U32(f, 54 + 4 * i), i * 0x010101u);
        }
        for (int k = 0; k < kH; ++k)  // file row k is memory row kH - 1 - k
            ASSERT_EQ(0, memcmp(&f[offset + size_t(k) * b.stride], b.bits + size_t(kH - 1 - k) * b.stride, b.stride))
                << "row " << k;
    }
    DibBuffer gray, wide;
    Fill(gray, 8, 640, 480);
    Fill(wide, 24, 641, 1);
    const std::string a = Path("g.bmp"), c = Path("w.bmp");
    ASSERT_EQ(WriteStillImage(a.c_str(), &gray, kStillBmp), 1);
    ASSERT_EQ(WriteStillImage(c.c_str(), &wide, kStillBmp), 1);
    EXPECT_EQ(ReadBytes(a).size(), 308278u);
    EXPECT_EQ(ReadBytes(c).size(), 54u + 1924u);
}

TEST_F(StillFile, RawIsThePixelMemoryWithItsPadding) {
    DibBuffer b;
    Fill(b, 24, 641, 2);
    const std::string path = Path("r.raw");
    ASSERT_EQ(WriteStillImage(path.c_str(), &b, kStillRaw), 1);
    const std::vector<uint8_t> f = ReadBytes(path);
    ASSERT_EQ(f.size(), 2u * 1924u);
    EXPECT_EQ(0, memcmp(f.data(), b.bits, f.size()));
}

TEST_F(StillFile, PngAndTiffHoldEverySampleExactly) {
    for (int bits : kBitCounts) {
        SCOPED_TRACE(bits);
        DibBuffer b;
        Fill(b, bits);
        const int samples = bits == 8 || bits == 16 ? 1 : bits == 24 || bits == 48 ? 3 : 4;
        const int depth = bits == 16 || bits >= 48 ? 16 : 8;
        const std::string png = Path("p.png"), tif = Path("t.tif");
        ASSERT_EQ(WriteStillImage(png.c_str(), &b, kStillPng), 1);
        ASSERT_EQ(WriteStillImage(tif.c_str(), &b, kStillTiff), 1);

        const Picture p = ReadPng(png);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.pngColorType, samples == 1   ? PNG_COLOR_TYPE_GRAY
                                  : samples == 3 ? PNG_COLOR_TYPE_RGB
                                                 : PNG_COLOR_TYPE_RGB_ALPHA);
        const Picture t = ReadTiff(tif);
        ASSERT_TRUE(t.ok);
        EXPECT_FALSE(t.bigTiff);
        EXPECT_EQ(t.photometric, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        for (const Picture* pic : {&p, &t}) {
            ASSERT_EQ(pic->width, kW);
            ASSERT_EQ(pic->height, kH);
            ASSERT_EQ(pic->samples, samples);
            ASSERT_EQ(pic->depth, depth);
            const bool opaque = pic == &p;  // the TIFF keeps the fourth byte as the buffer has it
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    for (int s = 0; s < samples; ++s)
                        ASSERT_EQ(pic->at(x, y, s), Lossless(bits, x, y, s, opaque))
                            << (opaque ? "png" : "tiff") << " x " << x << " y " << y << " s " << s;
        }
    }
}

double Psnr(const Picture& p, int bits) {
    double sum = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int s = 0; s < p.samples; ++s) {
                const int c = p.samples == 1 ? 0 : 2 - s;
                const int want = bits <= 32 ? Value8(x, y, c) : Value10(x, y, c) >> 2;
                const int wantGray = bits == 16 ? Value10(x, y, 0) >> 2 : want;
                const double e = double(p.at(x, y, s)) - (p.samples == 1 ? wantGray : want);
                sum += e * e;
            }
    const double mse = sum / (double(kW) * kH * p.samples);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST_F(StillFile, JpegIsProgressiveGrayOrRgbAtItsQuality) {
    for (int bits : kBitCounts) {
        SCOPED_TRACE(bits);
        DibBuffer b;
        Fill(b, bits);
        const std::string path = Path("j.jpg");
        ASSERT_EQ(WriteStillImage(path.c_str(), &b, kStillJpeg100), 1);
        const Picture p = ReadJpeg(path);
        ASSERT_TRUE(p.ok);
        EXPECT_TRUE(p.progressive);
        ASSERT_EQ(p.width, kW);
        ASSERT_EQ(p.height, kH);
        ASSERT_EQ(p.samples, bits <= 16 ? 1 : 3);
        EXPECT_GT(Psnr(p, bits), 45.0);
    }
    // Lower quality: smaller files, further from the picture.
    DibBuffer b;
    Fill(b, 24);
    double lastPsnr = 100;
    size_t lastSize = SIZE_MAX;
    for (int format : {kStillJpeg100, kStillJpeg70, kStillJpeg20}) {
        const std::string path = Path("q.jpg");
        ASSERT_EQ(WriteStillImage(path.c_str(), &b, format), 1);
        const Picture p = ReadJpeg(path);
        ASSERT_TRUE(p.ok);
        const double psnr = Psnr(p, 24);
        EXPECT_LT(psnr, lastPsnr) << format;
        EXPECT_LT(ReadBytes(path).size(), lastSize) << format;
        EXPECT_GT(psnr, 25.0) << format;
        lastPsnr = psnr, lastSize = ReadBytes(path).size();
    }
}

TEST_F(StillFile, UnknownFormatsAndEmptyBuffersCreateNoFile) {
    DibBuffer b, empty;
    Fill(b, 24);
    const std::string path = Path("none.bin");
    for (int format : {7, -1, 1000}) {
        EXPECT_EQ(WriteStillImage(path.c_str(), &b, format), 0);
        EXPECT_FALSE(Exists(path));
    }
    for (int format = 0; format <= 6; ++format) {
        EXPECT_EQ(WriteStillImage(path.c_str(), &empty, format), 0);
        EXPECT_EQ(WriteStillImage(path.c_str(), nullptr, format), 0);
        EXPECT_FALSE(Exists(path));
    }
}

TEST_F(StillFile, ExistingFilesAreTruncatedLockedOnesRefused) {
    DibBuffer b;
    Fill(b, 24);
    const std::vector<char> big(1 << 20, 'x');
    for (int format = 0; format <= 6; ++format) {
        SCOPED_TRACE(format);
        const std::string path = Path("old.bin");
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(big.data(), 1, big.size(), f);
        fclose(f);
        ASSERT_EQ(WriteStillImage(path.c_str(), &b, format), 1);
        const size_t size = ReadBytes(path).size();
        EXPECT_LT(size, big.size());
        if (format == kStillRaw) {
            EXPECT_EQ(size, size_t(kH) * b.stride);
        }

        // A file that cannot be opened for writing (here: held by another
        // program without sharing; a read-only file behaves alike, but wine
        // grants root write access to those) fails and stays as it was.
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(WriteStillImage(path.c_str(), &b, format), 0);
        CloseHandle(held);
        EXPECT_EQ(ReadBytes(path).size(), size);
        Remove(path);
    }
    // A folder that does not exist.
    EXPECT_EQ(WriteStillImage(Path("no\\such\\folder\\x.bmp").c_str(), &b, kStillBmp), 0);
}

// Bytes in use on every heap of the process.
size_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    size_t busy = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY e{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return busy;
}

// Captures what the process writes to its standard error stream.
class StderrCapture {
public:
    explicit StderrCapture(const std::string& path) : m_path(path) {
        fflush(stderr);
        m_saved = _dup(2);
        FILE* f = fopen(path.c_str(), "wb");
        _dup2(_fileno(f), 2);
        fclose(f);
    }
    std::string Finish() {
        fflush(stderr);
        _dup2(m_saved, 2);
        _close(m_saved);
        const std::vector<uint8_t> b = ReadBytes(m_path);
        return std::string(b.begin(), b.end());
    }

private:
    std::string m_path;
    int m_saved;
};

TEST_F(StillFile, EncoderErrorsReturnZeroAndLeaveNothingAllocated) {
    // Wider than JPEG can hold, wider than libpng accepts by default.
    DibBuffer wide;
    ASSERT_EQ(wide.Create(70000, 1, 8), 1);
    std::vector<uint8_t> pixels(2000000 * 8);
    const std::string jpg = Path("e.jpg"), png = Path("e.png");

    StderrCapture capture(Path("stderr.txt"));
    const int jpegResult = WriteStillImage(jpg.c_str(), &wide, kStillJpeg100);
    const int pngResult = WritePngFile(png.c_str(), pixels.data(), 2000000, 1, 8);
    const std::string printed = capture.Finish();
    EXPECT_EQ(jpegResult, 0);
    EXPECT_EQ(pngResult, 0);
    EXPECT_EQ(printed.rfind("libpng error: ", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    // The files were closed: they can be deleted.
    EXPECT_TRUE(DeleteFileA(jpg.c_str()));
    EXPECT_TRUE(DeleteFileA(png.c_str()));

    // Repeated failures do not accumulate memory (the encoders' state alone
    // is several kilobytes per call).
    StderrCapture quiet(Path("stderr2.txt"));
    const size_t before = HeapBytesInUse();
    for (int i = 0; i < 50; ++i) {
        WriteStillImage(jpg.c_str(), &wide, kStillJpeg20);
        WritePngFile(png.c_str(), pixels.data(), 2000000, 1, 32);
    }
    const size_t after = HeapBytesInUse();
    quiet.Finish();
    EXPECT_LT(after, before + 16384) << before << " -> " << after;
}

TEST_F(StillFile, TwoThreadsSavePngAtOnce) {
    DibBuffer a, b;
    Fill(a, 48);
    Fill(b, 24);
    const std::string pa = Path("ta.png"), pb = Path("tb.png");
    int failures = 0;
    auto run = [&](DibBuffer* buffer, const std::string* path, int* fails) {
        for (int i = 0; i < 40; ++i)
            if (WriteStillImage(path->c_str(), buffer, kStillPng) != 1) ++*fails;
    };
    int failsA = 0, failsB = 0;
    std::thread ta(run, &a, &pa, &failsA), tb(run, &b, &pb, &failsB);
    ta.join();
    tb.join();
    failures = failsA + failsB;
    EXPECT_EQ(failures, 0);
    const Picture ra = ReadPng(pa), rb = ReadPng(pb);
    ASSERT_TRUE(ra.ok && rb.ok);
    ASSERT_EQ(ra.samples, 3);
    ASSERT_EQ(rb.samples, 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int s = 0; s < 3; ++s) {
                ASSERT_EQ(ra.at(x, y, s), Lossless(48, x, y, s, true));
                ASSERT_EQ(rb.at(x, y, s), Lossless(24, x, y, s, true));
            }
}

}  // namespace
