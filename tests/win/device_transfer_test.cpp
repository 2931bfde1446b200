// The transfer thread: the slot ring, frame status, single-frame capture,
// pause at a frame boundary, stop, failures, and a long stream of whole frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "CameraFixture.h"
#include "ModelDisk.h"
#include "device/CVidlynQM7720USB3Sdk.h"

using vidlyn::test::CameraEnumEntry;
using vidlyn::test::CameraRig;
using vidlyn::test::WriteDiskEnum;
using vidlyn::vcam::CameraModel;
using vidlyn::vcam::CameraSettings;
using vidlyn::vcam::DiskOp;
using vidlyn::vcam::FaultRule;

namespace {

template <typename Pred>
bool WaitUntil(Pred pred, int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; ++waited) {
        if (pred()) return true;
        Sleep(1);
    }
    return pred();
}

class DeviceTransferTest : public vidlyn::test::OneCameraTest {
protected:
    void SetUp() override {
        OneCameraTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 3));  // 612 x 408 frames
    }

    void SetInterval(int ms) {
        CameraSettings s = cam->Settings();
        s.frameInterval = std::chrono::milliseconds(ms);
        cam->SetSettings(s);
    }
    // The picture the camera rendered for frame `n`.
    std::vector<uint8_t> Expected(uint32_t n) {
        std::vector<uint8_t> p(size_t(cam->PictureWidth()) * cam->PictureHeight());
        cam->RenderPicture(n, p.data());
        return p;
    }
};

}  // namespace

TEST_F(DeviceTransferTest, RingFillsSlotsOneTwoZeroAndReportsNewFrames) {
    SetInterval(400);                     // time enough to look at each frame before the next one lands
    ASSERT_EQ(0, device->StartStream());  // returns after its two 100 ms settings pauses
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    const int expectedSlot[] = {1, 2, 0, 1};
    for (int n = 1; n <= 4; ++n) {
        ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= n; })) << n;
        EXPECT_EQ(n, device->m_slots[expectedSlot[n - 1]].number.load()) << "frame " << n;
        EXPECT_EQ(CVidlynUSB3Lib::kFrameNew, device->GetFrameStatus());
        EXPECT_EQ(CVidlynUSB3Lib::kFrameNew, device->GetFrameStatus()) << "until the frame is taken";
        ASSERT_EQ(0, device->CopyLatestFrame(frame.data()));
        EXPECT_EQ(n, device->m_lastDelivered.load());
        if (device->m_frameCounter.load() == n) {
            EXPECT_EQ(CVidlynUSB3Lib::kFrameNone, device->GetFrameStatus());
        }
        EXPECT_EQ(Expected(n), frame);
    }
    EXPECT_EQ(0, device->StopStream());
}

TEST_F(DeviceTransferTest, StatusBeforeTheFirstFrame) {
    SetInterval(100000);  // no frame during this test
    ASSERT_EQ(0, device->StartStream());
    EXPECT_EQ(CVidlynUSB3Lib::kFrameNone, device->GetFrameStatus());
    std::vector<uint8_t> frame(device->GetFrameCopySize(), 0xAB);
    EXPECT_NE(0, device->CopyLatestFrame(frame.data())) << "no frame to hand out";
    EXPECT_EQ(0xAB, frame[100]);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferStreaming, device->GetTransferState()) << "not ready is no failure";
    device->StopStream();
}

TEST_F(DeviceTransferTest, CaptureFillsSlotZeroAndEndsAfterOneFrame) {
    for (int round = 0; round < 2; ++round) {
        const uint32_t before = cam->FramesDelivered();
        ASSERT_EQ(0, device->StartCapture());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(device->m_doneEvent, 5000)) << "the thread ends by itself";
        EXPECT_EQ(CVidlynUSB3Lib::kTransferStopRequested, device->GetTransferState());
        EXPECT_EQ(1, device->m_slots[0].number.load());
        EXPECT_EQ(0, device->m_slots[1].number.load());
        EXPECT_EQ(before + 1, cam->FramesDelivered());
        std::vector<uint8_t> frame(device->GetFrameCopySize());
        ASSERT_EQ(0, device->FinishCapture(frame.data()));
        EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());
        EXPECT_EQ(nullptr, device->m_thread);
        EXPECT_EQ(nullptr, device->m_doneEvent);
        EXPECT_EQ(Expected(before + 1), frame);
        EXPECT_EQ(1, device->m_lastDelivered.load());
    }
    EXPECT_EQ(0, device->StopStream());
    EXPECT_EQ(nullptr, device->m_slots[0].data);
}

