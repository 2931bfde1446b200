// The acquisition modes through the exports, with a simulated camera: the
// state table, the capture time-out, a failed transfer, stops in every phase
// of the loop, and many start/stop cycles that must leave nothing behind.
#include <gtest/gtest.h>
#include <windows.h>
// Thread snapshots need the Windows types first.
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>

#include "CountedAllocations.h"
#include "StreamingCamera.h"
#include "device/CVidlynQM7720USB3Sdk.h"

namespace {

using streamtest::ReturnsInTime;
using streamtest::WaitMessage;
using CodeList = std::vector<int>;

class AcquisitionModes : public streamtest::StreamingCamera {};

TEST_F(AcquisitionModes, StateTable) {
    // Idle: a stop is a success with nothing to do.
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_EQ(Codes(), CodeList{});

    // Streaming: a second start changes nothing.
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    EXPECT_EQ(s->m_state.load(), 1);
    const HANDLE thread = s->m_acqThread;
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(Vidlyn_StartPreview(h), 1);
    EXPECT_EQ(s->m_acqThread, thread);
    // A window cannot join a running stream: refused without a report.
    EXPECT_EQ(Vidlyn_Preview(h), 0);
    EXPECT_EQ(Vidlyn_CallBackPreview(h, notify.get(), nullptr, 0, 0), 0);
    EXPECT_EQ(s->m_previewWnd, nullptr);
    EXPECT_EQ(Codes(), CodeList{});
    // Single frames are not taken from a running stream.
    std::vector<uint8_t> frame(static_cast<size_t>(streamtest::FrameBytes(24)));
    EXPECT_EQ(Vidlyn_Capture(h), 0);
    EXPECT_EQ(Vidlyn_SnapShot(h, frame.data(), static_cast<int>(frame.size()), 1), 0);
    EXPECT_EQ(Codes(), (CodeList{1, 1}));
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_EQ(s->m_state.load(), 0);
    EXPECT_EQ(s->m_acqThread, nullptr);
    EXPECT_EQ(s->m_acqDoneEvent, nullptr);
    EXPECT_EQ(s->m_stopEvent, nullptr);

    // Capture armed: streaming is refused until a stop.
    EXPECT_EQ(Vidlyn_Capture(h), 1);
    EXPECT_EQ(Vidlyn_Capture(h), 1);
    EXPECT_EQ(s->m_state.load(), 2);
    EXPECT_EQ(Vidlyn_StartPreview(h), 0);
    EXPECT_EQ(Vidlyn_Preview(h), 0);
    EXPECT_EQ(Codes(), CodeList{1});
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_EQ(Vidlyn_StartPreview(h), 1);

    // Close ends the stream; a window preview works after it, and again after a close.
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_EQ(s->m_state.load(), 0);
    EXPECT_EQ(Vidlyn_Preview(h), 1);
    EXPECT_NE(s->m_previewWnd, nullptr);
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_EQ(s->m_previewWnd, nullptr);
    EXPECT_EQ(Vidlyn_Preview(h), 1);
    EXPECT_EQ(s->m_state.load(), 1);
    EXPECT_EQ(Vidlyn_Close(h), 1);
    EXPECT_EQ(Codes(), CodeList{});

    // Unknown handles report nothing.
    EXPECT_EQ(Vidlyn_StartPreview(h + 1), 0);
    EXPECT_EQ(Vidlyn_GetImage(h + 1, frame.data(), static_cast<int>(frame.size()), 1), 0);
}

TEST_F(AcquisitionModes, CaptureKeepsTheLongerReadTimeOutForLaterStreams) {
    EXPECT_EQ(s->m_device->GetReadTimeout(), 1000);
    ASSERT_EQ(Vidlyn_Capture(h), 1);
    EXPECT_EQ(s->m_readTimeout, 5000);
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    EXPECT_EQ(s->m_device->GetReadTimeout(), 5000);
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
}

TEST_F(AcquisitionModes, WithoutDeviceTheModesReportOne) {
    CVidlynQM7720USB3Sdk* const device = s->m_device;
    s->m_device = nullptr;
    EXPECT_EQ(Vidlyn_StartPreview(h), 0);
    EXPECT_EQ(Vidlyn_Capture(h), 0);
    EXPECT_EQ(Vidlyn_SetPreviewWindow(h, nullptr, 0, 0, 10, 10), 0);
    EXPECT_EQ(Vidlyn_SnapShot(h, nullptr, 0, 0), 0);
    EXPECT_EQ(Codes(), (CodeList{1, 1, 1, 1}));
    s->m_device = device;
}

TEST_F(AcquisitionModes, FailedTransferEndsTheLoopAndTheNextStopReturnsAtOnce) {
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), nullptr, 0, 0), 1);
    MSG msg;
    ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    // The transfer thread gives up on a read the camera failed.
    s->m_device->m_transferState.store(CVidlynUSB3Lib::kTransferFailed);
    do {
        ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    } while (msg.wParam != 0);
    EXPECT_EQ(msg.lParam, VIDLYN_ERR_TRANSFER_STOPPED);
    EXPECT_EQ(Codes(), CodeList{VIDLYN_ERR_TRANSFER_STOPPED});
    // The thread has ended by itself; the session still counts as streaming.
    EXPECT_EQ(WaitForSingleObject(s->m_acqThread, streamtest::kPatienceMs), WAIT_OBJECT_0);
    EXPECT_EQ(s->m_runFlag.load(), 0);
    EXPECT_EQ(s->m_state.load(), 1);
    // A start begins a new stream on the camera, which answers again.
    EXPECT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    EXPECT_TRUE(NextImage(image, 24));
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_EQ(s->m_state.load(), 0);
    EXPECT_EQ(Vidlyn_StartPreview(h), 1);
    EXPECT_TRUE(NextImage(image, 24));
}

