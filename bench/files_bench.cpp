// Measures the file writers at the sensor's full size (4896 x 3264) with the
// simulated camera, under wine:
//   - each still format: the time of one Vidlyn_SaveImage of a camera frame,
//     beside a plain write of a file of the same size in the same run;
//   - recording: the frames per second that reach the AVI file in colour
//     modes 8 and 24, beside the stream's own rate in the same run.
// Run: BUILD_TARGETS=vidlyn_files_bench scripts/build.sh win &&
//      scripts/wine-emulator.sh build/win/bin/vidlyn_files_bench.exe [seconds]
#include <windows.h>
// timeGetTime needs the Windows types first.
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FileReaders.h"
#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

// Fastest of `runs` timings of fn(), in milliseconds.
template <class Fn>
double BestMs(int runs, Fn fn) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        fn();
        best = std::min(best, (Now() - t0) * 1000.0);
    }
    return best;
}

size_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (size_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The plain write the formats are measured against: the frame's own bytes
// (height x stride) into a new file, in one call.
bool PlainWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const bool ok = WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
    return CloseHandle(f) && ok;
}

// One full-size camera frame converted into the output buffer of colour `bits`.
bool TakeFrame(int handle, CVidlyn& s, int bits) {
    if (!Vidlyn_SetColorMode(handle, bits) || !s.PrepareAcquisition()) return false;
    const uint32_t bytes = s.m_device->GetFrameCopySize();
    uint8_t* landing = s.FrameLanding(bytes);
    if (!landing || s.m_device->StartCapture() != 0 || s.m_device->FinishCapture(landing) != 0) return false;
    s.PlaceFrame(landing, bytes);
    s.ConvertFrame();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    sdktest::DeleteSettings();
    vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry()});
    vidlyn::test::CameraRig rig;
    rig.Add(0);  // full-size frames
    sdktest::Session session;
    CVidlyn* s = session.object();
    if (!s || !s->m_device->IsOpen()) {
        std::fprintf(stderr, "no session with the simulated camera\n");
        return 1;
    }
    Vidlyn_SetExposureTime(session, 1668);

    std::printf("Still images of one 4896 x 3264 camera frame (best of 3):\n");
    std::printf("%-10s %6s %10s %10s %14s %8s\n", "format", "mode", "file MB", "save ms", "plain write ms", "ratio");
    const std::string path = filetest::TempPath("bench.out"), plain = filetest::TempPath("bench.plain");
    const struct {
        const char* name;
        int format;
    } formats[] = {{"BMP", VIDLYN_FORMAT_BMP},
                   {"raw", VIDLYN_FORMAT_RAW},
                   {"JPEG q100", VIDLYN_FORMAT_JPEG_HIGH},
                   {"PNG", VIDLYN_FORMAT_PNG},
                   {"TIFF", VIDLYN_FORMAT_TIFF}};
    for (int bits : {24, 8}) {
        if (!TakeFrame(session, *s, bits)) {
            std::fprintf(stderr, "no frame in colour mode %d\n", bits);
            return 1;
        }
        const DibBuffer* frame = s->OutputBuffer();
        const std::vector<uint8_t> bytes(frame->bits, frame->bits + size_t(frame->stride) * frame->height);
        int ok = 1;
        const double write = BestMs(3, [&] { ok &= PlainWrite(plain, bytes) ? 1 : 0; });
        for (const auto& f : formats) {
            const double save = BestMs(3, [&] { ok &= Vidlyn_SaveImage(session, path.c_str(), f.format); });
            std::printf("%-10s %6d %10.1f %10.1f %14.1f %8.2f%s\n", f.name, bits, FileSize(path) / 1e6, save, write,
                        save / write, ok ? "" : "  (a write failed)");
        }
        // The recorder's work per frame, alone: the frame built from the
        // picture, and its chunk appended to a file.
        DibBuffer aviFrame;
        aviFrame.Create(frame->width, frame->height, 24);
        AviWriter writer;
        writer.width = frame->width;
        writer.height = frame->height;
        writer.Open(path.c_str());
        const double build = BestMs(5, [&] {
            uint32_t taken = ~0u;  // not the current picture's count
            ok &= s->TakeRecordFrame(aviFrame, &taken);
        });
        const double append = BestMs(5, [&] { ok &= writer.AddFrame(aviFrame.bits) == AviWriter::kAdded ? 1 : 0; });
        writer.Finalize();
        std::printf("%-10s %6d %10.1f %10.1f %14.1f %8.2f   (frame built %.1f ms + appended %.1f ms)\n", "AVI frame",
                    bits, aviFrame.stride * double(aviFrame.height) / 1e6, build + append, write,
                    (build + append) / write, build, append);
    }
    filetest::Remove(path);
    filetest::Remove(plain);

    std::printf("\nRecording %d s at 4896 x 3264:\n", seconds);
    std::printf("%6s %12s %14s %10s %8s\n", "mode", "camera fps", "converted fps", "AVI fps", "frames");
    const std::string avi = filetest::TempPath("bench.avi");
    for (int bits : {8, 24}) {
        Vidlyn_StopPreview(session);
        Vidlyn_SetColorMode(session, bits);
        Vidlyn_SetWaitTime(session, 0);  // the loop converts as often as frames come
        if (!Vidlyn_Record(session, avi.c_str(), seconds * 1000, 0)) {
            std::fprintf(stderr, "recording did not start (code %d)\n", Vidlyn_GetLastError(session));
            return 1;
        }
        const DWORD start = timeGetTime();
        while (s->m_recording.load() != 0 && timeGetTime() - start < DWORD(seconds) * 1000 + 60000) Sleep(20);
        // The stream's own rates: frames the camera delivered, frames the loop converted.
        const double cameraFps = s->m_device->GetFps();
        const double convertedFps = s->m_fps / 10.0;
        Vidlyn_StopPreview(session);
        const filetest::AviFile file = filetest::ReadAvi(avi);
        const uint32_t scale = file.ok ? file.Field(128) : 0;
        std::printf("%6d %12.2f %14.2f %10.2f %8zu%s\n", bits, cameraFps, convertedFps,
                    scale ? 10000000.0 / scale : 0.0, file.frames.size(), file.ok ? "" : "  (file did not parse)");
    }
    filetest::Remove(avi);
    vidlyn::test::DeleteDiskEnum();
    sdktest::DeleteSettings();
    return 0;
}
