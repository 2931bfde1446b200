// vidlyn_sample: the Vidlyn SDK's command-line sample. It uses the public header
// and the DLL's import library, as an application does:
//
//   vidlyn_sample list                       the cameras and their information
//   vidlyn_sample set NAME VALUE [...]       exposure, gain, white balance, filters, automatic
//                                            exposure, mirror (kept by the SDK for later sessions)
//   vidlyn_sample snap FILE FORMAT           one still: bmp, raw, jpeg, jpeg-mid, jpeg-low, png, tiff
//   vidlyn_sample stream SECONDS             frames received, dropped, frames per second
//   vidlyn_sample record FILE SECONDS        an uncompressed AVI of the live stream
//
//   --camera N   use camera N of the list (default 1)
//   --mode M     colour mode, bits per pixel: 8, 16, 24 (default), 32, 48, 64
//
// Every failure prints the SDK's error code with its meaning and ends the
// program with exit status 1 (2 for a wrong command line).
#include "sample.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: vidlyn_sample [--camera N] [--mode 8|16|24|32|48|64] COMMAND [ARGS]\n"
    "  list                      the cameras and their information\n"
    "  snap FILE FORMAT          one still; FORMAT: bmp, raw, jpeg, jpeg-mid, jpeg-low, png, tiff\n"
    "  stream SECONDS            stream: frames received, dropped (by the camera's counter), fps\n"
    "  record FILE SECONDS       record an uncompressed AVI file\n"
    "  set NAME VALUE [...]      change settings; NAME is one of\n"
    "                            exposure (1..3335, larger is shorter), gain (0..1023),\n"
    "                            wb-red, wb-green, wb-blue (0..800 %), wb-auto (0/1),\n"
    "                            brightness, contrast, hue, saturation, sharpness, gamma,\n"
    "                            auto-exposure (0 off, 1 on, 2 once), mirror-h, mirror-v (0/1)\n";

const char* ErrorMeaning(int code) {
    switch (code) {
        case VIDLYN_ERR_NO_CAMERA:
            return "no camera, or not allowed in this state";
        case VIDLYN_ERR_CAMERA_NOT_FOUND:
            return "the selected camera cannot be opened";
        case VIDLYN_ERR_THREAD:
            return "a worker thread could not be created";
        case VIDLYN_ERR_PREVIEW_WINDOW:
            return "the preview window could not be made";
        case VIDLYN_ERR_MEMORY:
            return "out of memory, or the buffer is too small";
        case VIDLYN_ERR_STREAM_COMMAND:
            return "the camera refused a command";
        case VIDLYN_ERR_CAPTURE_AREA:
            return "the capture area is invalid";
        case VIDLYN_ERR_TRANSFER:
            return "a frame could not be transferred";
        case VIDLYN_ERR_INVALID_ARGUMENT:
            return "an argument is out of range";
        case VIDLYN_ERR_NOT_SUPPORTED:
            return "not supported by this camera";
        case VIDLYN_ERR_SETTINGS:
            return "settings or file name failure";
        case VIDLYN_ERR_TRANSFER_STOPPED:
            return "the frame transfer failed; streaming stopped";
        default:
            return "unknown code";
    }
}

}  // namespace

Session::Session() : m_handle(Vidlyn_Initialize(nullptr)) {
    // A first start reports that no settings were stored yet: not a failure here.
    while (m_handle && Vidlyn_GetLastError(m_handle) != 0) {
    }
}

Session::~Session() {
    if (m_handle) Vidlyn_Release(m_handle);
}

int FailCode(int code, const char* call) {
    if (code)
        std::fprintf(stderr, "error: %s failed: code %d, %s\n", call, code, ErrorMeaning(code));
    else
        std::fprintf(stderr, "error: %s failed\n", call);
    return 1;
}

int Fail(int handle, const char* call) { return FailCode(handle ? Vidlyn_GetLastError(handle) : 0, call); }

int SelectCamera(int handle, int number) {
    if (Vidlyn_SetDeviceNumber(handle, number - 1) != 1) return Fail(handle, "Vidlyn_SetDeviceNumber");
    return 0;
}