TEST_F(AcquisitionModes, StopReturnsInEveryPhaseOfTheLoop) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    auto stop = [&] { return ReturnsInTime([&] { Vidlyn_StopPreview(h); }); };

    // Asleep for a wait time of almost 25 days.
    ASSERT_EQ(Vidlyn_SetWaitTime(h, 0x7FFFFFFF), 1);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    Sleep(20);
    EXPECT_TRUE(stop());
    ASSERT_EQ(Vidlyn_SetWaitTime(h, 0), 1);

    // Polling a camera that never gets a frame ready.
    camera->SetNeverReady(true);
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    Sleep(20);
    EXPECT_TRUE(stop());
    camera->SetNeverReady(false);

    // Taking, converting, painting, copying and announcing frames: stops at
    // spread-out moments of a busy loop (sharpness makes conversion the longest step).
    ASSERT_EQ(Vidlyn_SetSharpness(h, 10), 1);
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, i & 1), 1);
        Sleep(static_cast<DWORD>(i * 7 % 31));
        EXPECT_TRUE(stop()) << "stop " << i;
        EXPECT_EQ(s->m_acqThread, nullptr);
    }
    Vidlyn_Close(h);
}

TEST_F(AcquisitionModes, AStoppedStreamNoLongerUsesTheCallbackBufferOrWindow) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    ASSERT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, 1), 1);
    MSG msg;
    ASSERT_TRUE(WaitMessage(notify.get(), VIDLYN_MSG_FRAME, &msg));
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME);
    std::fill(buffer.begin(), buffer.end(), 0x77);  // as if freed and reused

    // A plain stream afterwards: frames for Vidlyn_GetImage, none into the buffer.
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_EQ(Vidlyn_Close(h), 1);
    EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), 0x77));
    EXPECT_TRUE(sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME).empty());
}

