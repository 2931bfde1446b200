// The simulated camera: protocol answers, frame cadence, scene rendering,
// faults and the transaction log.
#include "CameraModel.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "FrameCounter.h"
#include "device/CameraFacts.h"
#include "device/SectorLayout.h"

namespace vidlyn::vcam {

namespace sector = vidlyn::sector;
namespace camera = vidlyn::camera;
using camera::kSensorHeight;
using camera::kSensorWidth;

namespace {
constexpr size_t kLogCapacity = 200000;
constexpr uint16_t kDefaultGain = 64;
constexpr uint16_t kDefaultExposure = 1668;
}  // namespace

CameraModel::CameraModel(const CameraSettings& settings) : m_settings(settings) {
    // Power-up readout: dual-output rows, full size, mid exposure.
    m_words[sector::kRegReadoutUpdate] = 1;
    m_words[sector::kRegSingleOutput] = 0;
    m_words[sector::kRegSubsample] = 0;
    m_words[sector::kRegGlobalGain] = kDefaultGain;
    m_words[sector::kRegExposure] = kDefaultExposure;
}

uint64_t CameraModel::DiskSize() { return kImageOffset + camera::RawFrameBytes(0); }

// --- faults and log ---

void CameraModel::ReplugLocked() {
    if (!m_replugAt || Clock::now() < *m_replugAt) return;
    // Back on the port as a camera that has just been powered: nothing latched, not started.
    m_replugAt.reset();
    m_removed = false;
    m_settings.productId = m_replugProduct;
    m_started = false;
    m_latched = false;
    m_ready = false;
}

bool CameraModel::FaultHit(DiskOp op, uint64_t offset) {
    ReplugLocked();
    if (m_removed) return true;
    for (FaultRule& rule : m_faults) {
        if (rule.op != op || (rule.offset && *rule.offset != offset)) continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.count == 0) continue;
        if (rule.count > 0) --rule.count;
        return true;
    }
    return false;
}

void CameraModel::Record(DiskOp op, uint64_t offset, uint32_t length, const void* data, bool ok) {
    Transaction t{op, offset, length, {0, 0, 0, 0}, ok};
    if (data) std::memcpy(t.head, data, std::min<uint32_t>(length, sizeof(t.head)));
    if (m_log.size() == kLogCapacity) m_log.pop_front();
    m_log.push_back(t);
    if (op != DiskOp::Seek) ++m_counts[{op, offset}];
}

std::vector<Transaction> CameraModel::Log() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return {m_log.begin(), m_log.end()};
}

void CameraModel::ClearLog() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_log.clear();
    m_counts.clear();
}

uint64_t CameraModel::CountReads(uint64_t offset) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_counts.find({DiskOp::Read, offset});
    return it == m_counts.end() ? 0 : it->second;
}

uint64_t CameraModel::CountWrites(uint64_t offset) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_counts.find({DiskOp::Write, offset});
    return it == m_counts.end() ? 0 : it->second;
}

void CameraModel::AddFault(const FaultRule& rule) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.push_back(rule);
}

void CameraModel::ClearFaults() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_faults.clear();
}

void CameraModel::SetNeverReady(bool neverReady) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_neverReady = neverReady;
}

void CameraModel::Remove() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_removed = true;
}

void CameraModel::RemoveAfterFrames(uint32_t frames, uint32_t bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_removeAfter = m_delivered + frames;
    m_removeBytes = bytes;
    if (frames == 0 && bytes == 0) m_removed = true;
}

void CameraModel::ReplugAfterFrames(uint32_t frames, std::chrono::milliseconds gone, uint16_t productId) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_replugAfter = m_delivered + frames;
    m_replugGone = gone;
    m_replugProduct = productId;
}

bool CameraModel::Removed() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_removed;
}

void CameraModel::StallAfterFrames(uint32_t frames, std::chrono::milliseconds duration) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_stallFor = duration;
    m_stallUntil.reset();
    m_stallAfter = m_delivered + frames;
    if (frames == 0) {
        m_stallUntil = Clock::now() + duration;
        m_stallAfter.reset();
    }
}

bool CameraModel::StalledLocked() const {
    return m_stallUntil && (m_stallFor.count() == 0 || Clock::now() < *m_stallUntil);
}

bool CameraModel::Stalled() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return StalledLocked();
}

// --- state ---

uint16_t CameraModel::Register(uint16_t address) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_words[address];
}

uint8_t CameraModel::ByteRegister(uint16_t address) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bytes[address];
}