TEST_F(DeviceTransferTest, FullSizeCaptureIsReorderedWhole) {
    ASSERT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 0));
    ASSERT_EQ(4896, cam->PictureWidth());
    ASSERT_EQ(0, device->StartCapture());
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    ASSERT_EQ(15980544u, frame.size());
    ASSERT_EQ(0, device->FinishCapture(frame.data()));
    EXPECT_TRUE(Expected(1) == frame);
    device->StopStream();
}

TEST_F(DeviceTransferTest, CaptureTimeoutEndsTheThreadAndReportsNoFrame) {
    cam->SetNeverReady(true);
    device->SetReadTimeout(50);  // 50 status reads per pass, 50 ms join
    ASSERT_EQ(0, device->StartCapture());
    std::vector<uint8_t> frame(device->GetFrameCopySize(), 0x5C);
    EXPECT_NE(0, device->FinishCapture(frame.data()));
    EXPECT_EQ(0x5C, frame[0]) << "nothing is handed out";
    EXPECT_EQ(nullptr, device->m_thread);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());
    const uint64_t reads = cam->CountReads(CameraModel::kStatusOffset);
    Sleep(50);
    EXPECT_EQ(reads, cam->CountReads(CameraModel::kStatusOffset)) << "no thread polls any more";
    // The next capture works.
    cam->SetNeverReady(false);
    ASSERT_EQ(0, device->StartCapture());
    EXPECT_EQ(0, device->FinishCapture(frame.data()));
    device->StopStream();
}

TEST_F(DeviceTransferTest, StartFailsWhenTheStartCommandFails) {
    cam->AddFault(FaultRule{DiskOp::Write, CameraModel::kCommandOffset, 0, 1});
    EXPECT_EQ(CVidlynUSB3Lib::kStartCommandFailed, device->StartCapture());
    EXPECT_EQ(nullptr, device->m_thread);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());
    device->StopStream();
}

TEST_F(DeviceTransferTest, PauseHoldsTheThreadAtAFrameBoundary) {
    EXPECT_EQ(0, device->PauseStream()) << "nothing to pause while idle";
    device->ResumeStream(0);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());

    SetInterval(5);
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 3; }));
    ASSERT_EQ(1, device->PauseStream());
    EXPECT_EQ(CVidlynUSB3Lib::kTransferPaused, device->GetTransferState());
    const uint64_t images = cam->CountReads(CameraModel::kImageOffset);
    const uint64_t polls = cam->CountReads(CameraModel::kStatusOffset);
    Sleep(60);
    EXPECT_EQ(images, cam->CountReads(CameraModel::kImageOffset));
    EXPECT_EQ(polls, cam->CountReads(CameraModel::kStatusOffset)) << "the paused thread leaves the disk alone";
    device->ResumeStream(1);
    const int counter = device->m_frameCounter.load();
    EXPECT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() > counter + 2; }));
    device->StopStream();
}

TEST_F(DeviceTransferTest, SecondFrameBoundaryWaitReturnsAtOnce) {
    // No thread signals: the first wait runs into its 1000 ms time-out.
    std::atomic<int> first{-1};
    std::thread waiter([&] { first = device->WaitFrameBoundary(); });
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameEvent.load() != nullptr; }));
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, device->WaitFrameBoundary());
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_EQ(-1, first.load());
    waiter.join();
    EXPECT_EQ(0, first.load());
    EXPECT_EQ(nullptr, device->m_frameEvent.load());
}

