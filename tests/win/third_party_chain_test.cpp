// The image libraries as the DLL links them (static libjpeg-turbo, libpng, libtiff,
// zlib), exercised under wine the way the still image writers use them: a progressive
// JPEG, a 16-bit RGB PNG written from BGR rows (png_set_bgr), an uncompressed classic
// TIFF. Each file is read back with the same libraries and its pixels are compared.
#include <gtest/gtest.h>
#include <windows.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
}

namespace {

constexpr int kWidth = 67;  // odd: rows need padding in every layout
constexpr int kHeight = 45;

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, dir);
    EXPECT_GT(n, 0u);
    return std::string(dir) + "vidlyn_chain_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

// A smooth colour picture without edges, which JPEG keeps close.
uint8_t Smooth8(int x, int y, int c) {
    const int v[3] = {30 + 2 * x, 40 + 3 * y, 200 - x - y};
    return static_cast<uint8_t>(v[c]);
}
// Pictures with a distinct value per pixel and sample, for the lossless formats.
uint8_t Sample8(int x, int y, int c) { return static_cast<uint8_t>((x * 3 + y * 2 + c * 70) & 0xFF); }
uint16_t Sample16(int x, int y, int c) { return static_cast<uint16_t>((x * 977 + y * 131 + c * 20011) & 0xFFFF); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

// ---- JPEG ----------------------------------------------------------------------------

bool WriteProgressiveJpeg(const std::string& path, const std::vector<uint8_t>& rgb) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[cinfo.next_scanline * kWidth * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
    return true;
}

struct JpegRead {
    bool ok = false;
    bool progressive = false;
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> pixels;
};

JpegRead ReadJpeg(const std::string& path) {
    JpegRead r;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return r;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    r.progressive = jpeg_has_multiple_scans(&cinfo) && cinfo.progressive_mode;
    jpeg_start_decompress(&cinfo);
    r.width = static_cast<int>(cinfo.output_width);
    r.height = static_cast<int>(cinfo.output_height);
    r.components = cinfo.output_components;
    r.pixels.resize(static_cast<size_t>(r.width) * r.height * r.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &r.pixels[cinfo.output_scanline * r.width * r.components];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    r.ok = true;
    return r;
}

TEST(ThirdPartyChain, ProgressiveJpegRoundTrip) {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) rgb[(y * kWidth + x) * 3 + c] = Smooth8(x, y, c);
    const std::string path = TempPath("progressive.jpg");
    ASSERT_TRUE(WriteProgressiveJpeg(path, rgb));

    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);  // SOI
    bool sof2 = false;          // progressive DCT frame marker
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) sof2 = true;
    EXPECT_TRUE(sof2);

    JpegRead r = ReadJpeg(path);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.progressive);
    ASSERT_EQ(r.width, kWidth);
    ASSERT_EQ(r.height, kHeight);
    ASSERT_EQ(r.components, 3);
    long long sumErr = 0;
    int maxErr = 0;
    for (size_t i = 0; i < rgb.size(); ++i) {
        int e = std::abs(int(r.pixels[i]) - int(rgb[i]));
        sumErr += e;
        if (e > maxErr) maxErr = e;
    }
    // Lossy but close: quality 95 on a picture without edges.
    EXPECT_LT(double(sumErr) / double(rgb.size()), 2.0);
    EXPECT_LT(maxErr, 16);
    std::remove(path.c_str());
}

// ---- PNG -----------------------------------------------------------------------------

struct PngError {
    std::jmp_buf jump;
    char message[256];
};

void PngErrorFn(png_structp png, png_const_charp msg) {
    PngError* e = static_cast<PngError*>(png_get_error_ptr(png));
    std::snprintf(e->message, sizeof e->message, "%s", msg);
    std::longjmp(e->jump, 1);
}
void PngWarningFn(png_structp, png_const_charp) {}

// Rows hold 16-bit samples in PNG byte order (big-endian), in B, G, R order.
bool WritePng16Bgr(const std::string& path, std::vector<png_bytep>& rows, PngError& err) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(err.jump)) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, kWidth, kHeight, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