std::vector<std::pair<uint16_t, uint16_t>> CameraModel::RegisterWrites() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_registerWrites;
}

bool CameraModel::Started() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_started;
}

uint32_t CameraModel::FramesDelivered() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_delivered;
}

CameraSettings CameraModel::Settings() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_settings;
}

void CameraModel::SetSettings(const CameraSettings& settings) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_settings = settings;
}

// --- the disk ---

bool CameraModel::Seek(uint64_t offset) {
    std::lock_guard<std::mutex> guard(m_lock);
    const bool ok = !FaultHit(DiskOp::Seek, offset);
    Record(DiskOp::Seek, offset, 0, nullptr, ok);
    return ok;
}

void CameraModel::ScheduleNextFrame() {
    const Clock::time_point now = Clock::now();
    const Clock::time_point due = m_nextDue + m_settings.frameInterval;
    m_nextDue = std::max(due, now);
    m_pollsLeft = m_settings.notReadyPolls;
    m_ready = false;
}

void CameraModel::FillStatus(uint8_t* sector) {
    std::memset(sector, 0, sector::kSectorSize);
    std::memcpy(sector, m_settings.identity.data(), std::min<size_t>(m_settings.identity.size(), 26));
    sector[sector::kProductIdLow] = static_cast<uint8_t>(m_settings.productId & 0xFF);
    sector[sector::kProductIdHigh] = static_cast<uint8_t>(m_settings.productId >> 8);
    if (m_stallUntil && !StalledLocked()) {
        // The link is back: the next frame comes as if it had just been started.
        m_stallUntil.reset();
        m_nextDue = Clock::now();
    }
    if (m_started && !m_ready && !m_neverReady && !m_stallUntil) {
        if (m_pollsLeft > 0)
            --m_pollsLeft;
        else if (Clock::now() >= m_nextDue)
            m_ready = true;
    }
    sector[sector::kReadyFlag] = m_ready && !m_neverReady ? 1 : m_settings.notReadyValue;
    sector[sector::kReadAnswer] = m_readAnswer;
}

void CameraModel::LatchFrame() {
    ++m_frameNumber;
    // The buffer spans the largest frame; a smaller one leaves zeros behind it.
    const uint32_t full = camera::RawFrameBytes(0);
    m_raw.resize(full);
    const uint32_t size = RawFrameSize();
    RenderRawLocked(m_frameNumber, m_raw.data());
    std::memset(m_raw.data() + size, 0, full - size);
    m_latched = true;
    m_latchedRead = 0;
}

bool CameraModel::ReadAt(uint64_t offset, void* buffer, uint32_t length) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (FaultHit(DiskOp::Read, offset)) {
        Record(DiskOp::Read, offset, length, nullptr, false);
        return false;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, length);
    // The status sector is produced once per read that touches it.
    if (offset < kStatusOffset + sector::kSectorSize && offset + length > kStatusOffset) {
        uint8_t status[sector::kSectorSize];
        FillStatus(status);
        const uint64_t from = std::max(offset, kStatusOffset);
        const uint64_t to = std::min<uint64_t>(offset + length, kStatusOffset + sector::kSectorSize);
        std::memcpy(out + (from - offset), status + (from - kStatusOffset), to - from);
    }
    const uint32_t rawSize = camera::RawFrameBytes(0);
    if (offset + length > kImageOffset && offset < kImageOffset + rawSize) {
        // The ready frame is latched by the first read of the image area and
        // released when the host has read its last byte.
        if (!m_latched) LatchFrame();
        const uint64_t into = m_latchedRead + length;
        if (m_removeAfter && m_removeBytes && m_delivered >= *m_removeAfter && into > m_removeBytes) {
            m_removed = true;  // pulled part-way through this frame
            Record(DiskOp::Read, offset, length, nullptr, false);
            return false;
        }
        m_latchedRead = static_cast<uint32_t>(std::min<uint64_t>(into, UINT32_MAX));
        const uint32_t frameSize = RawFrameSize();
        const uint64_t from = std::max(offset, kImageOffset);
        const uint64_t to = std::min<uint64_t>(offset + length, kImageOffset + rawSize);
        std::memcpy(out + (from - offset), m_raw.data() + (from - kImageOffset), to - from);
        if (offset + length >= kImageOffset + frameSize) {
            m_latched = false;
            m_latchedRead = 0;
            ++m_delivered;
            if (m_removeAfter && !m_removeBytes && m_delivered >= *m_removeAfter) m_removed = true;
            if (m_replugAfter && m_delivered >= *m_replugAfter) {
                m_removed = true;
                m_replugAt = Clock::now() + m_replugGone;
                m_replugAfter.reset();
            }
            if (m_stallAfter && m_delivered >= *m_stallAfter) {
                m_stallUntil = Clock::now() + m_stallFor;
                m_stallAfter.reset();
            }
            ScheduleNextFrame();
        }
    }
    Record(DiskOp::Read, offset, length, nullptr, true);
    return true;
}

