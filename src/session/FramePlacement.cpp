// Frame placement: a raw frame as the camera delivers it (one byte per pixel,
// the whole sensor divided by the subsampling divisor, rows packed) becomes
// the source picture of the colour mode: the capture area cut out, bytes
// widened to 10-bit samples for the 16-bit modes, rows at the buffer's stride,
// and mirrored horizontally when asked.
//
// The device copies the frame wherever FrameLanding says. Normally that is the
// source buffer's own pixel memory (the frame fits there whole) and all steps
// run in place; a capture area smaller than the delivered frame at 8 bits
// lands in the session's staging block and is cut out from there.
#include "device/CameraFacts.h"
#include "output/DibBuffer.h"
#include "pixel/placement/PlacementKernels.h"
#include "session/CVidlyn.h"

uint8_t* CVidlyn::FrameLanding(size_t frameBytes) {
    DibBuffer* src = SourceBuffer();
    if (src == nullptr || src->bits == nullptr || frameBytes == 0) {
        return nullptr;
    }
    const size_t ownBytes = static_cast<size_t>(src->stride) * static_cast<size_t>(src->height);
    if (frameBytes <= ownBytes) {
        return src->bits;
    }
    if (frameBytes <= m_frameStaging.size()) {
        return m_frameStaging.data();
    }
    return nullptr;
}

int CVidlyn::PlaceFrame(const uint8_t* frame, size_t frameBytes) {
    DibBuffer* src = SourceBuffer();
    if (src == nullptr || src->bits == nullptr || frame == nullptr) {
        return 0;
    }
    const int bytesPerPixel = src->bitCount / 8;
    if (bytesPerPixel != 1 && bytesPerPixel != 2) {
        return 0;
    }
    const int d = vidlyn::camera::SubsampleDivisor(m_subSample);
    const int frameW = vidlyn::camera::kSensorWidth / d;
    const int frameH = vidlyn::camera::kSensorHeight / d;
    const int x0 = m_startX / d;
    const int y0 = m_startY / d;
    const int w = src->width;
    const int h = src->height;
    const size_t ownBytes = static_cast<size_t>(src->stride) * static_cast<size_t>(h);
    const bool inPlace = frame == src->bits;
    if (inPlace && frameBytes > ownBytes) {
        frameBytes = ownBytes;  // never read past the buffer the frame landed in
    }
    const bool wholeFrame = x0 == 0 && y0 == 0 && w == frameW && h <= frameH;

    if (bytesPerPixel == 1 && !inPlace) {
        // Cut the area straight to the buffer's stride.
        CropFrame(src->bits, ownBytes, src->stride, frame, frameBytes, frameW, frameH, x0, y0, w, h, 1);
    } else {
        // Area packed at the start of the buffer (a plain row move in place),
        // then spread or widened to the stride from the last byte backwards.
        if (!(inPlace && wholeFrame)) {
            CropFrame(src->bits, ownBytes, w, frame, frameBytes, frameW, frameH, x0, y0, w, h, 1);
        }
        if (bytesPerPixel == 2) {
            src->Convert(KernelWidenPacked8To16, src, nullptr, 0, 0, 0, 0);
        } else if (src->stride != w) {
            src->Convert(KernelSpreadRows, src, nullptr, 0, 0, 0, 0);
        }
    }

    if (m_analog.m_mirrorH) {
        src->Convert(KernelMirrorH, src, nullptr, 0, 0, 0, 0);
    }
    return 1;
}
