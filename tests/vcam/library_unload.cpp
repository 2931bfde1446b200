// An application that loads the DLL, takes colour frames from the virtual
// camera and frees the DLL again, several times over. The library keeps helper
// threads for its frame conversion; they must not be left behind by each
// unload (or run on in code that is no longer mapped), so the thread count
// stays the same from the second round on. Run by scripts/vcam.sh.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <vector>

namespace {

// Threads of this process.
int ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

template <typename Fn>
Fn Export(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// One round: load, a 24-bit snapshot from the first camera, release, free.
void Round(std::vector<uint8_t>& frame) {
    HMODULE dll = LoadLibraryA(VIDLYN_SDK_DLL_PATH);
    ASSERT_NE(dll, nullptr) << "cannot load " << VIDLYN_SDK_DLL_PATH;
    const auto initialize = Export<int (*)(void*)>(dll, "Vidlyn_Initialize");
    const auto setColorMode = Export<int (*)(int, int)>(dll, "Vidlyn_SetColorMode");
    const auto snapShot = Export<int (*)(int, void*, int, int)>(dll, "Vidlyn_SnapShot");
    const auto release = Export<int (*)(int)>(dll, "Vidlyn_Release");
    ASSERT_TRUE(initialize && setColorMode && snapShot && release);
    const int handle = initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(setColorMode(handle, 24), 1);
    EXPECT_EQ(snapShot(handle, frame.data(), static_cast<int>(frame.size()), 0), 1);
    EXPECT_EQ(release(handle), 1);
    EXPECT_TRUE(FreeLibrary(dll));
}

TEST(LibraryUnload, RoundsOfLoadingAndFreeingLeaveNoThreadsBehind) {
    ASSERT_NE(GetEnvironmentVariableA("VIDLYN_VCAM_MOUNT", nullptr, 0), 0u) << "run through scripts/vcam.sh";
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Norvex\\VidlynQM77203Sdk");
    std::vector<uint8_t> frame(size_t{4896} * 3264 * 3);
    Round(frame);  // the first round may start what the library keeps
    const int after = ThreadCount();
    for (int i = 0; i < 3; ++i) Round(frame);
    EXPECT_EQ(ThreadCount(), after) << "threads left behind by rounds of loading and freeing";
    // A colour frame is not all zero (the conversion ran).
    bool any = false;
    for (const uint8_t b : frame) any = any || b != 0;
    EXPECT_TRUE(any);
}

}  // namespace