bool CameraModel::WriteAt(uint64_t offset, const void* buffer, uint32_t length) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (FaultHit(DiskOp::Write, offset)) {
        Record(DiskOp::Write, offset, length, buffer, false);
        return false;
    }
    if (offset == kCommandOffset && length >= 4) Command(static_cast<const uint8_t*>(buffer));
    Record(DiskOp::Write, offset, length, buffer, true);
    return true;
}

void CameraModel::Command(const uint8_t* sector) {
    const uint16_t address = static_cast<uint16_t>(sector[1] << 8 | sector[2]);
    switch (sector[0]) {
        case sector::kCmdStart:
            m_started = true;
            m_latched = false;
            m_nextDue = Clock::now();
            ScheduleNextFrame();
            break;
        case sector::kCmdWriteRegister:
            // Byte 1 = 0 opens a two-phase write (bytes 2..3 the address); byte 1 = 1
            // completes it (bytes 2..3 the value). Anything else is a byte-form write
            // to the address in bytes 1..2. A byte-form write to 0x00xx or 0x01xx
            // cannot be told from a phase sector; this model never sees one from the library.
            if (sector[1] == sector::kPhaseAddress) {
                m_pendingAddress = static_cast<uint16_t>(sector[2] << 8 | sector[3]);
            } else if (sector[1] == sector::kPhaseValue && m_pendingAddress) {
                const uint16_t value = static_cast<uint16_t>(sector[2] << 8 | sector[3]);
                m_words[*m_pendingAddress] = value;
                if (const size_t keep = m_settings.registerWriteHistory; keep && m_registerWrites.size() >= keep)
                    m_registerWrites.erase(m_registerWrites.begin(), m_registerWrites.end() - keep / 2);
                m_registerWrites.emplace_back(*m_pendingAddress, value);
                m_pendingAddress.reset();
            } else {
                m_bytes[address] = sector[3];
            }
            break;
        case sector::kCmdReadRegister:
            m_readAnswer = m_bytes[address];
            break;
        default:
            break;
    }
}

// --- geometry and rendering ---

int CameraModel::DivisorLocked() const {
    if (m_words[sector::kRegSubsample] == 0) return 1;
    const int d = m_settings.subsampleDivisor;
    return (d == 2 || d == 4 || d == 8) ? d : 2;
}

int CameraModel::PictureWidth() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return kSensorWidth / DivisorLocked();
}

int CameraModel::PictureHeight() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return kSensorHeight / DivisorLocked();
}

bool CameraModel::DualOutput() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_words[sector::kRegSingleOutput] == 0;
}

uint32_t CameraModel::RawFrameSize() const {
    const int d = DivisorLocked();
    const int code = d == 8 ? 3 : d == 4 ? 2 : d == 2 ? 1 : 0;
    return camera::RawFrameBytes(code);
}

void CameraModel::RenderPicture(uint32_t frame, uint8_t* dst) const {
    std::lock_guard<std::mutex> guard(m_lock);
    RenderPictureLocked(frame, dst);
}

void CameraModel::RenderRaw(uint32_t frame, uint8_t* dst) const {
    std::lock_guard<std::mutex> guard(m_lock);
    RenderRawLocked(frame, dst);
}

namespace {

// One row as the camera's two outputs send it: pairs of the next pixel from
// the left edge and the next one from the right edge.
void WeaveDualOutputRow(const uint8_t* in, int width, uint8_t* out) {
    const int half = width / 2;
    const uint8_t* right = in + width - 1;
    int k = 0;
#if defined(__SSE2__)
    // 16 pairs at a time: 16 pixels from the left, 16 from the right reversed.
    for (; k + 16 <= half; k += 16) {
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right - k - 15));
        r = _mm_shuffle_epi32(r, _MM_SHUFFLE(0, 1, 2, 3));
        r = _mm_shufflelo_epi16(r, _MM_SHUFFLE(2, 3, 0, 1));
        r = _mm_shufflehi_epi16(r, _MM_SHUFFLE(2, 3, 0, 1));
        r = _mm_or_si128(_mm_slli_epi16(r, 8), _mm_srli_epi16(r, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_unpacklo_epi8(left, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 16), _mm_unpackhi_epi8(left, r));
    }
#endif
    for (; k < half; ++k) {
        out[2 * k] = in[k];
        out[2 * k + 1] = right[-k];
    }
}

}  // namespace

