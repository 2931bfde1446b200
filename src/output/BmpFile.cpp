// BMP and raw still images: the buffer's own pixels behind (or without) the
// bitmap headers, written with checked writes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "output/DibBuffer.h"
#include "output/OutputFile.h"
#include "output/StillImage.h"
#include "pixel/layout/BmpLayout.h"

namespace {

// BMP rows go bottom row first; they are gathered in pieces of this size so
// that a large frame takes a few big writes rather than one per row.
constexpr size_t kGatherBytes = size_t{4} << 20;

}  // namespace

int WriteBmpFile(const char* fileName, const DibBuffer* image) {
    if (image == nullptr || image->bits == nullptr) return 0;
    uint8_t headers[kBmpMaxHeadersSize];
    const uint32_t headerSize = BuildBmpHeaders(headers, image->width, image->height, image->stride, image->bitCount);
    if (headerSize == 0) return 0;
    const size_t stride = static_cast<size_t>(image->stride);
    const int rowsPerPiece = static_cast<int>(std::max<size_t>(1, kGatherBytes / stride));
    std::vector<uint8_t> piece;
    try {
        piece.resize(stride * std::min(rowsPerPiece, image->height));
    } catch (...) {
        return 0;
    }

    OutputFile file;
    if (!file.Open(fileName)) return 0;
    if (!file.Write(headers, headerSize)) return 0;
    // Memory row 0 is the top of the picture, so the file starts with the last one.
    for (int row = image->height - 1; row >= 0;) {
        const int rows = std::min(rowsPerPiece, row + 1);
        uint8_t* out = piece.data();
        for (int i = 0; i < rows; ++i, --row, out += stride) {
            std::memcpy(out, image->bits + static_cast<size_t>(row) * stride, stride);
        }
        if (!file.Write(piece.data(), static_cast<size_t>(rows) * stride)) return 0;
    }
    return file.Close() ? 1 : 0;
}

int WriteRawFile(const char* fileName, const DibBuffer* image) {
    if (image == nullptr || image->bits == nullptr) return 0;
    OutputFile file;
    if (!file.Open(fileName)) return 0;
    if (!file.Write(image->bits, static_cast<size_t>(image->height) * static_cast<size_t>(image->stride))) return 0;
    return file.Close() ? 1 : 0;
}