struct PngRead {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    std::vector<uint8_t> pixels;  // as stored: R, G, B, 16-bit big-endian
};

bool ReadPngInto(const std::string& path, PngRead& r, std::vector<png_bytep>& rows, PngError& err) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, PngErrorFn, PngWarningFn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(err.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    int interlace, compression, filter;
    png_get_IHDR(png, info, &r.width, &r.height, &r.bitDepth, &r.colorType, &interlace, &compression, &filter);
    if (r.width == kWidth && r.height == kHeight && r.bitDepth == 16 && r.colorType == PNG_COLOR_TYPE_RGB) {
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        r.ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

TEST(ThirdPartyChain, Png16BitBgrRoundTrip) {
    const size_t stride = kWidth * 6;
    std::vector<uint8_t> bgr(stride * kHeight);
    std::vector<png_bytep> rows(kHeight);
    for (int y = 0; y < kHeight; ++y) {
        rows[y] = &bgr[y * stride];
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {  // memory order B, G, R: sample c is colour 2 - c
                uint16_t v = Sample16(x, y, 2 - c);
                bgr[y * stride + x * 6 + c * 2] = uint8_t(v >> 8);
                bgr[y * stride + x * 6 + c * 2 + 1] = uint8_t(v & 0xFF);
            }
    }
    const std::string path = TempPath("bgr16.png");
    PngError err{};
    ASSERT_TRUE(WritePng16Bgr(path, rows, err)) << err.message;

    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(0, png_sig_cmp(bytes.data(), 0, 8));

    PngRead r;
    r.pixels.resize(stride * kHeight);
    for (int y = 0; y < kHeight; ++y) rows[y] = &r.pixels[y * stride];
    ASSERT_TRUE(ReadPngInto(path, r, rows, err)) << err.message;
    ASSERT_TRUE(r.ok) << r.width << "x" << r.height << " depth " << r.bitDepth << " type " << r.colorType;
    // Stored in R, G, B order: exactly the written samples with the channels swapped back.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t* p = &r.pixels[y * stride + x * 6 + c * 2];
                uint16_t v = uint16_t((p[0] << 8) | p[1]);
                ASSERT_EQ(v, Sample16(x, y, c)) << "x " << x << " y " << y << " colour " << c;
            }
    std::remove(path.c_str());
}

// ---- TIFF ----------------------------------------------------------------------------

TEST(ThirdPartyChain, UncompressedClassicTiffRoundTrip) {
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) rgb[(y * kWidth + x) * 3 + c] = Sample8(x, y, c) ^ uint8_t(y);
    const std::string path = TempPath("plain.tif");

    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    ASSERT_EQ(TIFFWriteEncodedStrip(tif, 0, rgb.data(), static_cast<tmsize_t>(rgb.size())),
              static_cast<tmsize_t>(rgb.size()));
    TIFFClose(tif);

    // Classic TIFF: little-endian byte order mark and the version 42 (BigTIFF is 43).
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 8u + rgb.size());
    EXPECT_EQ(bytes[0], 'I');
    EXPECT_EQ(bytes[1], 'I');
    EXPECT_EQ(bytes[2], 42);
    EXPECT_EQ(bytes[3], 0);

    tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_FALSE(TIFFIsBigTIFF(tif));
    uint32_t w = 0, h = 0;
    uint16_t bps = 0, spp = 0, compression = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    EXPECT_EQ(w, uint32_t(kWidth));
    EXPECT_EQ(h, uint32_t(kHeight));
    EXPECT_EQ(bps, 8);
    EXPECT_EQ(spp, 3);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    // Row by row: the reader may present one large uncompressed strip as several.
    std::vector<uint8_t> back(rgb.size());
    for (int y = 0; y < kHeight; ++y) EXPECT_EQ(TIFFReadScanline(tif, &back[y * kWidth * 3], y, 0), 1) << y;
    TIFFClose(tif);
    EXPECT_EQ(back, rgb);
    std::remove(path.c_str());
}

}  // namespace
