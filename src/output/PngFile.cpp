// PNG still images through libpng. Everything a save needs (the library's
// structures, the row table, the byte-swapped copy, the error frame) belongs
// to the call, so sessions on different threads can save at the same time.
// A library error prints its message, jumps back to the call's error frame
// and takes the one failure path, which frees everything and returns 0.
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include "output/FileName.h"
#include "output/StillImage.h"

extern "C" {
#include <png.h>
}

namespace {

struct PngCall {
    std::jmp_buf jump;
};

// Warnings are not printed: the SDK's only diagnostic line is the error line.
void PngWarning(png_structp, png_const_charp) {}

[[noreturn]] void PngFailed(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message ? message : "");
    std::longjmp(static_cast<PngCall*>(png_get_error_ptr(png))->jump, 1);
}

// Writes the rows into the open file; false after any libpng error. Holds
// nothing that needs a destructor, since an error jumps back into it.
bool Encode(FILE* file, png_bytep* rows, int width, int height, int depth, int colorType) {
    PngCall call;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &call, PngFailed, PngWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(call.jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // blue, green, red(, fourth) in memory; red, green, blue(, alpha) in the file
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int WritePngFile(const char* fileName, const uint8_t* pixels, int width, int height, int bitCount) {
    if (fileName == nullptr || pixels == nullptr || width <= 0 || height <= 0) return 0;
    int colorType;
    switch (bitCount) {
        case 8:
        case 16:
            colorType = PNG_COLOR_TYPE_GRAY;
            break;
        case 24:
        case 48:
            colorType = PNG_COLOR_TYPE_RGB;
            break;
        case 32:
        case 64:
            colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            break;
        default:
            return 0;
    }
    const bool wide = bitCount == 16 || bitCount == 48 || bitCount == 64;
    const size_t stride = (static_cast<size_t>(width) * (bitCount / 8) + 3) & ~size_t{3};
    const size_t bytes = stride * static_cast<size_t>(height);

    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[static_cast<size_t>(height)]);
    if (!rows) return 0;
    // PNG stores 16-bit samples big-endian: a copy with the two bytes of every
    // sample exchanged.
    std::unique_ptr<uint8_t[]> swapped;
    const uint8_t* base = pixels;
    if (wide) {
        swapped.reset(new (std::nothrow) uint8_t[bytes]);
        if (!swapped) return 0;
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            swapped[i] = pixels[i + 1];
            swapped[i + 1] = pixels[i];
        }
        base = swapped.get();
    }
    for (int i = 0; i < height; ++i) rows[i] = const_cast<png_bytep>(base + static_cast<size_t>(i) * stride);

    FILE* file = OpenForWriting(fileName);
    if (file == nullptr) return 0;
    const bool encoded = Encode(file, rows.get(), width, height, wide ? 16 : 8, colorType);
    const bool closed = std::fclose(file) == 0;
    return encoded && closed ? 1 : 0;
}
