// CameraModel: a simulated QM7720E camera as seen through its raw disk.
//
// The model answers byte-addressed reads and writes exactly as the camera's
// sector protocol defines them: the status sector (identity, product id, ready
// flag, register read answer), the command sector (start, byte-form and
// two-phase register writes, register read) and the image data area, which
// holds one raw frame in the sensor's dual-output row layout. It renders a
// deterministic synthetic Bayer scene whose level follows the exposure and gain
// registers, injects faults on request and records every transaction.
//
// Hosts: tests keep it behind the library's raw-disk seam; a FUSE daemon can
// serve the same object as a file. No Windows types here. All operations are
// safe to call from several threads (one lock around the model's state).
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Scene.h"

namespace vidlyn::vcam {

struct CameraSettings {
    // Status sector bytes 0..25 and 26..27.
    std::string identity = "NORVEX USB 3.0 Camera V1.0";
    uint16_t productId = 0x06E0;
    // Divisor of both picture dimensions while register 0x3002 selects a
    // subsampled readout (2, 4 or 8); the registers only say on or off.
    int subsampleDivisor = 2;
    // Frame cadence after the start command: a frame becomes ready this long
    // after the previous one was due (0: at once)...
    std::chrono::microseconds frameInterval{0};
    // ...and only after this many status reads have answered "not ready".
    int notReadyPolls = 0;
    // Byte 256 while no frame is ready (anything but 1 means "not ready").
    uint8_t notReadyValue = 0;
    // What the camera looks at; the flat scene's level at the reference exposure.
    Scene scene = Scene::Bars;
    uint8_t flatLevel = 128;
    // Two-phase writes kept for RegisterWrites (0: all); a camera that runs for
    // hours keeps only the most recent ones.
    size_t registerWriteHistory = 0;
};

enum class DiskOp : uint8_t { Seek, Read, Write };

// One transaction the model saw. `head` holds the first bytes written (command
// sectors); `ok` is false when a fault was injected or the camera was gone.
struct Transaction {
    DiskOp op;
    uint64_t offset;
    uint32_t length;
    uint8_t head[4];
    bool ok;
};

// Fails matching operations: after `skip` matches pass, the next `count` fail
// (count < 0: all that follow). `offset` empty matches any offset.
struct FaultRule {
    DiskOp op;
    std::optional<uint64_t> offset;
    int skip = 0;
    int count = -1;
};

class CameraModel {
public:
    static constexpr uint64_t kStatusOffset = 0x20000;
    static constexpr uint64_t kCommandOffset = 0x20200;
    static constexpr uint64_t kImageOffset = 0x20400;

    explicit CameraModel(const CameraSettings& settings = CameraSettings());

    // --- the disk as the host sees it ---
    bool Seek(uint64_t offset);
    bool ReadAt(uint64_t offset, void* buffer, uint32_t length);
    bool WriteAt(uint64_t offset, const void* buffer, uint32_t length);
    // Bytes the disk spans: up to the end of the largest raw frame.
    static uint64_t DiskSize();

    // --- geometry and rendering, with the registers as they are now ---
    int PictureWidth() const;
    int PictureHeight() const;
    bool DualOutput() const;
    uint32_t RawFrameSize() const;  // whole sectors
    // The picture of frame `frame` (rows in order, PictureWidth x PictureHeight bytes).
    void RenderPicture(uint32_t frame, uint8_t* dst) const;
    // The same frame as the camera sends it (RawFrameSize bytes, dual-output rows when selected).
    void RenderRaw(uint32_t frame, uint8_t* dst) const;
    // Frame number stamped into the first bytes of a picture; 0 when the stamp is not intact.
    static uint32_t DecodeFrameNumber(const uint8_t* picture);
    // Mean sample of a frame's picture (closed-loop exposure tests).
    double MeanLevel(uint32_t frame) const;

    // --- state ---
    uint16_t Register(uint16_t address) const;
    uint8_t ByteRegister(uint16_t address) const;
    std::vector<std::pair<uint16_t, uint16_t>> RegisterWrites() const;  // two-phase writes, in order
    bool Started() const;
    uint32_t FramesDelivered() const;  // frames whose last byte the host has read
    CameraSettings Settings() const;
    void SetSettings(const CameraSettings& settings);

