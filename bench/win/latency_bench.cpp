// Measuring command for the camera path through the virtual camera daemon (not
// a test: it prints what it measured). Run by scripts/bench-latency.sh, which
// starts the daemon; the library is linked in, so that the steps of each
// operation can be timed one by one on the same camera.
//
//   vidlyn_latency_bench.exe latency [REPETITIONS]
//       start to first frame, stop, Vidlyn_SnapShot from idle and with a
//       capture armed, at full size and subsampled (medians), and where the
//       time goes;
//   vidlyn_latency_bench.exe record SECONDS BITS...
//       frames per second recorded into an AVI file, beside a plain sequential
//       write of the same bytes to the same folder right after, and the frames
//       lost by the camera's frame counter;
//   vidlyn_latency_bench.exe callback SECONDS
//       frames the callback mode delivers at 24 bits and the frames lost
//       between them, read from the camera's frame counter.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "model/FrameCounter.h"
#include "output/DibBuffer.h"
#include "sdk/CSdkChain.h"
#include "session/CVidlyn.h"
#include "settings/RegistryStore.h"

namespace {

double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1000.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * msPerTick;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median milliseconds of `fn` over `runs` runs; `between` runs untimed after each.
double TimeMs(int runs, const std::function<void()>& fn, const std::function<void()>& between = nullptr) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const double t0 = NowMs();
        fn();
        t.push_back(NowMs() - t0);
        if (between) between();
    }
    return Median(t);
}

// Waits for the stream's first converted frame; milliseconds waited, or -1.
double WaitFirstImage(int h, std::vector<uint8_t>& image) {
    const double t0 = NowMs();
    while (NowMs() - t0 < 20000) {
        if (Vidlyn_GetImage(h, image.data(), static_cast<int>(image.size()), 1) == 1) return NowMs() - t0;
        Sleep(1);
    }
    return -1;
}

struct Figures {
    double startReturn = 0, firstFrame = 0, stop = 0, snapIdle = 0, snapArmed = 0;
    // Where the time goes.
    double prepare = 0, writesIdle = 0, writePaused = 0, transferStart = 0, readout = 0, convert = 0, copyOut = 0,
           transferStop = 0, sleeps = 0;
};

Figures Measure(int h, int runs) {
    CVidlyn* s = SdkRegistry::Session(h);
    CVidlynQM7720USB3Sdk* dev = s->m_device;
    Figures f;
    Vidlyn_SetColorMode(h, 24);
    s->PrepareAcquisition();
    const DibBuffer* out = s->OutputBuffer();
    std::vector<uint8_t> image(static_cast<size_t>(out->stride) * out->height);

    // The exports as the application sees them.
    std::vector<double> ret, first, stop;
    for (int i = 0; i < runs; ++i) {
        const double t0 = NowMs();
        Vidlyn_StartPreview(h);
        const double t1 = NowMs();
        WaitFirstImage(h, image);
        const double t2 = NowMs();
        Vidlyn_StopPreview(h);
        const double t3 = NowMs();
        ret.push_back(t1 - t0);
        first.push_back(t2 - t0);
        stop.push_back(t3 - t2);
    }
    f.startReturn = Median(ret);
    f.firstFrame = Median(first);
    f.stop = Median(stop);
    f.snapIdle = TimeMs(runs, [&] { Vidlyn_SnapShot(h, image.data(), static_cast<int>(image.size()), 1); });
    Vidlyn_Capture(h);
    f.snapArmed = TimeMs(runs, [&] { Vidlyn_SnapShot(h, image.data(), static_cast<int>(image.size()), 1); });
    Vidlyn_StopPreview(h);

    // The steps one by one.
    f.prepare = TimeMs(runs, [&] { s->PrepareAcquisition(); });
    const int gain = s->m_analog.m_globalGain & 0xFFFF;
    const int exposure = s->m_analog.m_exposureTime;
    f.writesIdle = TimeMs(runs,
                          [&] {
                              dev->SetGlobalGain(gain);
                              dev->SetExposure(exposure);
                          }) /
                   2;
    f.sleeps = TimeMs(runs, [] {
        Sleep(100);
        Sleep(100);
    });
    dev->StartStream();
    f.writePaused = TimeMs(runs, [&] { dev->SetExposure(exposure); });
    f.transferStop = TimeMs(1, [&] { dev->StopStream(); });
    std::vector<double> startT, readT, convT, copyT, stopT{f.transferStop};
    for (int i = 0; i < runs; ++i) {
        const double t0 = NowMs();
        dev->StartCapture();
        const double t1 = NowMs();
        const size_t bytes = dev->GetFrameCopySize();
        uint8_t* landing = s->FrameLanding(bytes);
        dev->FinishCapture(landing);
        const double t2 = NowMs();
        s->PlaceFrame(landing, bytes);
        s->ConvertFrame();
        const double t3 = NowMs();
        s->CopyOut(s->OutputBuffer(), 1, image.data(), static_cast<int>(image.size()));
        const double t4 = NowMs();
        startT.push_back(t1 - t0);
        readT.push_back(t2 - t1);
        convT.push_back(t3 - t2);
        copyT.push_back(t4 - t3);
        if (i + 1 < runs) {
            dev->StartStream();
            Sleep(300);
            const double t5 = NowMs();
            dev->StopStream();
            stopT.push_back(NowMs() - t5);
        }
    }
    f.transferStart = Median(startT);
    f.readout = Median(readT);
    f.convert = Median(convT);
    f.copyOut = Median(copyT);
    f.transferStop = Median(stopT);
    return f;
}

