// Frames handed to the application through the exports, from a simulated
// camera: Vidlyn_GetImage returns the camera's frames converted, whole and
// once each; callback preview copies and announces every frame; buffer sizes,
// row orders and single-frame capture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "StreamingCamera.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "model/CameraModel.h"
#include "pixel/core/SimdLevel.h"

namespace {

using streamtest::kHeight;
using streamtest::kWidth;
using streamtest::WaitMessage;
using vidlyn::vcam::CameraModel;
using CodeList = std::vector<int>;

class FrameDelivery : public streamtest::StreamingCamera {
protected:
    // The number of the model frame whose 24-bit conversion `image` is (rows
    // in memory order); 0 when it is none of the frames sent.
    uint32_t ConvertedFrame(const std::vector<uint8_t>& image) {
        const uint32_t newest = camera->FramesDelivered();
        for (uint32_t n = newest; n > 0; --n)
            if (streamtest::Demosaiced24(streamtest::Picture(*camera, n), s->m_adjust) == image) return n;
        return 0;
    }
};

// Rows of `image` (stride bytes each) in reverse order.
std::vector<uint8_t> Flipped(const std::vector<uint8_t>& image, size_t stride) {
    std::vector<uint8_t> out(image.size());
    const size_t rows = image.size() / stride;
    for (size_t r = 0; r < rows; ++r) memcpy(&out[r * stride], &image[(rows - 1 - r) * stride], stride);
    return out;
}

TEST_F(FrameDelivery, GetImageReturnsTheCamerasFramesConvertedOnceEach) {
    ASSERT_EQ(Vidlyn_GetColorMode(h), 24);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    ASSERT_TRUE(NextImage(image, 24));
    const uint32_t first = ConvertedFrame(image);
    EXPECT_NE(first, 0u) << "not the conversion of a frame the camera sent";

    // The same frame is not handed out twice; without a new frame the answer is 0, quietly.
    camera->SetNeverReady(true);
    Sleep(50);  // the frame in flight, if any, arrives
    std::vector<uint8_t> newest;
    while (Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), 1) == 1) newest = image;
    std::vector<uint8_t> again(image.size(), 0xEE);
    EXPECT_EQ(Vidlyn_GetImage(h, again.data(), static_cast<int>(again.size()), 1), 0);
    EXPECT_EQ(again, std::vector<uint8_t>(image.size(), 0xEE));
    EXPECT_EQ(Codes(), CodeList{});

    // Row order 0 delivers the last memory row first.
    camera->SetNeverReady(false);
    ASSERT_TRUE(NextImage(image, 24, 0));
    const std::vector<uint8_t> upright = Flipped(image, kWidth * 3);
    const uint32_t later = ConvertedFrame(upright);
    EXPECT_GT(later, first);
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

TEST_F(FrameDelivery, MirroredStreamsDeliverTheMirroredFrame) {
    // Unmirrored 24-bit frames are demosaiced where the camera left them; a
    // mirrored one must still be turned first, whichever way the picture is.
    ASSERT_EQ(Vidlyn_SetMirrorH(h, 1), 1);
    ASSERT_EQ(Vidlyn_SetMirrorV(h, 1), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    uint32_t found = 0;
    for (uint32_t n = camera->FramesDelivered(); n > 0 && found == 0; --n) {
        const std::vector<uint8_t> raw = streamtest::Picture(*camera, n);
        std::vector<uint8_t> turned(raw.size());
        for (int y = 0; y < streamtest::kHeight; ++y)
            for (int x = 0; x < streamtest::kWidth; ++x)
                turned[size_t(y) * streamtest::kWidth + x] =
                    raw[size_t(streamtest::kHeight - 1 - y) * streamtest::kWidth + (streamtest::kWidth - 1 - x)];
        if (streamtest::Demosaiced24(turned, s->m_adjust) == image) found = n;
    }
    EXPECT_NE(found, 0u) << "not the mirrored conversion of a frame the camera sent";
}

TEST_F(FrameDelivery, GetImageNeverReturnsATornFrame) {
    // 8 bits: the picture is the camera's frame itself, numbered in its first bytes.
    ASSERT_EQ(Vidlyn_SetColorMode(h, 8), 1);
    ASSERT_EQ(Vidlyn_SetWaitTime(h, 0), 1);  // convert as often as frames come
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    uint32_t previous = 0;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(NextImage(image, 8));
        const uint32_t number = CameraModel::DecodeFrameNumber(image.data());
        ASSERT_GT(number, previous) << "call " << i << ": frame handed out twice or out of order";
        ASSERT_TRUE(image == streamtest::Picture(*camera, number)) << "call " << i << ": frame " << number << " torn";
        previous = number;
    }
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

TEST_F(FrameDelivery, CallbackPreviewCopiesAndAnnouncesEveryFrame) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, 1), 1);
    MSG msg;
    ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    EXPECT_EQ(msg.lParam, 0);
    const auto* notice = reinterpret_cast<const VIDLYN_FRAME_NOTICE*>(msg.wParam);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->size, 32);
    EXPECT_EQ(notice->width, kWidth);
    EXPECT_EQ(notice->height, kHeight);
    EXPECT_EQ(notice->bitCount, 24);
    EXPECT_EQ(notice->buffer, buffer.data());
    EXPECT_GE(notice->fps, 0);
    // The buffer holds a whole converted frame by the time its notice arrives.
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_NE(ConvertedFrame(buffer), 0u);
    // After a second of frames the notice carries the rate in tenths.
    ASSERT_EQ(Vidlyn_Close(h), 1);
    sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, 1), 1);
    Sleep(1300);
    ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    EXPECT_GT(notice->fps, 0);
    EXPECT_EQ(notice->fps, s->m_fps);
    EXPECT_EQ(Vidlyn_Close(h), 1);
}