    // --- faults ---
    void AddFault(const FaultRule& rule);
    void ClearFaults();
    void SetNeverReady(bool neverReady);
    void Remove();  // the camera is unplugged: every transaction fails from now on
    // Unplugged once `frames` frames have been delivered and `bytes` bytes of the
    // next frame's image read (0: right after the last byte of frame `frames`);
    // the read that reaches past those bytes fails.
    void RemoveAfterFrames(uint32_t frames, uint32_t bytes = 0);
    bool Removed() const;
    // The link stalls once `frames` frames have been delivered: no frame becomes
    // ready for `duration` (zero: for good), while status reads still answer.
    void StallAfterFrames(uint32_t frames, std::chrono::milliseconds duration);
    bool Stalled() const;
    // The camera is unplugged once `frames` frames have been delivered and comes
    // back `gone` later as a freshly powered camera (not started) reporting
    // `productId`: another device on the same port when that is not its own.
    void ReplugAfterFrames(uint32_t frames, std::chrono::milliseconds gone, uint16_t productId);

    // --- transaction log (the most recent entries; totals never wrap) ---
    std::vector<Transaction> Log() const;
    void ClearLog();
    uint64_t CountReads(uint64_t offset) const;  // since the last ClearLog
    uint64_t CountWrites(uint64_t offset) const;

private:
    using Clock = std::chrono::steady_clock;

    bool FaultHit(DiskOp op, uint64_t offset);
    // Carries out a replug that is due.
    void ReplugLocked();
    void Record(DiskOp op, uint64_t offset, uint32_t length, const void* data, bool ok);
    void FillStatus(uint8_t* sector);
    void Command(const uint8_t* sector);
    void LatchFrame();
    void ScheduleNextFrame();
    int DivisorLocked() const;
    bool StalledLocked() const;
    SceneParams SceneLocked() const;
    const uint8_t* SceneBaseLocked(const SceneParams& params) const;
    // Picture row `y` of frame `frame`: a row of the still scene, or `scratch` moved and stamped.
    const uint8_t* PictureRowLocked(const SceneParams& params, uint32_t frame, int y, uint8_t* scratch) const;
    void RenderPictureLocked(uint32_t frame, uint8_t* dst) const;
    void RenderRawLocked(uint32_t frame, uint8_t* dst) const;

    mutable std::mutex m_lock;
    CameraSettings m_settings;
    std::vector<FaultRule> m_faults;
    bool m_neverReady = false;
    bool m_removed = false;
    std::optional<uint32_t> m_removeAfter;
    uint32_t m_removeBytes = 0;
    uint32_t m_latchedRead = 0;  // bytes of the latched frame read so far
    std::optional<uint32_t> m_replugAfter;
    std::chrono::milliseconds m_replugGone{0};
    uint16_t m_replugProduct = 0;
    std::optional<Clock::time_point> m_replugAt;  // set when the camera is pulled
    std::optional<uint32_t> m_stallAfter;
    std::chrono::milliseconds m_stallFor{0};
    std::optional<Clock::time_point> m_stallUntil;  // set when the stall begins

    uint16_t m_words[0x10000] = {};
    uint8_t m_bytes[0x10000] = {};
    std::vector<std::pair<uint16_t, uint16_t>> m_registerWrites;
    std::optional<uint16_t> m_pendingAddress;
    uint8_t m_readAnswer = 0;

    bool m_started = false;
    Clock::time_point m_nextDue{};
    int m_pollsLeft = 0;
    bool m_ready = false;
    uint32_t m_frameNumber = 0;  // last frame latched
    uint32_t m_delivered = 0;
    std::vector<uint8_t> m_raw;  // the latched frame as sent
    bool m_latched = false;
    // The still part of the scene for the registers it was rendered with.
    mutable std::vector<uint8_t> m_sceneBase;
    mutable std::optional<SceneParams> m_sceneBaseParams;

    std::deque<Transaction> m_log;
    std::map<std::pair<DiskOp, uint64_t>, uint64_t> m_counts;
};

}  // namespace vidlyn::vcam