namespace {

int List() {
    Session session;
    if (!session) return Fail(0, "Vidlyn_Initialize");
    std::vector<char> names(10 * 256);
    const int count = Vidlyn_EnumDevice(session, names.data());
    std::printf("SDK version 0x%08X, %d camera%s\n", static_cast<unsigned>(Vidlyn_GetDllVersion()), count,
                count == 1 ? "" : "s");
    if (count == 0) {
        std::fprintf(stderr, "error: no camera found\n");
        return 1;
    }
    for (int number = 1; number <= count && number <= 10; ++number) {
        if (SelectCamera(session, number) != 0) return 1;
        VIDLYN_CAMERA_INFO info = {};
        info.size = sizeof(info);
        if (Vidlyn_GetCameraInfo(session, &info) != 1) return Fail(session, "Vidlyn_GetCameraInfo");
        std::printf("  %d  %s: %d x %d pixels, gain %d..%d, exposure %d..%d\n", number, &names[(number - 1) * 256],
                    info.width, info.height, info.gainMin, info.gainMax, info.exposureMin, info.exposureMax);
    }
    return 0;
}

struct Setting {
    const char* name;
    int filterId;  // 0: set through its own function
};

const Setting kSettings[] = {
    {"brightness", VIDLYN_FILTER_BRIGHTNESS},
    {"contrast", VIDLYN_FILTER_CONTRAST},
    {"hue", VIDLYN_FILTER_HUE},
    {"saturation", VIDLYN_FILTER_SATURATION},
    {"sharpness", VIDLYN_FILTER_SHARPNESS},
    {"wb-red", VIDLYN_FILTER_BAYER_GAIN_RED},
    {"wb-green", VIDLYN_FILTER_BAYER_GAIN_GREEN},
    {"wb-blue", VIDLYN_FILTER_BAYER_GAIN_BLUE},
    {"wb-auto", VIDLYN_FILTER_BAYER_GAIN_AUTO},
    {"gamma", VIDLYN_FILTER_GAMMA},
    {"gain", VIDLYN_FILTER_GLOBAL_GAIN},
    {"exposure", VIDLYN_FILTER_EXPOSURE},
    {"auto-exposure", 0},
    {"mirror-h", 0},
    {"mirror-v", 0},
};

// Sets one value and prints it as the SDK reads it back.
int SetOne(int handle, const Setting& s, int value) {
    int ok = 0;
    int now = 0;
    if (s.filterId) {
        if (Vidlyn_SetFilterValue(handle, s.filterId, value) != 1) return Fail(handle, "Vidlyn_SetFilterValue");
        now = Vidlyn_GetFilterValue(handle, s.filterId, &ok);
    } else if (std::strcmp(s.name, "auto-exposure") == 0) {
        if (Vidlyn_SetAutoIris(handle, value) != 1) return Fail(handle, "Vidlyn_SetAutoIris");
        now = Vidlyn_GetAutoIris(handle, &ok);
    } else {
        const bool horizontal = std::strcmp(s.name, "mirror-h") == 0;
        if ((horizontal ? Vidlyn_SetMirrorH(handle, value) : Vidlyn_SetMirrorV(handle, value)) != 1)
            return Fail(handle, horizontal ? "Vidlyn_SetMirrorH" : "Vidlyn_SetMirrorV");
        now = horizontal ? Vidlyn_GetMirrorH(handle) : Vidlyn_GetMirrorV(handle);
        ok = 1;
    }
    std::printf("%s = %d", s.name, now);
    if (s.filterId == VIDLYN_FILTER_EXPOSURE) std::printf(" (%d us)", Vidlyn_GetRealExposureTime(handle, nullptr));
    std::printf(ok ? "\n" : " (not confirmed)\n");
    return 0;
}

int Set(int camera, int argc, char** argv) {
    if (argc == 0 || argc % 2 != 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Session session;
    if (!session) return Fail(0, "Vidlyn_Initialize");
    if (SelectCamera(session, camera) != 0) return 1;
    for (int i = 0; i < argc; i += 2) {
        const Setting* setting = nullptr;
        for (const Setting& s : kSettings)
            if (std::strcmp(s.name, argv[i]) == 0) setting = &s;
        char* end = nullptr;
        const long value = std::strtol(argv[i + 1], &end, 10);
        if (!setting || *end || end == argv[i + 1]) {
            std::fprintf(stderr, "error: unknown setting or value: %s %s\n", argv[i], argv[i + 1]);
            return 2;
        }
        if (SetOne(session, *setting, static_cast<int>(value)) != 0) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int first = 1;
    for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
        const int value = std::atoi(argv[first + 1]);
        if (std::strcmp(argv[first], "--camera") == 0 && value >= 1)
            options.camera = value;
        else if (std::strcmp(argv[first], "--mode") == 0 && value >= 8 && value <= 64 && value % 8 == 0 &&
                 value != 40 && value != 56)
            options.mode = value;
        else
            break;
    }
    const char* command = first < argc ? argv[first] : "";
    const int args = argc - first - 1;
    char** arg = argv + first + 1;
    if (std::strcmp(command, "list") == 0 && args == 0) return List();
    if (std::strcmp(command, "set") == 0) return Set(options.camera, args, arg);
    if (std::strcmp(command, "snap") == 0 && args == 2) {
        const char* formats[] = {"bmp", "raw", "jpeg", "jpeg-mid", "jpeg-low", "png", "tiff"};
        for (int format = 0; format < 7; ++format)
            if (std::strcmp(arg[1], formats[format]) == 0) return Snap(options, arg[0], format);
    }
    if (std::strcmp(command, "stream") == 0 && args == 1 && std::atof(arg[0]) > 0)
        return Stream(options, std::atof(arg[0]));
    if (std::strcmp(command, "record") == 0 && args == 2 && std::atof(arg[1]) > 0)
        return Record(options, arg[0], std::atof(arg[1]));
    std::fputs(kUsage, stderr);
    return 2;
}
