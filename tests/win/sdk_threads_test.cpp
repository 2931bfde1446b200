// Several application threads on one session: a release while another thread
// is inside a call for the same handle (freed memory is poisoned, so a session
// used after it was freed shows at once), and register writes from the export
// racing the stream and another thread's exposure writes, seen by a spy on
// the raw disk.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "device/SectorLayout.h"

// Freed C++ objects are filled with 0xDD before their memory goes back, so
// that a pointer read from a destroyed session faults instead of looking valid.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept {
    if (!p) return;
    std::memset(p, 0xDD, _msize(p));
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using namespace sdktest;
using vidlyn::test::CameraEnumEntry;
using vidlyn::test::CameraRig;
using vidlyn::test::DeleteDiskEnum;
using vidlyn::test::ModelDisk;
using vidlyn::test::ScopedRawDisk;
using vidlyn::test::WriteDiskEnum;
namespace sector = vidlyn::sector;

// Forwards to the model disk and notes, for every command sector and every
// status or image read, the transfer state of the watched device at that moment.
class SpyDisk final : public IRawDisk {
public:
    struct Entry {
        bool write;
        uint32_t offset;
        uint8_t head[4];
        int32_t state;
    };

    explicit SpyDisk(ModelDisk& inner) : m_inner(inner) {}

    void Watch(CVidlynUSB3Lib* device) { m_device = device; }
    // Address-phase sectors for `address` are held `ms` milliseconds before they go out.
    void DelayAddressSector(uint16_t address, DWORD ms) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_delays[address] = ms;
    }
    std::vector<Entry> Entries() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_entries;
    }

    HANDLE Open(int drive) override { return m_inner.Open(drive); }
    bool Seek(HANDLE disk, uint32_t offset) override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_position[disk] = offset;
        }
        return m_inner.Seek(disk, offset);
    }
    bool Read(HANDLE disk, void* buffer, uint32_t length) override {
        Note(disk, false, nullptr);
        return m_inner.Read(disk, buffer, length);
    }
    bool Write(HANDLE disk, const void* buffer, uint32_t length) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        if (length >= 4 && bytes[0] == sector::kCmdWriteRegister && bytes[1] == sector::kPhaseAddress)
            Sleep(DelayOf(static_cast<uint16_t>(bytes[2] << 8 | bytes[3])));
        Note(disk, true, bytes);
        return m_inner.Write(disk, buffer, length);
    }
    void Close(HANDLE disk) override { m_inner.Close(disk); }

private:
    DWORD DelayOf(uint16_t address) {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_delays.find(address);
        return it == m_delays.end() ? 0 : it->second;
    }
    void Note(HANDLE disk, bool write, const uint8_t* bytes) {
        std::lock_guard<std::mutex> guard(m_lock);
        CVidlynUSB3Lib* device = m_device.load();
        Entry e{write, m_position[disk], {0, 0, 0, 0}, device ? device->GetTransferState() : -1};
        if (bytes) std::memcpy(e.head, bytes, 4);
        m_entries.push_back(e);
    }

    ModelDisk& m_inner;
    std::atomic<CVidlynUSB3Lib*> m_device{nullptr};
    std::mutex m_lock;
    std::map<HANDLE, uint32_t> m_position;
    std::map<uint16_t, DWORD> m_delays;
    std::vector<Entry> m_entries;
};

class SdkThreads : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        Drain(nullptr);
        ASSERT_TRUE(WriteDiskEnum({CameraEnumEntry()}));
        vidlyn::vcam::CameraSettings settings;
        settings.subsampleDivisor = 8;
        settings.frameInterval = std::chrono::milliseconds(30);
        m_camera = &m_rig.Add(0, settings);
    }
    void TearDown() override {
        Drain(nullptr);
        DeleteDiskEnum();
        DeleteSettings();
    }

    // A session streaming small (1/8 size) frames from the camera.
    static void StartSmallStream(int handle) {
        CVidlynQM7720USB3Sdk* device = SdkRegistry::Session(handle)->m_device;
        ASSERT_EQ(device->SetFormat(0, 0, 0, 0, 3), 0);
        ASSERT_EQ(device->StartStream(), 0);
    }

    CameraRig m_rig;
    vidlyn::vcam::CameraModel* m_camera = nullptr;
};