TEST_F(DeviceTransferTest, PauseGivesUpWithoutAFrameBoundary) {
    // Streaming state but no thread to reach a boundary: the wait ends after 1000 ms
    // and the register writes that asked for the pause are not sent.
    device->m_transferState = CVidlynUSB3Lib::kTransferStreaming;
    const size_t before = cam->RegisterWrites().size();
    EXPECT_EQ(20, device->SetFormat(0, 0, 4896, 3264, 2));
    EXPECT_EQ(CVidlynUSB3Lib::kTransferStreaming, device->GetTransferState());
    EXPECT_EQ(0, device->SetGlobalGain(10));
    EXPECT_EQ(before, cam->RegisterWrites().size());
    EXPECT_EQ(0, device->GetGlobalGain()) << "the cache keeps what the camera has";
    device->m_transferState = CVidlynUSB3Lib::kTransferIdle;
}

TEST(DeviceFpsTest, FrameRateArithmetic) {
    EXPECT_FLOAT_EQ(10.0f, CVidlynUSB3Lib::ComputeFps(12, 1200));
    EXPECT_FLOAT_EQ(29.97003f, CVidlynUSB3Lib::ComputeFps(30, 1001));
    EXPECT_FLOAT_EQ(0.0f, CVidlynUSB3Lib::ComputeFps(5, 0));
}

TEST_F(DeviceTransferTest, StopDuringStreamJoinsAndFrees) {
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 5; }));
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), device->m_thread, GetCurrentProcess(), &thread, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(0, device->StopStream());
    // The done event is the thread's last act on the device; its exit follows at once.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 1000)) << "the thread has ended";
    CloseHandle(thread);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());
    EXPECT_EQ(nullptr, device->m_thread);
    EXPECT_EQ(0u, device->m_threadId);
    EXPECT_EQ(nullptr, device->m_doneEvent);
    EXPECT_EQ(nullptr, device->m_staging);
    for (const auto& slot : device->m_slots) {
        EXPECT_EQ(nullptr, slot.data);
        EXPECT_EQ(0, slot.number.load());
    }
    const uint32_t delivered = cam->FramesDelivered();
    Sleep(30);
    EXPECT_EQ(delivered, cam->FramesDelivered());
    EXPECT_EQ(0, device->StopStream()) << "stopping again is harmless";
}

TEST_F(DeviceTransferTest, StartWhileStreamingRestartsCleanly) {
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 3; }));
    ASSERT_EQ(0, device->StartCapture());
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    ASSERT_EQ(0, device->FinishCapture(frame.data()));
    EXPECT_EQ(1, device->m_lastDelivered.load()) << "the capture counts from 1 again";
    EXPECT_EQ(Expected(cam->FramesDelivered()), frame);
    device->StopStream();
}

TEST_F(DeviceTransferTest, ModelThreadRetriesFailedReads) {
    cam->AddFault(FaultRule{DiskOp::Read, CameraModel::kImageOffset, 2, 3});
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 6; }));
    EXPECT_EQ(CVidlynUSB3Lib::kTransferStreaming, device->GetTransferState());
    EXPECT_NE(CVidlynUSB3Lib::kFrameFailed, device->GetFrameStatus());
    device->StopStream();
}