int Latency(int runs) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);  // the defaults: whole sensor, gain and exposure
    const int h = Vidlyn_Initialize(nullptr);
    CVidlyn* s = SdkRegistry::Session(h);
    if (!s || !s->m_device->IsOpen()) {
        std::fprintf(stderr, "no camera: start the virtual camera first (scripts/bench-latency.sh)\n");
        return 1;
    }
    Figures full, sub;
    s->m_subSample = 0;
    full = Measure(h, runs);
    s->m_subSample = 1;
    sub = Measure(h, runs);
    s->m_subSample = 0;
    Vidlyn_Release(h);

    std::printf("24 bits, medians of %d, ms          4896 x 3264   2448 x 1632\n", runs);
    const auto row = [](const char* name, double a, double b) { std::printf("%-36s %10.1f %13.1f\n", name, a, b); };
    row("Vidlyn_StartPreview returns", full.startReturn, sub.startReturn);
    row("start to first frame (GetImage)", full.firstFrame, sub.firstFrame);
    row("Vidlyn_StopPreview", full.stop, sub.stop);
    row("Vidlyn_SnapShot from idle", full.snapIdle, sub.snapIdle);
    row("Vidlyn_SnapShot, capture armed", full.snapArmed, sub.snapArmed);
    std::printf("where the time goes:\n");
    row("  preparation (buffers, 6 writes)", full.prepare, sub.prepare);
    row("  one register write, idle", full.writesIdle, sub.writesIdle);
    row("  one register write, streaming", full.writePaused, sub.writePaused);
    row("  the stream start's two sleeps", full.sleeps, sub.sleeps);
    row("  transfer start (slots, thread)", full.transferStart, sub.transferStart);
    row("  one frame's readout (capture)", full.readout, sub.readout);
    row("  placement and conversion", full.convert, sub.convert);
    row("  copy into the application", full.copyOut, sub.copyOut);
    row("  transfer stop", full.transferStop, sub.transferStop);
    std::printf("start to first frame: %.0f ms\n", full.firstFrame);
    return 0;
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

