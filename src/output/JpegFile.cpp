// JPEG still images through libjpeg. The library's standard error handling
// ends the whole process on an encoder error; here an error returns to the
// writer instead, which destroys the encoder, closes the file and returns 0.
// The library's messages are not printed: the SDK reports through its results.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/DibBuffer.h"
#include "output/FileName.h"
#include "output/StillImage.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

struct JpegErrors {
    jpeg_error_mgr standard;  // first: libjpeg sees only this part
    std::jmp_buf jump;
};

[[noreturn]] void ReturnToWriter(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void KeepQuiet(j_common_ptr) {}

// Encodes the picture into the open file; false after any libjpeg error.
// Holds nothing that needs a destructor, since an error jumps back into it.
bool Encode(FILE* file, const DibBuffer& image, int components, int quality, bool progressive, uint8_t* row) {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    std::memset(&cinfo, 0, sizeof(cinfo));  // destroying before creation is then harmless
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = ReturnToWriter;
    errors.standard.output_message = KeepQuiet;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);

    // Rows are stored bottom-up: the last memory row is the top of the JPEG.
    const size_t width = static_cast<size_t>(image.width);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src =
            image.bits + static_cast<size_t>(image.height - 1 - static_cast<int>(cinfo.next_scanline)) * image.stride;
        if (components == 1) {
            std::memcpy(row, src, width);
        } else {
            for (size_t x = 0; x < width; ++x, src += 3) {  // blue, green, red -> red, green, blue
                row[3 * x + 0] = src[2];
                row[3 * x + 1] = src[1];
                row[3 * x + 2] = src[0];
            }
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);  // flushes the file; a failed write lands in the error path
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

int WriteJpegFile(const char* fileName, const DibBuffer* image, int quality, int progressive) {
    if (fileName == nullptr || image == nullptr || image->bits == nullptr) return 0;
    const int components = image->bitCount == 8 ? 1 : image->bitCount == 24 ? 3 : 0;
    if (components == 0 || image->width <= 0 || image->height <= 0) return 0;
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(image->width) * components);
    } catch (...) {
        return 0;
    }
    FILE* file = OpenForWriting(fileName);
    if (file == nullptr) return 0;
    const bool encoded = Encode(file, *image, components, quality, progressive != 0, row.data());
    const bool closed = std::fclose(file) == 0;
    return encoded && closed ? 1 : 0;
}
