// Two application threads on one session, as an interface thread and a worker
// use it: streams started and stopped against snapshots taken meanwhile, and
// the preview window closed or released from a thread other than its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "StreamingCamera.h"

namespace {

using streamtest::kPatienceMs;

class AcquisitionThreads : public streamtest::StreamingCamera {};

TEST_F(AcquisitionThreads, SnapShotsDuringStartsAndStopsWaitTheirTurn) {
    const int size = streamtest::FrameBytes(24);
    std::atomic<bool> cycling{true};
    std::atomic<int> starts{0}, stops{0}, taken{0}, refused{0};
    std::thread snapper([&] {
        std::vector<uint8_t> frame(static_cast<size_t>(size));
        while (cycling.load()) {
            // A snapshot finds the session idle (a frame) or streaming (refused).
            if (Vidlyn_SnapShot(h, frame.data(), size, 1) == 1)
                ++taken;
            else
                ++refused;
        }
    });
    const bool cycled = streamtest::ReturnsInTime([&] {
        for (int i = 0; i < 20; ++i) {
            starts += Vidlyn_StartPreview(h);
            stops += Vidlyn_StopPreview(h);
        }
    });
    cycling.store(false);
    snapper.join();
    ASSERT_TRUE(cycled) << "start/stop still inside after " << kPatienceMs << " ms";
    EXPECT_EQ(starts.load(), 20);
    EXPECT_EQ(stops.load(), 20);
    EXPECT_GT(taken.load() + refused.load(), 0);
    // Every refusal is one code: 1 (streaming), or 8 when a single frame did
    // not come within the read time-out (a loaded machine); nothing else.
    const std::vector<int> codes = Codes();
    EXPECT_EQ(codes.size(), static_cast<size_t>(refused.load()));
    for (int code : codes) EXPECT_TRUE(code == VIDLYN_ERR_NO_CAMERA || code == VIDLYN_ERR_TRANSFER) << code;
    // The session is whole: a snapshot and a stream both still work.
    std::vector<uint8_t> frame(static_cast<size_t>(size));
    EXPECT_EQ(Vidlyn_SnapShot(h, frame.data(), size, 1), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    EXPECT_TRUE(NextImage(image, 24));
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

bool ClassExists(const std::string& name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &wc) != 0;
}

// An interface thread: opens the preview window, then serves its messages
// (or, with `pump` false, sits in a wait that serves none) until told to end.
class WindowThread {
public:
    WindowThread(int handle, bool pump) : m_handle(handle), m_pump(pump) {
        m_thread = std::thread([this] { Run(); });
        WaitForSingleObject(m_opened, kPatienceMs);
    }
    ~WindowThread() {
        SetEvent(m_end);
        m_thread.join();
        CloseHandle(m_opened);
        CloseHandle(m_end);
    }
    int previewed = 0;
    HWND window = nullptr;
    std::string className;

private:
    void Run() {
        previewed = Vidlyn_Preview(m_handle);
        CVidlyn* s = SdkRegistry::Session(m_handle);
        window = s->m_previewWnd;
        className = s->m_wndClassName;
        SetEvent(m_opened);
        if (!m_pump) {
            WaitForSingleObject(m_end, INFINITE);
            Serve();
            return;
        }
        while (MsgWaitForMultipleObjects(1, &m_end, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) Serve();
    }
    static void Serve() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    int m_handle;
    bool m_pump;
    HANDLE m_opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_end = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread m_thread;
};

TEST_F(AcquisitionThreads, CloseAndReleaseFromAnotherThreadTakeTheWindowAndItsClass) {
    for (bool release : {false, true}) {
        SCOPED_TRACE(release ? "release" : "close");
        WindowThread ui(h, true);
        ASSERT_EQ(ui.previewed, 1);
        ASSERT_TRUE(IsWindow(ui.window));
        ASSERT_TRUE(ClassExists(ui.className));
        // One call at a time: the interface thread only serves its messages.
        const bool returned = streamtest::ReturnsInTime([&] {
            if (release)
                session->Release();
            else
                Vidlyn_Close(h);
        });
        ASSERT_TRUE(returned);
        EXPECT_FALSE(IsWindow(ui.window));
        EXPECT_FALSE(ClassExists(ui.className));
    }
}

TEST_F(AcquisitionThreads, CloseDoesNotHangOnAWindowThreadThatServesNoMessages) {
    HWND window = nullptr;
    std::string className;
    {
        WindowThread ui(h, false);
        ASSERT_EQ(ui.previewed, 1);
        window = ui.window;
        className = ui.className;
        EXPECT_TRUE(streamtest::ReturnsInTime([&] { Vidlyn_Close(h); }));
        EXPECT_EQ(s->m_state.load(), 0);
        EXPECT_EQ(s->m_previewWnd, nullptr);
    }  // the thread serves its messages once, then ends
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ClassExists(className));
}

}  // namespace