// The camera's frame counter in frame `i` of an AVI file of 24-bit bottom-up
// frames of width x height, chunks from offset 232 on; 0 when unreadable.
uint32_t AviFrameCounter(HANDLE file, uint32_t i, int width, int height) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const int rows = std::min(height, 256);  // the counter lies within the top rows of the picture
    std::vector<uint8_t> top(static_cast<size_t>(stride) * rows);
    LARGE_INTEGER at;
    at.QuadPart = 232 + static_cast<LONGLONG>(i) * (8 + static_cast<LONGLONG>(stride) * height) + 8 +
                  static_cast<LONGLONG>(stride) * (height - rows);
    DWORD got = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file, top.data(), static_cast<DWORD>(top.size()), &got, nullptr) || got != top.size())
        return 0;
    return vidlyn::vcam::ReadCounter(width, [&](int x, int y) {
        if (y >= rows) return 0;
        return static_cast<int>(top[static_cast<size_t>(rows - 1 - y) * stride + 3 * static_cast<size_t>(x) + 1]);
    });
}

// Writes `count` blocks of `block` bytes into a new file, one call each, as
// the recorder writes its chunks; milliseconds taken, or -1 on a failure.
double SequentialWrite(const std::string& path, size_t block, uint32_t count) {
    std::vector<uint8_t> bytes(block);
    for (size_t i = 0; i < block; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    const double t0 = NowMs();
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    bool ok = true;
    for (uint32_t i = 0; i < count && ok; ++i) {
        DWORD done = 0;
        ok = WriteFile(f, bytes.data(), static_cast<DWORD>(block), &done, nullptr) && done == block;
    }
    ok = CloseHandle(f) && ok;
    const double t = NowMs() - t0;
    DeleteFileA(path.c_str());
    return ok ? t : -1;
}

int RecordAt(int bits, int seconds) {
    const int h = Vidlyn_Initialize(nullptr);
    CVidlyn* s = SdkRegistry::Session(h);
    if (!s || !s->m_device->IsOpen()) {
        std::fprintf(stderr, "no camera: start the virtual camera first (scripts/bench-vcam.sh)\n");
        return 1;
    }
    Vidlyn_SetColorMode(h, bits);
    const std::string avi = TempFile("vidlyn_recorder_bench.avi");
    if (!Vidlyn_Record(h, avi.c_str(), seconds * 1000, 0)) {
        std::fprintf(stderr, "recording did not start (code %d)\n", Vidlyn_GetLastError(h));
        return 1;
    }
    const double t0 = NowMs();
    while (s->m_recording.load() != 0 && NowMs() - t0 < seconds * 1000.0 + 60000) Sleep(20);
    Vidlyn_Release(h);

    HANDLE f = CreateFileA(avi.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    uint8_t head[232] = {};
    DWORD got = 0;
    if (f == INVALID_HANDLE_VALUE || !ReadFile(f, head, sizeof(head), &got, nullptr) || got != sizeof(head)) {
        std::fprintf(stderr, "no AVI file\n");
        return 1;
    }
    const auto field = [&](int at) {
        uint32_t v;
        std::memcpy(&v, head + at, 4);
        return v;
    };
    const uint32_t frames = field(48), scale = field(128);
    const int width = static_cast<int>(field(64)), height = static_cast<int>(field(68));
    const uint32_t first = frames ? AviFrameCounter(f, 0, width, height) : 0;
    const uint32_t last = frames ? AviFrameCounter(f, frames - 1, width, height) : 0;
    CloseHandle(f);
    DeleteFileA(avi.c_str());  // its unwritten pages go with it, before the plain write
    const double aviFps = scale ? 10000000.0 / scale : 0;
    const size_t chunk = 8 + static_cast<size_t>((width * 3 + 3) & ~3) * height;
    const double writeMs = SequentialWrite(TempFile("vidlyn_recorder_bench.bin"), chunk, frames);
    const double writeFps = writeMs > 0 ? frames * 1000.0 / writeMs : 0;
    const long lost = first && last ? static_cast<long>(last - first + 1) - static_cast<long>(frames) : -1;
    // The camera's rate while it was recorded: the frames it counted over the recording's time.
    const double streamFps = frames && lost >= 0 ? aviFps * static_cast<double>(frames + lost) / frames : 0;
    // The recorder cannot be faster than the camera: where the stream is slower
    // than the plain write, the stream's rate is the one to reach.
    const double bound = streamFps > 0 ? std::min(writeFps, streamFps) : writeFps;
    std::printf(
        "recorder, %d bits: %.2f x sequential write or the stream, the slower (AVI %.1f fps, %u frames, %ld lost by "
        "the frame counter; sequential write of the same bytes %.1f fps, %.0f MB/s; stream %.1f fps)\n",
        bits, bound > 0 ? aviFps / bound : 0, aviFps, frames, lost, writeFps, writeFps * chunk / 1e6, streamFps);
    return 0;
}

// Frames the callback mode announces during `seconds` at 24 bits, read from
// the camera's frame counter in the application's buffer as each notice is
// handled: the frames it delivered and the frames lost between them.
int CallbackLoss(int seconds) {
    const int h = Vidlyn_Initialize(nullptr);
    CVidlyn* s = SdkRegistry::Session(h);
    if (!s || !s->m_device->IsOpen()) {
        std::fprintf(stderr, "no camera: start the virtual camera first (scripts/bench-vcam.sh)\n");
        return 1;
    }
    Vidlyn_SetColorMode(h, 24);
    const int width = Vidlyn_Width(h), height = Vidlyn_Height(h);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> buffer(stride * height);
    HWND wnd = CreateWindowExA(0, "STATIC", "frames", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!Vidlyn_CallBackPreview(h, wnd, buffer.data(), static_cast<int>(buffer.size()), 1)) {
        std::fprintf(stderr, "callback mode did not start (code %d)\n", Vidlyn_GetLastError(h));
        return 1;
    }
    long frames = 0, lost = 0;
    uint32_t last = 0;
    const double t0 = NowMs();
    MSG msg;
    while (NowMs() - t0 < seconds * 1000.0) {
        if (!PeekMessageA(&msg, wnd, VIDLYN_MSG_FRAME, VIDLYN_MSG_FRAME, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
            continue;
        }
        if (msg.wParam == 0) continue;  // a frame-path error
        const uint32_t counter = vidlyn::vcam::ReadCounter(
            width, [&](int x, int y) { return static_cast<int>(buffer[static_cast<size_t>(y) * stride + 3 * x + 1]); });
        ++frames;
        if (counter > last + 1 && last != 0) lost += counter - last - 1;
        if (counter) last = counter;
    }
    Vidlyn_Close(h);
    Vidlyn_Release(h);
    DestroyWindow(wnd);
    std::printf("callback mode, 24 bits: %ld frames in %d s, %ld lost by the frame counter\n", frames, seconds, lost);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "latency";
    if (command == "callback" && argc > 2) return CallbackLoss(std::max(1, std::atoi(argv[2])));
    if (command == "latency") return Latency(argc > 2 ? std::max(1, std::atoi(argv[2])) : 7);
    if (command == "record" && argc > 3) {
        // The recorder and the plain write meet the same page cache: a write of
        // the size of a recording at the link's rate, deleted at once, hands the
        // system's freshly freed pages to the first recording as the deleted AVI
        // hands them to the plain write after it. (Without it the recording paid
        // for finding new pages, 3 to 6 times slower than reusing freed ones on
        // this machine, and the plain write after it did not.)
        const int seconds = std::max(1, std::atoi(argv[2]));
        SequentialWrite(TempFile("vidlyn_recorder_bench.bin"), 8 + size_t{4896} * 3 * 3264,
                        static_cast<uint32_t>(seconds) * 25);
        int status = 0;
        for (int i = 3; i < argc; ++i) status |= RecordAt(std::atoi(argv[i]), seconds);
        return status;
    }
    std::fprintf(stderr,
                 "usage: vidlyn_latency_bench latency [REPETITIONS] | record SECONDS BITS... | callback SECONDS\n");
    return 2;
}
