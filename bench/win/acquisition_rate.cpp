// Measuring command for live acquisition at the full 4896 x 3264 size, with
// the simulated camera behind the raw-disk seam (not a test: it asserts
// nothing, it prints what it measured).
//
//   scripts/wine-emulator.sh build/win/bin/acquisition_rate.exe [seconds] [frame interval ms]
//
// For colour modes 8, 24 and 48 it reports
//   - the frames per second that Vidlyn_GetImage receives while streaming,
//     beside the frames per second the camera model delivered meanwhile (its
//     cadence: the host keeps up when the two agree);
//   - the time per frame of each step of the preview loop, the steps run one
//     by one on this thread on frames of a running stream: placement (the
//     newest frame copied from the device and placed into the source
//     picture), conversion, paint (scaled into a 1224 x 816 child window, and
//     direct into a 4896 x 3264 one) and the copy into the application's buffer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"
#include "session/CVidlyn.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Phases {
    double placement = 0, conversion = 0, paintScaled = 0, paintDirect = 0, copy = 0;
    int frames = 0;
};

// Frames per second that Vidlyn_GetImage receives during `seconds`.
void MeasureGetImage(int h, vidlyn::vcam::CameraModel& camera, int bits, double seconds) {
    CVidlyn* s = SdkRegistry::Session(h);
    Vidlyn_StartPreview(h);
    const DibBuffer* out = s->OutputBuffer();
    std::vector<uint8_t> image(static_cast<size_t>(out->stride) * out->height);
    std::vector<uint8_t> warm(image.size());
    while (Vidlyn_GetImage(h, warm.data(), static_cast<int>(warm.size()), 1) == 0) Sleep(1);
    const uint32_t delivered0 = camera.FramesDelivered();
    const double t0 = Now();
    int frames = 0;
    while (Now() - t0 < seconds) {
        if (Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), 1) == 1)
            ++frames;
        else
            Sleep(1);
    }
    const double elapsed = Now() - t0;
    const uint32_t delivered = camera.FramesDelivered() - delivered0;
    Vidlyn_StopPreview(h);
    std::printf(
        "%2d bits  Vidlyn_GetImage %6.2f frames/s   camera model %6.2f frames/s   (%d and %u frames in %.1f s)\n", bits,
        frames / elapsed, delivered / elapsed, frames, delivered, elapsed);
}

// The loop's steps one by one on `count` frames of a running stream.
Phases MeasurePhases(int h, HWND scaledParent, HWND directParent, int count) {
    CVidlyn* s = SdkRegistry::Session(h);
    Phases p;
    HWND windows[2] = {};
    for (int which = 0; which < 2; ++which) {
        // A window of each size, made the way Vidlyn_Preview makes it; the
        // stream it starts is stopped again so that nothing else runs.
        Vidlyn_SetPreviewWindow(h, which == 0 ? scaledParent : directParent, 0, 0, which == 0 ? 1224 : 4896,
                                which == 0 ? 816 : 3264);
        Vidlyn_Preview(h);
        Vidlyn_StopPreview(h);
        windows[which] = s->m_previewWnd;
        s->m_previewWnd = nullptr;  // kept aside while the other one is made
        s->m_previewDC = nullptr;
        s->m_wndClassName[0] = '\0';
    }
    HDC dcs[2] = {GetDC(windows[0]), GetDC(windows[1])};
    const DibBuffer* out = s->OutputBuffer();
    std::vector<uint8_t> buffer(static_cast<size_t>(out->stride) * out->height);

    s->m_device->StartStream();
    for (int i = 0; i < count + 1; ++i) {
        while (s->m_device->GetFrameStatus() != CVidlynUSB3Lib::kFrameNew) Sleep(1);
        const double t0 = Now();
        const size_t bytes = s->m_device->GetFrameCopySize();
        uint8_t* landing = s->FrameLanding(bytes);
        s->m_device->CopyLatestFrame(landing);
        s->PlaceFrame(landing, bytes);
        const double t1 = Now();
        s->ConvertFrame();
        const double t2 = Now();
        s->m_previewWnd = windows[0];
        s->m_previewDC = dcs[0];
        s->PaintPreview();
        const double t3 = Now();
        s->m_previewWnd = windows[1];
        s->m_previewDC = dcs[1];
        s->PaintPreview();
        const double t4 = Now();
        s->CopyOut(out, 1, buffer.data(), static_cast<int>(buffer.size()));
        const double t5 = Now();
        if (i == 0) continue;  // the first pass warms the caches and the display picture
        p.placement += t1 - t0;
        p.conversion += t2 - t1;
        p.paintScaled += t3 - t2;
        p.paintDirect += t4 - t3;
        p.copy += t5 - t4;
        ++p.frames;
    }
    s->m_device->StopStream();
    s->m_previewWnd = nullptr;
    s->m_previewDC = nullptr;
    for (int i = 0; i < 2; ++i) {
        ReleaseDC(windows[i], dcs[i]);
        DestroyWindow(windows[i]);
    }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int intervalMs = argc > 2 ? std::atoi(argv[2]) : 0;

    vidlyn::test::CameraRig rig;
    vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry()});
    vidlyn::vcam::CameraSettings settings;
    settings.frameInterval = std::chrono::milliseconds(intervalMs);
    vidlyn::vcam::CameraModel& camera = rig.Add(0, settings);
    sdktest::DeleteSettings();
    { sdktest::Session first; }  // stores the default format: the whole sensor
    sdktest::Session session;
    const int h = session.handle();
    Vidlyn_SetExposureTime(h, 1668);
    Vidlyn_SetGlobalGain(h, 0);

    HWND scaledParent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 1224, 816, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    HWND directParent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 4896, 3264, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr);

    std::printf("4896 x 3264, camera model frame interval %d ms, %.1f s per mode\n", intervalMs, seconds);
    std::vector<Phases> phases;
    for (int bits : {8, 24, 48}) {
        Vidlyn_SetColorMode(h, bits);
        MeasureGetImage(h, camera, bits, seconds);
        phases.push_back(MeasurePhases(h, scaledParent, directParent, 5));
        Vidlyn_Close(h);
    }
    std::printf("\nper frame, ms   placement  conversion  paint scaled  paint direct    copy\n");
    const int bits[3] = {8, 24, 48};
    for (size_t i = 0; i < phases.size(); ++i) {
        const Phases& p = phases[i];
        const double n = p.frames ? p.frames : 1;
        std::printf("%2d bits        %10.1f  %10.1f  %12.1f  %12.1f  %6.1f\n", bits[i], 1000 * p.placement / n,
                    1000 * p.conversion / n, 1000 * p.paintScaled / n, 1000 * p.paintDirect / n, 1000 * p.copy / n);
    }
    DestroyWindow(scaledParent);
    DestroyWindow(directParent);
    session.Release();
    vidlyn::test::DeleteDiskEnum();
    sdktest::DeleteSettings();
    return 0;
}