SceneParams CameraModel::SceneLocked() const {
    const int d = DivisorLocked();
    SceneParams p;
    p.scene = m_settings.scene;
    p.width = kSensorWidth / d;
    p.height = kSensorHeight / d;
    p.exposure = m_words[sector::kRegExposure];
    p.gain = m_words[sector::kRegGlobalGain];
    p.flatLevel = m_settings.flatLevel;
    return p;
}

const uint8_t* CameraModel::SceneBaseLocked(const SceneParams& params) const {
    if (!m_sceneBaseParams || !(*m_sceneBaseParams == params)) {
        m_sceneBase.resize(size_t(params.width) * params.height);
        RenderSceneBase(params, m_sceneBase.data());
        m_sceneBaseParams = params;
    }
    return m_sceneBase.data();
}

// The moving scene with the drawn counter, and the frame number stamped into
// the first 8 bytes of the top row (4 bytes little-endian, then their complement).
const uint8_t* CameraModel::PictureRowLocked(const SceneParams& params, uint32_t frame, int y, uint8_t* scratch) const {
    const int w = params.width;
    const uint8_t* base = SceneBaseLocked(params) + size_t(y) * w;
    const int shift = SceneShift(params, frame);
    const CounterLayout counter = CounterLayoutFor(w);
    const bool counterRow = SceneHasCounter(params.scene) && y >= counter.y0 && y < counter.y0 + counter.height;
    if (shift == 0 && y != 0 && !counterRow) return base;
    std::memcpy(scratch, base + shift, size_t(w - shift));
    std::memcpy(scratch + (w - shift), base, size_t(shift));
    if (counterRow) DrawCounterRow(scratch, w, y, frame);
    if (y == 0) {
        for (int i = 0; i < 4 && i < w; ++i) scratch[i] = static_cast<uint8_t>(frame >> (8 * i));
        for (int i = 0; i < 4 && i + 4 < w; ++i) scratch[i + 4] = static_cast<uint8_t>(~(frame >> (8 * i)));
    }
    return scratch;
}

void CameraModel::RenderPictureLocked(uint32_t frame, uint8_t* dst) const {
    const SceneParams params = SceneLocked();
    for (int y = 0; y < params.height; ++y) {
        uint8_t* out = dst + size_t(y) * params.width;
        const uint8_t* row = PictureRowLocked(params, frame, y, out);
        if (row != out) std::memcpy(out, row, size_t(params.width));
    }
}

void CameraModel::RenderRawLocked(uint32_t frame, uint8_t* dst) const {
    const SceneParams params = SceneLocked();
    const int width = params.width;
    const bool dual = m_words[sector::kRegSingleOutput] == 0;
    std::vector<uint8_t> scratch(static_cast<size_t>(width));
    for (int y = 0; y < params.height; ++y) {
        uint8_t* out = dst + size_t(y) * width;
        const uint8_t* in = PictureRowLocked(params, frame, y, scratch.data());
        if (!dual) {
            std::memcpy(out, in, size_t(width));
            continue;
        }
        WeaveDualOutputRow(in, width, out);
    }
    const size_t pixels = size_t(width) * params.height;
    std::memset(dst + pixels, 0, RawFrameSize() - pixels);
}

uint32_t CameraModel::DecodeFrameNumber(const uint8_t* picture) {
    uint32_t number = 0;
    for (int i = 0; i < 4; ++i) {
        if (static_cast<uint8_t>(~picture[i + 4]) != picture[i]) return 0;
        number |= uint32_t(picture[i]) << (8 * i);
    }
    return number;
}

double CameraModel::MeanLevel(uint32_t frame) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const int d = DivisorLocked();
    const size_t pixels = size_t(kSensorWidth / d) * (kSensorHeight / d);
    std::vector<uint8_t> picture(pixels);
    RenderPictureLocked(frame, picture.data());
    uint64_t sum = 0;
    for (uint8_t v : picture) sum += v;
    return double(sum) / double(pixels);
}

}  // namespace vidlyn::vcam