TEST_F(DeviceTransferTest, RemovedCameraDoesNotKeepACoreBusyAndStops) {
    device->SetReadTimeout(1);
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 2; }));
    cam->Remove();
    Sleep(20);
    cam->ClearLog();
    Sleep(300);
    // Without a pause between failed passes this would be tens of thousands of tries.
    const size_t tries = cam->Log().size();
    EXPECT_LT(tries, 200u);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferStreaming, device->GetTransferState());
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, device->StopStream());
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST_F(DeviceTransferTest, UnpluggedCameraIsGivenUpButOneWithoutAFrameIsNot) {
    // A camera that answers its status reads but has no frame ready keeps streaming.
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 2; }));
    cam->SetNeverReady(true);
    Sleep(CVidlynUSB3Lib::kUnpluggedAfterMs + 500);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferStreaming, device->GetTransferState());
    cam->SetNeverReady(false);
    const int32_t before = device->m_frameCounter.load();
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() > before; }));

    // An unplugged one refuses every call: after a while the consumer hears of it.
    cam->Remove();
    const DWORD removed = GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return device->GetFrameStatus() == CVidlynUSB3Lib::kFrameFailed; },
                          int(CVidlynUSB3Lib::kUnpluggedAfterMs) + 5000));
    EXPECT_GE(GetTickCount() - removed, CVidlynUSB3Lib::kUnpluggedAfterMs - 50);
    EXPECT_EQ(CVidlynUSB3Lib::kTransferFailed, device->GetTransferState());
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, device->StopStream());
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(DeviceBaseTransferTest, ReadFailureEndsTheBaseThreadInStateFive) {
    ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
    CameraRig rig;
    CameraSettings settings;
    settings.subsampleDivisor = 8;
    CameraModel& cam = rig.Add(4, settings);
    CVidlynUSB3Lib device;
    device.m_productId = 0x06E0;
    device.EnumDevices("QM7720E");
    ASSERT_EQ(0, device.SelectDevice(0));
    // Rows in order, reduced readout, so that the base class reads whole frames.
    uint8_t sector[512] = {0x20, 0x00, 0x30, 0x01};
    cam.WriteAt(CameraModel::kCommandOffset, sector, 512);
    sector[1] = 0x01, sector[2] = 0, sector[3] = 1;
    cam.WriteAt(CameraModel::kCommandOffset, sector, 512);
    sector[1] = 0x00, sector[2] = 0x30, sector[3] = 0x02;
    cam.WriteAt(CameraModel::kCommandOffset, sector, 512);
    sector[1] = 0x01, sector[2] = 0, sector[3] = 1;
    cam.WriteAt(CameraModel::kCommandOffset, sector, 512);
    device.m_subSample = 3;
    cam.AddFault(FaultRule{DiskOp::Read, CameraModel::kImageOffset, 3, 1});

    ASSERT_EQ(0, device.StartStream());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(device.m_doneEvent, 5000)) << "the thread gives up";
    EXPECT_EQ(CVidlynUSB3Lib::kTransferFailed, device.GetTransferState());
    EXPECT_EQ(CVidlynUSB3Lib::kFrameFailed, device.GetFrameStatus());
    EXPECT_EQ(3, device.m_frameCounter.load());
    std::vector<uint8_t> frame(device.GetFrameCopySize());
    ASSERT_EQ(0, device.CopyLatestFrame(frame.data()));
    std::vector<uint8_t> expected(frame.size());
    cam.RenderPicture(3, expected.data());
    EXPECT_EQ(expected, frame) << "rows in order need no reordering";
    EXPECT_EQ(0, device.StopStream());
    EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device.GetTransferState());
}

TEST_F(DeviceTransferTest, RegisterWritesDuringCaptureDoNotInterleave) {
    // Captures are not paused for register writes; each seek-and-transfer pair of
    // the two threads must still stay together.
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread writer([&] {
        for (uint16_t v = 1; !stop; v = uint16_t(v % 1000 + 1)) {
            if (device->WriteSensorRegister(0x4000, v)) ++sent;
        }
    });
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(0, device->StartCapture());
        ASSERT_EQ(0, device->FinishCapture(frame.data()));
        const uint32_t n = CameraModel::DecodeFrameNumber(frame.data());
        ASSERT_NE(0u, n);
        ASSERT_EQ(Expected(n), frame) << "capture " << i;
    }
    stop = true;
    writer.join();
    int landed = 0;
    for (const auto& [address, value] : cam->RegisterWrites()) landed += address == 0x4000;
    EXPECT_EQ(sent.load(), landed);
    EXPECT_GT(landed, 0);
    device->StopStream();
}

