// The sample's frame commands: one still, a timed stream, a timed recording.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sample.h"

namespace {

// Bytes of one output pixel per colour mode.
int PixelBytes(int mode) { return mode / 8; }

// Opens the session for a frame command: camera and colour mode.
bool Prepare(const Session& session, const Options& options, int* status) {
    if (!session) {
        *status = Fail(0, "Vidlyn_Initialize");
        return false;
    }
    if ((*status = SelectCamera(session, options.camera)) != 0) return false;
    if (Vidlyn_SetColorMode(session, options.mode) != 1) {
        *status = Fail(session, "Vidlyn_SetColorMode");
        return false;
    }
    return true;
}

// Empties the session's error history (20 entries), e.g. of the "no frame
// yet" answers while waiting for the first frame.
void ForgetErrors(int handle) {
    for (int i = 0; i < 20; ++i) Vidlyn_GetLastError(handle);
}

// The first error code in the session's history, newest first; 0 when none.
int FirstError(int handle) {
    for (int i = 0; i < 20; ++i)
        if (const int code = Vidlyn_GetLastError(handle)) return code;
    return 0;
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

long FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

// The frame number the virtual camera draws into its pictures: eight digits of
// 3 x 5 cells, lit cells bright on a dark box near the top left corner.
// 0 when the picture does not show it (a real camera, or a mirrored picture).
unsigned ReadFrameCounter(const uint8_t* frame, int width, int stride, int mode) {
    static const unsigned short kDigits[10] = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9,
                                               0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};
    const int cell = width / 160 > 4 ? width / 160 : 4;
    // The green sample of a pixel, as 8 bits.
    auto level = [&](int x, int y) {
        const uint8_t* row = frame + size_t(y) * stride;
        switch (mode) {
            case 8:
                return int(row[x]);
            case 16:
                return int(reinterpret_cast<const uint16_t*>(row)[x] >> 2);
            case 24:
                return int(row[3 * x + 1]);
            case 32:
                return int(row[4 * x + 1]);
            case 48:
                return int(reinterpret_cast<const uint16_t*>(row)[3 * x + 1] >> 2);
            default:
                return int(reinterpret_cast<const uint16_t*>(row)[4 * x + 1] >> 2);
        }
    };
    unsigned value = 0;
    for (int digit = 0; digit < 8; ++digit) {
        unsigned short glyph = 0;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col) {
                const int x = cell * (2 + 4 * digit + col) + cell / 2;
                const int y = cell * (2 + row) + cell / 2;
                glyph = static_cast<unsigned short>(glyph << 1 | (level(x, y) >= 128));
            }
        int d = 0;
        while (d < 10 && kDigits[d] != glyph) ++d;
        if (d == 10) return 0;
        value = value * 10 + d;
    }
    return value;
}

}  // namespace

int Snap(const Options& options, const char* file, int format) {
    Session session;
    int status = 0;
    if (!Prepare(session, options, &status)) return status;
    // One frame, converted in the session; SaveImage writes it.
    if (Vidlyn_SnapShot(session, nullptr, 0, 1) != 1) return Fail(session, "Vidlyn_SnapShot");
    if (Vidlyn_SaveImage(session, file, format) != 1) return Fail(session, "Vidlyn_SaveImage");
    std::printf("saved %s (%ld bytes, %d bits per pixel)\n", file, FileSize(file), options.mode);
    return 0;
}

int Stream(const Options& options, double seconds) {
    Session session;
    int status = 0;
    if (!Prepare(session, options, &status)) return status;
    const int width = Vidlyn_Width(session);
    const int height = Vidlyn_Height(session);
    const int stride = (width * PixelBytes(options.mode) + 3) & ~3;
    std::vector<uint8_t> frame(size_t(stride) * height);
    if (Vidlyn_StartPreview(session) != 1) return Fail(session, "Vidlyn_StartPreview");

    long frames = 0, dropped = 0;
    unsigned last = 0;
    const double start = Seconds();
    double shown = start;
    double now = start;
    while ((now = Seconds()) - start < seconds) {
        if (Vidlyn_GetImage(session, frame.data(), int(frame.size()), 1) != 1) {
            // Until the first frame is converted the session answers "no frame yet" (5).
            const int code = Vidlyn_GetLastError(session);
            if (code != 0 && !(code == VIDLYN_ERR_MEMORY && frames == 0)) {
                std::printf("\n");
                Vidlyn_StopPreview(session);
                return FailCode(code, "streaming");
            }
            Sleep(1);
            continue;
        }
        if (++frames == 1) ForgetErrors(session);
        const unsigned counter = ReadFrameCounter(frame.data(), width, stride, options.mode);
        if (counter > last + 1 && last != 0) dropped += counter - last - 1;
        if (counter) last = counter;
        if (now - shown >= 0.5) {
            std::printf("\r  %5.1f s  %6ld frames  %5ld dropped  %5.1f fps", now - start, frames, dropped,
                        frames / (now - start));
            std::fflush(stdout);
            shown = now;
        }
    }
    if (Vidlyn_StopPreview(session) != 1) return Fail(session, "Vidlyn_StopPreview");
    if (shown != start) std::printf("\n");  // the progress line stays
    std::printf(
        "stream: %d x %d, %d bits per pixel: %ld frames in %.1f s (%.1f fps), %ld dropped by the frame counter\n",
        width, height, options.mode, frames, now - start, frames / (now - start), dropped);
    if (frames == 0) {
        std::fprintf(stderr, "error: no frame arrived\n");
        return 1;
    }
    return 0;
}

int Record(const Options& options, const char* file, double seconds) {
    Session session;
    int status = 0;
    if (!Prepare(session, options, &status)) return status;
    const int width = Vidlyn_Width(session);
    const int height = Vidlyn_Height(session);
    std::vector<uint8_t> frame(size_t((width * PixelBytes(options.mode) + 3) & ~3) * height);
    const int duration = int(seconds * 1000);
    if (Vidlyn_Record(session, file, duration, 0) != 1) return Fail(session, "Vidlyn_Record");
    // The recording's time counts from its first frame; it ends by itself, the
    // stream goes on until it is stopped.
    const double start = Seconds();
    double first = 0;
    while (first == 0 && Seconds() - start < 10) {
        if (Vidlyn_GetImage(session, frame.data(), int(frame.size()), 1) == 1) {
            first = Seconds();
            ForgetErrors(session);
        }
        Sleep(1);
    }
    if (first == 0) {
        Vidlyn_StopPreview(session);
        std::fprintf(stderr, "error: no frame arrived\n");
        return 1;
    }
    Sleep(DWORD(duration + 200));
    if (Vidlyn_StopPreview(session) != 1) return Fail(session, "Vidlyn_StopPreview");
    if (const int code = FirstError(session)) return FailCode(code, "recording");
    std::printf("recorded %s (%ld bytes, %.1f s)\n", file, FileSize(file), seconds);
    return 0;
}
