// Sample application of the Vidlyn SDK: loads VidlynSdk_USB3_QM7720E.dll at run
// time, prints its version, opens a camera session, closes it again and prints the
// errors the session reported on the way (newest first).
//
//   vidlyn_sample.exe [path\to\VidlynSdk_USB3_QM7720E.dll]
//
// Without an argument the DLL is taken from the sample's own folder, then from the
// usual DLL search path. Each function is looked up by name, so the sample also runs
// against a DLL that lacks some of them.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

using GetDllVersionFn = int(__cdecl*)(void);
using InitializeFn = int(__cdecl*)(HWND);
using HandleFn = int(__cdecl*)(int);

const char kDllName[] = "VidlynSdk_USB3_QM7720E.dll";
constexpr int kErrorHistorySize = 20;

std::string ModuleFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

HMODULE LoadSdk(int argc, char** argv) {
    if (argc > 1) return LoadLibraryA(argv[1]);
    HMODULE dll = LoadLibraryA((ModuleFolder() + kDllName).c_str());
    return dll ? dll : LoadLibraryA(kDllName);
}

template <typename Fn>
Fn Find(HMODULE dll, const char* name) {
    FARPROC p = GetProcAddress(dll, name);
    if (!p) std::printf("  %s: not exported\n", name);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

}  // namespace

int main(int argc, char** argv) {
    HMODULE dll = LoadSdk(argc, argv);
    if (!dll) {
        std::printf("cannot load %s (error %lu)\n", argc > 1 ? argv[1] : kDllName, GetLastError());
        return 1;
    }
    char path[MAX_PATH];
    GetModuleFileNameA(dll, path, MAX_PATH);
    std::printf("loaded %s\n", path);

    auto getVersion = Find<GetDllVersionFn>(dll, "Vidlyn_GetDllVersion");
    auto initialize = Find<InitializeFn>(dll, "Vidlyn_Initialize");
    auto release = Find<HandleFn>(dll, "Vidlyn_Release");
    auto lastError = Find<HandleFn>(dll, "Vidlyn_GetLastError");

    int status = 0;
    if (getVersion) {
        unsigned version = static_cast<unsigned>(getVersion());
        std::printf("DLL version: 0x%08X\n", version);
        if (version != 0x013A0519u) status = 1;
    }
    if (initialize) {
        int handle = initialize(nullptr);
        std::printf("Vidlyn_Initialize(NULL) = %d\n", handle);
        if (handle == 0) status = 1;
        if (handle != 0 && lastError) {
            // The session's error history, newest first, until it is empty.
            std::printf("error history:");
            int count = 0;
            for (int code; count < kErrorHistorySize && (code = lastError(handle)) != 0; ++count)
                std::printf(" %d", code);
            std::printf(count ? "\n" : " (none)\n");
        }
        if (handle != 0 && release) std::printf("Vidlyn_Release(%d) = %d\n", handle, release(handle));
    }
    FreeLibrary(dll);
    return status;
}