TEST_F(DeviceTransferTest, AFrameBeingCopiedOutIsNeverOverwritten) {
    // A consumer slower than any number of frames: it holds the newest slot as a
    // copy does, and the thread keeps filing frames into the other two.
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 2; }));
    auto* newest = &device->m_slots[0];
    for (auto& slot : device->m_slots)
        if (slot.number.load() > newest->number.load()) newest = &slot;
    auto& held = *newest;
    ASSERT_TRUE(TryAcquireSRWLockShared(&held.lock));
    const int32_t number = held.number.load();
    const std::vector<uint8_t> before(held.data, held.data + device->GetFrameCopySize());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= number + 6; }));
    EXPECT_EQ(number, held.number.load());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), held.data)) << "the held frame was written into";
    ReleaseSRWLockShared(&held.lock);
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    ASSERT_EQ(0, device->CopyLatestFrame(frame.data()));
    EXPECT_GT(device->m_lastDelivered.load(), number + 5);
    EXPECT_EQ(0, device->StopStream());
}

TEST_F(DeviceTransferTest, LongStreamDeliversWholeFramesInOrder) {
    ASSERT_EQ(0, device->StartStream());
    std::vector<uint8_t> frame(device->GetFrameCopySize());
    std::vector<uint8_t> expected(frame.size());
    int delivered = 0;
    uint32_t lastCamera = 0;
    int32_t lastNumber = 0;
    const DWORD start = GetTickCount();
    while (delivered < 300 && GetTickCount() - start < 60000) {
        if (device->GetFrameStatus() != CVidlynUSB3Lib::kFrameNew) {
            Sleep(0);
            continue;
        }
        ASSERT_EQ(0, device->CopyLatestFrame(frame.data()));
        const int32_t number = device->m_lastDelivered.load();
        const uint32_t n = CameraModel::DecodeFrameNumber(frame.data());
        ASSERT_GT(number, lastNumber);
        ASSERT_GT(n, lastCamera);
        cam->RenderPicture(n, expected.data());
        ASSERT_TRUE(expected == frame) << "frame " << n << " is not whole";
        lastNumber = number;
        lastCamera = n;
        ++delivered;
    }
    EXPECT_EQ(300, delivered);
    device->StopStream();
}

TEST_F(DeviceTransferTest, FormatChangeDuringStreamKeepsTheTransferGeometry) {
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 2; }));
    const uint32_t size = device->GetFrameCopySize();
    ASSERT_EQ(612u * 408u, size);
    // A larger readout is asked for while the slots hold the small one.
    ASSERT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 2));
    EXPECT_EQ(998912u, device->GetRawFrameSize());
    EXPECT_EQ(size, device->GetFrameCopySize()) << "the running transfer keeps its size";
    const int counter = device->m_frameCounter.load();
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() > counter + 2; }));
    std::vector<uint8_t> frame(size + 4096, 0xE7);
    ASSERT_EQ(0, device->CopyLatestFrame(frame.data()));
    EXPECT_TRUE(std::all_of(frame.begin() + size, frame.end(), [](uint8_t v) { return v == 0xE7; }))
        << "nothing is written past the frame";
    frame.resize(size);
    EXPECT_EQ(Expected(CameraModel::DecodeFrameNumber(frame.data())), frame);
    device->StopStream();
    EXPECT_EQ(998784u, device->GetFrameCopySize());
}