TEST_F(FrameDelivery, CallbackBufferHoldsThePictureInEitherRowOrderWithAndWithoutFilters) {
    // Without filters the conversion fills the application's buffer as it goes;
    // with one the buffer is copied from the filtered picture afterwards.
    const int size = streamtest::FrameBytes(24);
    const size_t stride = static_cast<size_t>(kWidth) * 3;
    // From AVX2 on the vector rows write both places; at SSE2 the finished
    // picture is copied.
    struct Uncap {
        ~Uncap() { pixel::SetSimdCeiling(pixel::SimdLevel::Avx512); }
    } uncap;
    std::vector<pixel::SimdLevel> levels{pixel::SimdLevel::Sse2};
    if (pixel::DetectedSimdLevel() >= pixel::SimdLevel::Avx2) levels.push_back(pixel::SimdLevel::Avx2);
    for (const pixel::SimdLevel level : levels)
        for (const int gamma : {100, 140})
            for (const int rowOrder : {1, 0}) {
                pixel::SetSimdCeiling(level);
                const std::string what = "level " + std::to_string(static_cast<int>(level)) + ", gamma " +
                                         std::to_string(gamma) + ", row order " + std::to_string(rowOrder);
                ASSERT_EQ(Vidlyn_SetGamma(h, gamma), 1) << what;
                std::vector<uint8_t> buffer(static_cast<size_t>(size), 0xEE);
                sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
                ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, rowOrder), 1) << what;
                MSG msg;
                ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg)) << what;
                ASSERT_EQ(Vidlyn_StopPreview(h), 1) << what;
                // The last frame converted is the one in the buffer.
                const std::vector<uint8_t> picture(s->m_dib24->bits, s->m_dib24->bits + stride * kHeight);
                ASSERT_EQ(Vidlyn_Close(h), 1) << what;
                const std::vector<uint8_t> upright = rowOrder == 0 ? Flipped(buffer, stride) : buffer;
                EXPECT_EQ(upright, picture) << what;
                if (gamma == 100) {
                    EXPECT_NE(ConvertedFrame(upright), 0u) << what;
                } else {
                    EXPECT_EQ(ConvertedFrame(upright), 0u) << what;
                }
                sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
            }
    EXPECT_EQ(Codes(), CodeList{});
}

