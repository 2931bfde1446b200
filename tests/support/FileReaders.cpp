#include "FileReaders.h"

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
}

namespace filetest {

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "vidlyn_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

std::string Utf8(const std::wstring& path) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? size_t(n) : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::wstring Wide(const std::string& path) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? size_t(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = _wfopen(Wide(path).c_str(), L"rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void Remove(const std::string& path) {
    SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Wide(path).c_str());
}

namespace {

struct JpegErrors {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};
[[noreturn]] void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1); }

bool DecodeJpeg(FILE* f, Picture& p) {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = JpegFail;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    p.progressive = cinfo.progressive_mode;
    jpeg_start_decompress(&cinfo);
    p.width = int(cinfo.output_width);
    p.height = int(cinfo.output_height);
    p.samples = cinfo.output_components;
    p.depth = 8;
    p.values.resize(size_t(p.width) * p.height * p.samples);
    std::vector<uint8_t> row(size_t(p.width) * p.samples);
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t y = cinfo.output_scanline;
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (size_t i = 0; i < row.size(); ++i) p.values[y * row.size() + i] = row[i];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct PngErrors {
    std::jmp_buf jump;
};
[[noreturn]] void PngFail(png_structp png, png_const_charp) {
    std::longjmp(static_cast<PngErrors*>(png_get_error_ptr(png))->jump, 1);
}

bool DecodePng(FILE* f, Picture& p, std::vector<uint8_t>& bytes, std::vector<png_bytep>& rows) {
    PngErrors errors;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, PngFail, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(errors.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    p.width = int(png_get_image_width(png, info));
    p.height = int(png_get_image_height(png, info));
    p.depth = png_get_bit_depth(png, info);
    p.pngColorType = png_get_color_type(png, info);
    p.samples = png_get_channels(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    bytes.resize(rowBytes * p.height);
    rows.resize(p.height);
    for (int y = 0; y < p.height; ++y) rows[y] = bytes.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

Picture ReadJpeg(const std::string& path) {
    Picture p;
    FILE* f = _wfopen(Wide(path).c_str(), L"rb");
    if (!f) return p;
    p.ok = DecodeJpeg(f, p);
    std::fclose(f);
    return p;
}

Picture ReadPng(const std::string& path) {
    Picture p;
    FILE* f = _wfopen(Wide(path).c_str(), L"rb");
    if (!f) return p;
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> rows;
    p.ok = DecodePng(f, p, bytes, rows);
    std::fclose(f);
    if (!p.ok) return p;
    p.values.resize(size_t(p.width) * p.height * p.samples);
    const size_t n = p.values.size();
    for (size_t i = 0; i < n; ++i)  // PNG samples are big-endian
        p.values[i] = p.depth == 16 ? uint32_t(bytes[2 * i] << 8 | bytes[2 * i + 1]) : bytes[i];
    return p;
}

Picture ReadTiff(const std::string& path) {
    Picture p;
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpenW(Wide(path).c_str(), "r");
    if (!tif) return p;
    uint32_t w = 0, h = 0;
    uint16_t bps = 0, spp = 0, photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    p.width = int(w), p.height = int(h), p.depth = bps, p.samples = spp, p.photometric = photometric;
    p.bigTiff = TIFFIsBigTIFF(tif);
    p.values.resize(size_t(w) * h * spp);
    std::vector<uint8_t> row(TIFFScanlineSize(tif));
    p.ok = true;
    for (uint32_t y = 0; y < h && p.ok; ++y) {
        p.ok = TIFFReadScanline(tif, row.data(), y, 0) == 1;
        for (size_t i = 0; i < size_t(w) * spp; ++i)
            p.values[y * size_t(w) * spp + i] = bps == 16 ? uint32_t(row[2 * i] | row[2 * i + 1] << 8) : row[i];
    }
    TIFFClose(tif);
    return p;
}

AviFile ReadAvi(const std::string& path) {
    AviFile a;
    a.bytes = ReadBytes(path);
    const std::vector<uint8_t>& b = a.bytes;
    auto fail = [&](const std::string& why) {
        a.error = why;
        return a;
    };
    if (b.size() < 12 || Tag(b, 0) != "RIFF" || Tag(b, 8) != "AVI ") return fail("no RIFF AVI header");
    a.riffSize = U32(b, 4);
    if (uint64_t(a.riffSize) + 8 != b.size()) return fail("RIFF size is not the file length - 8");
    // Top-level chunks and lists after "AVI ".
    for (size_t at = 12; at < b.size();) {
        if (at + 8 > b.size()) return fail("truncated chunk header");
        const std::string tag = Tag(b, at);
        const uint32_t size = U32(b, at + 4);
        const size_t end = at + 8 + size;
        if (end > b.size()) return fail("chunk " + tag + " runs past the end");
        if (tag == "LIST" && Tag(b, at + 8) == "movi") {
            a.moviSize = size;
            a.moviTag = uint32_t(at + 8);
            for (size_t c = at + 12; c < end;) {
                if (c + 8 > end) return fail("truncated movi chunk");
                const uint32_t s = U32(b, c + 4);
                if (Tag(b, c) == "00db") a.frames.push_back({uint32_t(c), s});
                c += 8 + s + (s & 1);
                if (c > end) return fail("movi chunk runs past its list");
            }
        } else if (tag == "idx1") {
            a.hasIndex = true;
            if (size % 16) return fail("idx1 size is not a multiple of 16");
            for (size_t e = at + 8; e < end; e += 16)
                a.index.push_back({Tag(b, e), U32(b, e + 4), U32(b, e + 8), U32(b, e + 12)});
        }
        at = end + (size & 1);
    }
    a.ok = true;
    return a;
}

}  // namespace filetest