TEST_F(DeviceTransferTest, ReselectingMidStreamLeavesTheConsumerItsFrames) {
    // Vidlyn_SetDeviceNumber selects while the session streams, so the
    // acquisition thread may be copying a frame when the disk is reopened: the
    // transfer ends, but the frames it left must stay readable until the stream
    // is stopped or started again.
    ASSERT_EQ(0, device->SetFormat(0, 0, 4896, 3264, 0));  // full frames: the copy takes a while
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(0, device->StartStream());
        ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= 1; }, 20000));
        std::atomic<bool> stop{false};
        std::atomic<int> copies{0};
        std::thread consumer([&] {
            std::vector<uint8_t> frame(device->GetFrameCopySize());
            while (!stop)
                if (device->CopyLatestFrame(frame.data()) == 0) ++copies;
        });
        EXPECT_TRUE(WaitUntil([&] { return copies.load() >= 2; }, 20000));
        EXPECT_EQ(0, device->SelectDevice(0));
        EXPECT_EQ(CVidlynUSB3Lib::kTransferIdle, device->GetTransferState());
        const int after = copies.load();
        EXPECT_TRUE(WaitUntil([&] { return copies.load() > after + 1; })) << "the last frames can still be taken";
        stop = true;
        consumer.join();
        EXPECT_EQ(0, device->StopStream());
        EXPECT_EQ(1, rig.disk.OpenHandles());
    }
}

TEST_F(DeviceTransferTest, StopEndsAPassThatIsStillPolling) {
    // A camera that never gets ready keeps the thread in its status poll for the
    // read time-out's count of reads (seconds on a real disk). A stop, and the join
    // after a capture time-out, must not wait for the rest of that poll: the frame
    // is no longer wanted. A pass that runs to its end polls exactly `polls` times,
    // so a stop that waited for it leaves a whole multiple of `polls`. (A stop can
    // also land between two passes; one cut poll in three tries is asked for.)
    constexpr uint64_t polls = 10000;
    cam->SetNeverReady(true);
    device->SetReadTimeout(int(polls));
    int cut = 0;
    for (int attempt = 0; attempt < 3 && cut == 0; ++attempt) {
        cam->ClearLog();
        ASSERT_EQ(0, device->StartStream());
        // Early in a pass, with most of its poll ahead. The poll runs through its
        // count in milliseconds, so this looks without sleeping: a sleep of one
        // tick on a busy machine can step over the whole window.
        const ULONGLONG deadline = GetTickCount64() + 5000;
        bool early = false;
        while (!early && GetTickCount64() < deadline) {
            const uint64_t into = cam->CountReads(CameraModel::kStatusOffset) % polls;
            early = into > 50 && into < polls / 2;
            if (!early) SwitchToThread();
        }
        ASSERT_TRUE(early);
        EXPECT_EQ(0, device->StopStream());
        cut += cam->CountReads(CameraModel::kStatusOffset) % polls != 0;
    }
    EXPECT_EQ(1, cut) << "every stop waited for the whole poll";
}

TEST_F(DeviceTransferTest, AFrameHeldForReadingInPlaceStaysWholeWhileTheStreamGoesOn) {
    ASSERT_EQ(nullptr, device->HoldLatestFrame()) << "no transfer set up";
    SetInterval(5);
    ASSERT_EQ(0, device->StartStream());
    ASSERT_TRUE(WaitUntil([&] { return device->GetFrameStatus() == CVidlynUSB3Lib::kFrameNew; }));
    const uint8_t* held = device->HoldLatestFrame();
    ASSERT_NE(nullptr, held);
    const int32_t number = device->m_lastDelivered.load();
    const size_t bytes = device->GetFrameCopySize();
    // Three frames later every other slot has been refilled; the held one not.
    ASSERT_TRUE(WaitUntil([&] { return device->m_frameCounter.load() >= number + 3; }));
    EXPECT_EQ(Expected(static_cast<uint32_t>(number)), std::vector<uint8_t>(held, held + bytes));
    device->ReleaseFrame();
    ASSERT_TRUE(WaitUntil([&] { return device->GetFrameStatus() == CVidlynUSB3Lib::kFrameNew; }));
    const uint8_t* next = device->HoldLatestFrame();
    ASSERT_NE(nullptr, next);
    const int32_t later = device->m_lastDelivered.load();
    EXPECT_GT(later, number);
    EXPECT_EQ(Expected(static_cast<uint32_t>(later)), std::vector<uint8_t>(next, next + bytes));
    device->ReleaseFrame();
    EXPECT_EQ(0, device->StopStream());
}