TEST_F(FrameDelivery, BufferOneByteShortIsRefusedWithCodeFive) {
    const int size = streamtest::FrameBytes(24);
    ASSERT_EQ(size, kHeight * kWidth * 3);
    std::vector<uint8_t> buffer(static_cast<size_t>(size), 0x5A);

    // Callback preview: (0, 5) instead of the frame notice, the buffer untouched.
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size - 1, 1), 1);
    MSG msg;
    ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, VIDLYN_ERR_MEMORY);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    for (const sdktest::Notice& n : sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME)) {
        EXPECT_EQ(n.wParam, 0u);
        EXPECT_EQ(n.lParam, VIDLYN_ERR_MEMORY);
    }
    EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0x5A));
    CodeList codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes, CodeList(codes.size(), VIDLYN_ERR_MEMORY));
    ASSERT_EQ(Vidlyn_Close(h), 1);

    // Vidlyn_GetImage reports it twice (the copy, then the call); the frame stays ready.
    ASSERT_EQ(Vidlyn_SnapShot(h, nullptr, 0, 1), 1);
    EXPECT_EQ(Vidlyn_GetImage(h, buffer.data(), size - 1, 1), 0);
    EXPECT_EQ(Codes(), (CodeList{5, 5}));
    EXPECT_EQ(Vidlyn_GetImage(h, buffer.data(), size, 1), 1);
    EXPECT_NE(ConvertedFrame(buffer), 0u);
    EXPECT_EQ(Vidlyn_GetImage(h, nullptr, size, 1), 0);
    EXPECT_EQ(Codes(), CodeList{5});
}

TEST_F(FrameDelivery, AColourModeChangeAtIdleDropsTheAnnouncedFrame) {
    ASSERT_EQ(Vidlyn_SetColorMode(h, 8), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    const DWORD start = GetTickCount();
    while (s->m_frameReady.load() == 0 && GetTickCount() - start < streamtest::kPatienceMs) Sleep(1);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    ASSERT_EQ(s->m_frameReady.load(), 1);  // announced, not taken

    // That frame lay in the 8-bit picture; no frame has been converted into 24 bits.
    ASSERT_EQ(Vidlyn_SetColorMode(h, 24), 1);
    std::vector<uint8_t> image(static_cast<size_t>(streamtest::FrameBytes(24)));
    EXPECT_EQ(Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), 1), 0);
    EXPECT_EQ(Codes(), CodeList{});
    // Back to the mode it lay in: still gone. A frame of the new stream is the camera's.
    ASSERT_EQ(Vidlyn_SetColorMode(h, 8), 1);
    EXPECT_EQ(Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), 1), 0);
    ASSERT_EQ(Vidlyn_SetColorMode(h, 24), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    ASSERT_TRUE(NextImage(image, 24));
    EXPECT_NE(ConvertedFrame(image), 0u);
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

TEST_F(FrameDelivery, SnapShotFromIdleAndFromArmedCapture) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> shot(static_cast<size_t>(size));
    std::vector<uint8_t> image;

    // From idle: prepares, takes one frame, stays idle.
    ASSERT_EQ(Vidlyn_SnapShot(h, shot.data(), size, 1), 1);
    EXPECT_EQ(s->m_state.load(), 0);
    const uint32_t first = ConvertedFrame(shot);
    EXPECT_NE(first, 0u);
    // The shot is also there for Vidlyn_GetImage, once.
    ASSERT_EQ(Vidlyn_GetImage(h, shot.data(), size, 0), 1);
    EXPECT_EQ(ConvertedFrame(Flipped(shot, kWidth * 3)), first);
    EXPECT_EQ(Vidlyn_GetImage(h, shot.data(), size, 0), 0);

    // Armed, with a null buffer: converted all the same, for Vidlyn_GetImage.
    ASSERT_EQ(Vidlyn_Capture(h), 1);
    ASSERT_EQ(Vidlyn_SnapShot(h, nullptr, 0, 1), 1);
    EXPECT_EQ(s->m_state.load(), 2);
    ASSERT_EQ(Vidlyn_GetImage(h, shot.data(), size, 1), 1);
    EXPECT_GT(ConvertedFrame(shot), first);
    // A buffer too small: the frame is taken, the copy refused.
    EXPECT_EQ(Vidlyn_SnapShot(h, shot.data(), size - 1, 1), 0);
    EXPECT_EQ(Codes(), (CodeList{5, 5}));

    // A camera without a frame: the capture gives up after its time-out with code 8.
    camera->SetNeverReady(true);
    s->m_device->SetReadTimeout(200);
    EXPECT_EQ(Vidlyn_SnapShot(h, shot.data(), size, 1), 0);
    EXPECT_EQ(Codes(), CodeList{VIDLYN_ERR_TRANSFER});
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

}  // namespace
