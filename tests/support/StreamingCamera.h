// A session that streams from a simulated camera on drive 0: quarter-size
// frames (1224 x 816) so that a test sees many of them, an exposure that keeps
// the scene below saturation (every frame differs from the next in its moving
// bright column and its stamped number), and bounded waits for frames and
// messages, so that a fault shows as a failure and never as a hang.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "output/DibBuffer.h"
#include "pixel/demosaic/DemosaicKernels.h"

namespace streamtest {

constexpr int kWidth = 1224;
constexpr int kHeight = 816;
constexpr DWORD kPatienceMs = 20000;  // "never arrived", not a speed limit

// Bytes of one frame copy at `bitsPerPixel`: height x stride.
inline int FrameBytes(int bitsPerPixel) {
    return kHeight * static_cast<int>(DibBuffer::StrideFor(kWidth, static_cast<uint16_t>(bitsPerPixel)));
}

// Waits for `message` to `wnd` and removes it; false when none came.
inline bool WaitMessage(HWND wnd, UINT message, MSG* got) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kPatienceMs) {
        if (PeekMessageA(got, wnd, message, message, PM_REMOVE)) return true;
        Sleep(1);
    }
    return false;
}

// Runs fn() on another thread: false when it has not returned in time.
template <class Fn>
bool ReturnsInTime(Fn fn) {
    struct Call {
        Fn fn;
        static DWORD WINAPI Run(LPVOID p) {
            static_cast<Call*>(p)->fn();
            return 0;
        }
    } call{fn};
    HANDLE thread = CreateThread(nullptr, 0, Call::Run, &call, 0, nullptr);
    if (!thread) return false;
    const bool done = WaitForSingleObject(thread, kPatienceMs) == WAIT_OBJECT_0;
    if (!done) TerminateThread(thread, 1);
    CloseHandle(thread);
    return done;
}

// The model's frame `number` as the camera took it: one byte per pixel.
inline std::vector<uint8_t> Picture(const vidlyn::vcam::CameraModel& camera, uint32_t number) {
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight);
    camera.RenderPicture(number, picture.data());
    return picture;
}

// The 24-bit picture (memory order, stride 3 x 1224) that neutral adjustments
// make of `raw`: demosaiced with the session's phase and white balance gains.
inline std::vector<uint8_t> Demosaiced24(const std::vector<uint8_t>& raw, const ImageAdjustBlock& a) {
    DibBuffer source;
    DibBuffer output;
    source.Create(kWidth, kHeight, 8);
    output.Create(kWidth, kHeight, 24);
    for (int y = 0; y < kHeight; ++y) memcpy(source.bits + y * source.stride, raw.data() + y * kWidth, kWidth);
    const BayerParams p{a.m_bayerMode, a.m_bayerGainRed, a.m_bayerGainGreen, a.m_bayerGainBlue};
    output.Convert(KernelDemosaicInterior8, &source, nullptr, 0, 0, reinterpret_cast<intptr_t>(&p), 0);
    output.Convert(KernelDemosaicBorder8, &source, nullptr, 0, 0, reinterpret_cast<intptr_t>(&p), 0);
    return std::vector<uint8_t>(output.bits, output.bits + static_cast<size_t>(output.stride) * kHeight);
}

class StreamingCamera : public testing::Test {
protected:
    void SetUp() override {
        sdktest::DeleteSettings();
        sdktest::Drain(nullptr);
        ASSERT_TRUE(vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry()}));
        vidlyn::vcam::CameraSettings settings;
        settings.subsampleDivisor = 4;
        camera = &rig.Add(0, settings);
        { sdktest::Session first; }  // the first start stores the default format
        ASSERT_TRUE(sdktest::WriteDword(nullptr, "SubSample", 2));
        session = std::make_unique<sdktest::Session>(notify.get());
        h = session->handle();
        ASSERT_NE(h, 0);
        s = session->object();
        ASSERT_EQ(Vidlyn_SetExposureTime(h, 1668), 1);
        ASSERT_EQ(Vidlyn_SetGlobalGain(h, 0), 1);
        Clear();
    }
    void TearDown() override {
        session.reset();
        vidlyn::test::DeleteDiskEnum();
        sdktest::DeleteSettings();
        sdktest::Drain(nullptr);
    }

    // Forgets the codes and notifications so far.
    void Clear() {
        sdktest::DrainHistory(h);
        sdktest::Drain(notify.get());
    }
    // Error codes notified since the last Clear, oldest first, without the 0
    // that every converted frame notifies while automatic exposure is off.
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const sdktest::Notice& n : sdktest::Drain(notify.get()))
            if (n.lParam != 0) codes.push_back(static_cast<int>(n.lParam));
        sdktest::DrainHistory(h);
        return codes;
    }

    // Polls Vidlyn_GetImage until it hands out a frame.
    bool NextImage(std::vector<uint8_t>& image, int bitsPerPixel, int rowOrder = 1) {
        image.assign(static_cast<size_t>(FrameBytes(bitsPerPixel)), 0);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kPatienceMs) {
            if (Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), rowOrder) == 1) return true;
            Sleep(1);
        }
        return false;
    }

    vidlyn::test::CameraRig rig;  // outlives the session's device
    vidlyn::vcam::CameraModel* camera = nullptr;
    sdktest::MessageWindow notify;
    std::unique_ptr<sdktest::Session> session;
    int h = 0;
    CVidlyn* s = nullptr;
};

}  // namespace streamtest