TEST_F(AcquisitionModes, ARefusedCallBackPreviewRegistersNothing) {
    const int size = streamtest::FrameBytes(24);
    std::vector<uint8_t> buffer(static_cast<size_t>(size), 0x77);
    // A parent window that no longer exists: the preview window cannot be made.
    HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    ASSERT_EQ(Vidlyn_SetPreviewWindow(h, gone, 0, 0, 64, 64), 1);
    EXPECT_EQ(Vidlyn_CallBackPreview(h, notify.get(), buffer.data(), size, 1), 0);
    EXPECT_EQ(Codes(), CodeList{VIDLYN_ERR_PREVIEW_WINDOW});
    EXPECT_EQ(s->m_state.load(), 0);

    // The application takes the refusal as its cue to free the buffer; a
    // plain stream afterwards must neither write into it nor announce frames.
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    std::vector<uint8_t> image;
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x77), size) << "bytes written into the refused buffer";
    EXPECT_EQ(sdktest::Drain(notify.get(), VIDLYN_MSG_FRAME).size(), 0u) << "frames announced to the refused window";
}

// Ids of the threads of this process.
std::set<DWORD> ThreadIds() {
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 t{};
    t.dwSize = sizeof(t);
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(t.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

TEST_F(AcquisitionModes, TwoHundredCyclesLeaveNothingBehind) {
    std::vector<uint8_t> image;
    // One cycle of each kind first, so that what the system sets up once is there.
    ASSERT_EQ(Vidlyn_StartPreview(h), 1);
    ASSERT_TRUE(NextImage(image, 24));
    ASSERT_EQ(Vidlyn_StopPreview(h), 1);
    ASSERT_EQ(Vidlyn_Preview(h), 1);
    ASSERT_EQ(Vidlyn_Close(h), 1);
    Clear();
    camera->ClearLog();  // the model's own transaction log grows with every read
    image.clear();
    image.shrink_to_fit();

    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::vector<DWORD> workers;  // acquisition and transfer threads of every cycle
    workers.reserve(400);
    const long allocations = g_liveAllocations.load();

    for (int i = 0; i < 200; ++i) {
        if (i % 2 == 0) {
            ASSERT_EQ(Vidlyn_StartPreview(h), 1);
            if (i % 20 == 0) {
                ASSERT_TRUE(NextImage(image, 24));
            }
            workers.push_back(s->m_acqThreadId);
            workers.push_back(s->m_device->m_threadId);
            ASSERT_EQ(Vidlyn_StopPreview(h), 1);
        } else {
            ASSERT_EQ(Vidlyn_Preview(h), 1);
            workers.push_back(s->m_acqThreadId);
            const std::string className = s->m_wndClassName;
            ASSERT_EQ(Vidlyn_Close(h), 1);
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof(wc);
            EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), className.c_str(), &wc)) << className;
        }
    }
    image.clear();
    image.shrink_to_fit();
    camera->ClearLog();
    // Measured before any check, whose failure report would allocate.
    const long allocationsAfter = g_liveAllocations.load();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    // A worker signals its done event as its last act and leaves a moment later:
    // give the last ones that moment before looking for them.
    std::set<DWORD> running = ThreadIds();
    const auto anyWorkerRuns = [&] {
        for (DWORD id : workers)
            if (running.count(id)) return true;
        return false;
    };
    for (int wait = 0; wait < 100 && anyWorkerRuns(); ++wait) {
        Sleep(20);
        running = ThreadIds();
    }

    EXPECT_EQ(allocationsAfter, allocations);
    EXPECT_EQ(handlesAfter, handles);
    EXPECT_EQ(gdiAfter, gdi);
    for (DWORD id : workers) EXPECT_EQ(running.count(id), 0u) << "thread " << id << " still runs";
    EXPECT_EQ(Codes(), CodeList{});
}

TEST(FrameRate, TenthsOfAFramePerSecond) {
    EXPECT_EQ(CVidlyn::FrameRateTenths(25, 1250), 200);
    EXPECT_EQ(CVidlyn::FrameRateTenths(3, 1001), 29);  // truncated
    EXPECT_EQ(CVidlyn::FrameRateTenths(5, 0), 0);
}

}  // namespace
