// The soak: the DLL run for a long time against two virtual cameras, as a
// factory application runs it for weeks. One session streams continuously
// into the application's memory with a frame message per frame; a second one
// cycles start/stop, and now and then takes a snapshot, saves a still in each
// format and records a short AVI file. Every interval (and at quiet moments:
// between two cycles) the process's own resource counts are written as one
// CSV line, so that a leak shows as a rising curve (scripts/soak.sh).
//
//   vidlyn_soak --minutes M --csv FILE --files FOLDER [--interval SECONDS] [--leak KINDS]
//
// --leak handles,threads,memory,gdi,user leaks one of each per cycle on
// purpose: the check that every counter sees a leak of its kind.
#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VidlynSdk.h"

namespace {

// ---- the process's own counts ---------------------------------------------------

struct Counts {
    unsigned long long handles = 0, threads = 0, privateBytes = 0, commitBytes = 0, virtualBytes = 0, gdi = 0, user = 0;
};

// Handles, threads, commit and virtual size from the system's process list:
// wine's answer comes from its server, where GetProcessHandleCount says 0.
void ProcessListCounts(Counts& c) {
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(), ULONG(buffer.size()),
                                              &needed)) == static_cast<NTSTATUS>(0xC0000004L))  // length mismatch
        buffer.resize(buffer.size() * 2);
    if (status != 0) return;
    const DWORD self = GetCurrentProcessId();
    for (size_t at = 0;;) {
        const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (HandleToULong(p->UniqueProcessId) == self) {
            c.handles = p->HandleCount;  // under wine the size of the handle table, see LiveHandles
            c.threads = p->NumberOfThreads;
            c.commitBytes = p->VirtualMemoryCounters.PagefileUsage;
            c.virtualBytes = p->VirtualMemoryCounters.VirtualSize;
            return;
        }
        if (p->NextEntryOffset == 0) return;
        at += p->NextEntryOffset;
    }
}

// Handles: the system's count where it keeps one; under wine (which answers
// 0, and whose process list gives the handle table's size, growing in steps of
// 64 and more) the live entries of that table, each handle being its index
// plus one times four.
unsigned long long LiveHandles(unsigned long long tableSize) {
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n) return n;
    unsigned long long live = 0;
    DWORD flags = 0;
    for (ULONG_PTR h = 4; h <= (tableSize + 64) * 4; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++live;
    return live;
}

// GDI objects: the system's count where it keeps one; under wine (which
// answers 0) the live entries of the process's GDI handle table, found by
// their index (a handle whose upper word is 0 names any generation).
unsigned long long GdiObjects() {
    if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
    unsigned long long n = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++n;
    return n;
}

// USER objects: the system's count where it keeps one; under wine the windows
// of this process, found the same way in the user handle table (even indices
// from 0x20). Windows are the only USER objects the library makes.
unsigned long long UserObjects() {
    if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return n;
    unsigned long long n = 0;
    const DWORD self = GetCurrentProcessId();
    for (ULONG_PTR h = 0x20; h < 0x10000; h += 2) {
        const HWND wnd = reinterpret_cast<HWND>(h);
        DWORD pid = 0;
        if (IsWindow(wnd) && GetWindowThreadProcessId(wnd, &pid) && pid == self) ++n;
    }
    return n;
}

// Private bytes: the system's count where it keeps one; under wine (which
// answers 0) the committed private regions of the address space.
unsigned long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof(memory)) &&
        memory.PrivateUsage)
        return memory.PrivateUsage;
    unsigned long long n = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) n += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return n;
}

Counts Sample() {
    Counts c;
    ProcessListCounts(c);
    c.handles = LiveHandles(c.handles);
    c.privateBytes = PrivateBytes();
    c.gdi = GdiObjects();
    c.user = UserObjects();
    return c;
}

// ---- the work ------------------------------------------------------------------------

