// Clipping of a same-size transfer between two bottom-up bitmaps.
#include <algorithm>

#include "pixel/core/PixelTypes.h"

namespace {

bool Fail(PixRect& rect, int& x, int& y) {
    rect = {0, 0, 0, 0};
    x = 0;
    y = 0;
    return false;
}

}  // namespace

bool ClipTransfer(PixRect& rect, int& x, int& y, int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    // Work in 64 bits so that no sum of coordinates can overflow.
    const int64_t w = int64_t{rect.right} - rect.left;
    const int64_t h = int64_t{rect.bottom} - rect.top;
    if (w <= 0 || h <= 0) return Fail(rect, x, y);  // an empty rectangle overlaps nothing

    // Destination rectangle, clipped to the destination picture.
    int64_t dl = x, dt = y, dr = x + w, db = y + h;
    if (dr <= 0 || db <= 0 || dl >= dstWidth || dt >= dstHeight) return Fail(rect, x, y);
    dl = std::max<int64_t>(dl, 0);
    dt = std::max<int64_t>(dt, 0);
    dr = std::min<int64_t>(dr, dstWidth);
    db = std::min<int64_t>(db, dstHeight);

    // The source rectangle moves by the same amounts.
    int64_t sl = rect.left + (dl - x), st = rect.top + (dt - y);
    int64_t sr = sl + (dr - dl), sb = st + (db - dt);
    if (sr <= 0 || sb <= 0 || sl >= srcWidth || st >= srcHeight) return Fail(rect, x, y);
    // Clipping the source (only possible for a rectangle reaching outside its
    // picture) moves the destination along, so every pixel keeps its partner.
    if (sl < 0) dl -= sl, sl = 0;
    if (st < 0) dt -= st, st = 0;
    if (sr > srcWidth) dr -= sr - srcWidth, sr = srcWidth;
    if (sb > srcHeight) db -= sb - srcHeight, sb = srcHeight;
    // A picture of no width or height (or a point outside one) leaves nothing to transfer.
    if (sr <= sl || sb <= st) return Fail(rect, x, y);

    // Memory rows of the bottom-up bitmaps: picture row 0 is the last memory row.
    rect = {static_cast<int32_t>(sl), static_cast<int32_t>(srcHeight - sb), static_cast<int32_t>(sr),
            static_cast<int32_t>(srcHeight - st)};
    x = static_cast<int>(dl);
    y = static_cast<int>(dstHeight - db);
    return true;
}