// Thread B is inside a slow call when thread A releases the handle: B finishes
// with a sound answer, A's release returns 1 at once, the handle is unknown to
// every later call, and the session (with its camera) is gone once B is out.
TEST_F(SdkThreads, ReleaseWhileAnotherThreadIsInsideACall) {
    struct SlowCall {
        const char* name;
        bool streaming;  // the call waits for the stream's frame boundary
        int (*call)(int handle, int* ok);
        int expected;
        int expectedOk;  // -1: the export has no such output
    };
    const SlowCall calls[] = {
        // Waits 120 ms before it asks the device.
        {"GetExposureTime", false, [](int h, int* ok) { return Vidlyn_GetExposureTime(h, ok); }, 1668, 1},
        // Holds the stream at a frame boundary, waiting for the current frame.
        {"WriteRegister", true, [](int h, int*) { return Vidlyn_WriteRegister(h, 0x42, 0x77); }, 1, -1},
    };
    constexpr int kRounds = 3;
    for (const SlowCall& c : calls) {
        // A round counts when the release is seen to leave the session to B:
        // the camera is still open after it. On a loaded machine B may be out
        // again before A gets to release; such a round is run again.
        int counted = 0;
        for (int round = 0; round < 4 * kRounds && counted < kRounds; ++round) {
            SCOPED_TRACE(testing::Message() << c.name << " round " << round);
            const int h = Vidlyn_Initialize(nullptr);
            ASSERT_NE(h, 0);
            ASSERT_EQ(Vidlyn_SetExposureTime(h, 1668), 1);
            if (c.streaming) {
                vidlyn::vcam::CameraSettings slow = m_camera->Settings();
                slow.frameInterval = std::chrono::milliseconds(150);
                m_camera->SetSettings(slow);
                StartSmallStream(h);
            }
            // The registry holds the session once; a call inside holds it once more.
            const std::atomic<int32_t>& holders = SdkRegistry::Session(h)->m_holders;
            int ok = -1;
            int result = -1;
            std::atomic<bool> returned{false};
            std::thread b([&] {
                result = c.call(h, &ok);
                returned = true;
            });
            while (holders.load() < 2 && !returned) Sleep(1);
            EXPECT_EQ(Vidlyn_Release(h), 1);
            const bool releasedUnderTheCall = m_rig.disk.OpenHandles() > 0;
            EXPECT_EQ(Vidlyn_GetLastError(h), 0);
            EXPECT_EQ(Vidlyn_Release(h), 0) << "the handle is unknown after the release";
            int lateOk = -1;
            EXPECT_EQ(c.call(h, &lateOk), 0) << "a call after the release";
            EXPECT_EQ(lateOk, -1);
            b.join();
            // B got in before the release, so its answer is the full one.
            EXPECT_EQ(result, c.expected);
            EXPECT_EQ(ok, c.expectedOk);
            EXPECT_EQ(m_rig.disk.OpenHandles(), 0) << "the last call out closed the camera";
            m_camera->SetSettings(vidlyn::vcam::CameraSettings{});
            if (releasedUnderTheCall) ++counted;
        }
        EXPECT_EQ(counted, kRounds) << c.name << ": too few releases came while the call was inside";
    }
}

// Register writes of Vidlyn_WriteRegister while the stream runs and another
// thread keeps setting the exposure: both sectors of every write go out with
// the transfer paused, and nothing else reaches the disk between them.
TEST_F(SdkThreads, RegisterWritesOfTheExportKeepTheStreamPaused) {
    SpyDisk spy(m_rig.disk);
    ScopedRawDisk install(&spy);
    const int h = Vidlyn_Initialize(nullptr);
    ASSERT_NE(h, 0);
    spy.Watch(SdkRegistry::Session(h)->m_device);
    StartSmallStream(h);
    // Both writers hold their sectors a while, so that each often finds the
    // other one's pause in force.
    spy.DelayAddressSector(0x0042, 15);
    spy.DelayAddressSector(sector::kRegExposure, 10);

    std::atomic<bool> stop{false};
    std::thread exposure([&] {
        for (int i = 0; !stop; ++i) {
            Vidlyn_SetExposureTime(h, 100 + i % 50);
            Sleep(1);
        }
    });
    constexpr int kWrites = 40;
    int written = 0;
    for (int i = 0; i < kWrites; ++i) {
        written += Vidlyn_WriteRegister(h, 0x1242, 0x3377);
        Sleep(20);  // room for the other thread to take the pause
    }
    stop = true;
    exposure.join();
    EXPECT_EQ(written, kWrites);
    EXPECT_EQ(Vidlyn_Release(h), 1);

    const std::vector<SpyDisk::Entry> log = spy.Entries();
    const uint8_t address[4] = {sector::kCmdWriteRegister, sector::kPhaseAddress, 0x00, 0x42};
    int seen = 0;
    int unpaused = 0;
    int interleaved = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (!log[i].write || std::memcmp(log[i].head, address, 4) != 0) continue;
        ++seen;
        ASSERT_LT(i + 1, log.size());
        const SpyDisk::Entry& value = log[i + 1];
        const uint8_t expected[4] = {sector::kCmdWriteRegister, sector::kPhaseValue, 0x00, 0x77};
        if (!value.write || std::memcmp(value.head, expected, 4) != 0) ++interleaved;
        if (log[i].state != CVidlynUSB3Lib::kTransferPaused || value.state != CVidlynUSB3Lib::kTransferPaused)
            ++unpaused;
    }
    EXPECT_EQ(seen, kWrites);
    EXPECT_EQ(unpaused, 0) << "register writes of the export sent while the transfer streamed";
    EXPECT_EQ(interleaved, 0) << "writes whose address and value sectors were split by another transfer";
}

}  // namespace