struct Tally {
    unsigned long long cycles = 0, snapshots = 0, saves = 0, records = 0, frames = 0, failures = 0;
};
Tally g_tally;

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == VIDLYN_MSG_FRAME) {
        if (wParam) {
            ++g_tally.frames;
        } else if (lParam != 8) {  // 8: one frame missed, the stream goes on
            ++g_tally.failures;
            std::fprintf(stderr, "soak: the stream reported %ld\n", long(lParam));
        }
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

void Wait(DWORD ms) {
    for (const DWORD until = GetTickCount() + ms; GetTickCount() < until; Sleep(10)) Pump();
}

void Fail(const char* what, int handle) {
    ++g_tally.failures;
    int code = 0;
    for (int i = 0; i < 20 && !code; ++i) code = Vidlyn_GetLastError(handle);
    std::fprintf(stderr, "soak: %s failed (code %d) at cycle %llu\n", what, code, g_tally.cycles);
}

void DrainErrors(int handle) {
    for (int i = 0; i < 20; ++i) Vidlyn_GetLastError(handle);
}

DWORD WINAPI SleepForever(void*) {
    Sleep(INFINITE);
    return 0;
}

// One leak of each kind asked for (the counters' own check).
void LeakOnPurpose(const std::string& kinds) {
    if (kinds.find("handles") != std::string::npos) CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (kinds.find("threads") != std::string::npos)
        CloseHandle(CreateThread(nullptr, 0, SleepForever, nullptr, 0, nullptr));
    if (kinds.find("memory") != std::string::npos) std::memset(std::malloc(1 << 20), 1, 1 << 20);
    if (kinds.find("gdi") != std::string::npos) CreateSolidBrush(RGB(1, 2, 3));
    if (kinds.find("user") != std::string::npos)
        CreateWindowA("STATIC", "leak", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// A new frame from a streaming session within `ms`.
bool AwaitFrame(int handle, std::vector<unsigned char>& buffer, DWORD ms) {
    for (const DWORD until = GetTickCount() + ms; GetTickCount() < until; Sleep(5)) {
        if (Vidlyn_GetImage(handle, buffer.data(), int(buffer.size()), 1) == 1) return true;
        Pump();
    }
    return false;
}

int FrameBytes(int handle, int bytesPerPixel) {
    const int stride = (Vidlyn_Width(handle) * bytesPerPixel + 3) & ~3;
    return stride * Vidlyn_Height(handle);
}

}  // namespace

int main(int argc, char** argv) {
    double minutes = 1, interval = 60;
    std::string csvPath, files, leak;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--minutes")
            minutes = std::atof(value.c_str());
        else if (name == "--interval")
            interval = std::atof(value.c_str());
        else if (name == "--csv")
            csvPath = value;
        else if (name == "--files")
            files = value;
        else if (name == "--leak")
            leak = value;
        else
            return std::fprintf(stderr, "soak: unknown option %s\n", name.c_str()), 2;
    }
    if (csvPath.empty() || files.empty() || minutes <= 0 || interval <= 0) {
        std::fprintf(stderr,
                     "usage: vidlyn_soak --minutes M --csv FILE --files FOLDER [--interval S] [--leak KINDS]\n");
        return 2;
    }
    FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (!csv) return std::fprintf(stderr, "soak: cannot write %s\n", csvPath.c_str()), 2;
    std::fprintf(csv,
                 "elapsed_s,handles,threads,private_bytes,commit_bytes,virtual_bytes,gdi_objects,user_objects,"
                 "cycles,snapshots,saves,records,frames,failures\n");

    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VidlynSoak";
    RegisterClassA(&wc);
    const HWND wnd = CreateWindowA("VidlynSoak", "soak", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    // The streaming session on the first camera, the cycling one on the second.
    const int stream = Vidlyn_Initialize(nullptr), cycling = Vidlyn_Initialize(nullptr);
    if (!stream || !cycling || Vidlyn_SetDeviceNumber(cycling, 1) != 1 || Vidlyn_SetColorMode(stream, 24) != 1 ||
        Vidlyn_SetColorMode(cycling, 24) != 1) {
        std::fprintf(stderr, "soak: no two cameras (run through scripts/soak.sh)\n");
        return 1;
    }
    std::vector<unsigned char> streamBuffer(size_t(FrameBytes(stream, 3))), frame(size_t(FrameBytes(cycling, 3)));
    if (Vidlyn_CallBackPreview(stream, wnd, streamBuffer.data(), int(streamBuffer.size()), 1) != 1)
        Fail("Vidlyn_CallBackPreview", stream);

    static const struct {
        int format;
        const char* ext;
    } kStills[] = {{VIDLYN_FORMAT_BMP, "bmp"},
                   {VIDLYN_FORMAT_RAW, "raw"},
                   {VIDLYN_FORMAT_JPEG_HIGH, "jpg"},
                   {VIDLYN_FORMAT_PNG, "png"},
                   {VIDLYN_FORMAT_TIFF, "tif"}};
    const DWORD start = GetTickCount();
    double nextSample = 0;
    for (unsigned long long round = 0;; ++round) {
        const double elapsed = (GetTickCount() - start) / 1000.0;
        if (elapsed >= nextSample) {
            // Between two cycles: the cycling session is stopped, the stream runs.
            const Counts c = Sample();
            std::fprintf(csv, "%.0f,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%llu\n", elapsed,
                         c.handles, c.threads, c.privateBytes, c.commitBytes, c.virtualBytes, c.gdi, c.user,
                         g_tally.cycles, g_tally.snapshots, g_tally.saves, g_tally.records, g_tally.frames,
                         g_tally.failures);
            std::fflush(csv);
            nextSample += interval;
        }
        if (elapsed >= minutes * 60) break;

        // A start/stop cycle; every fourth one streams a frame before it stops.
        if (Vidlyn_StartPreview(cycling) != 1) Fail("Vidlyn_StartPreview", cycling);
        if (round % 4 == 0 && !AwaitFrame(cycling, frame, 10000)) Fail("a frame after the start", cycling);
        if (Vidlyn_StopPreview(cycling) != 1) Fail("Vidlyn_StopPreview", cycling);
        ++g_tally.cycles;
        if (!leak.empty()) LeakOnPurpose(leak);

        // Now and then a snapshot, a still in the next format and a short recording.
        if (round % 25 == 12) {
            if (Vidlyn_SnapShot(cycling, frame.data(), int(frame.size()), 1) == 1)
                ++g_tally.snapshots;
            else
                Fail("Vidlyn_SnapShot", cycling);
            const auto& still = kStills[(round / 25) % 5];
            const std::string path = files + "\\still." + still.ext;
            if (Vidlyn_SaveImage(cycling, path.c_str(), still.format) == 1)
                ++g_tally.saves;
            else
                Fail("Vidlyn_SaveImage", cycling);
        }
        if (round % 100 == 50) {
            const std::string path = files + "\\soak.avi";
            if (Vidlyn_Record(cycling, path.c_str(), 600, 0) == 1) {
                Wait(1200);
                ++g_tally.records;
            } else {
                Fail("Vidlyn_Record", cycling);
            }
            if (Vidlyn_StopPreview(cycling) != 1) Fail("Vidlyn_StopPreview after recording", cycling);
        }
        DrainErrors(cycling);
        DrainErrors(stream);
        Pump();
    }
    Vidlyn_StopPreview(stream);
    Pump();
    Vidlyn_Release(cycling);
    Vidlyn_Release(stream);
    std::fclose(csv);
    std::printf(
        "soak: %llu start/stop cycles, %llu snapshots, %llu stills, %llu recordings, %llu streamed frames, "
        "%llu failures\n",
        g_tally.cycles, g_tally.snapshots, g_tally.saves, g_tally.records, g_tally.frames, g_tally.failures);
    return g_tally.failures ? 3 : 0;
}
