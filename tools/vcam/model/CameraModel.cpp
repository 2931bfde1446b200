// The simulated camera: protocol answers, frame cadence, scene rendering,
// faults and the transaction log.
#include "CameraModel.h"

#include <algorithm>
#include <cstring>

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

bool CameraModel::FaultHit(DiskOp op, uint64_t offset) {
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

void CameraModel::RemoveAfterFrames(uint32_t frames) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_removeAfter = m_delivered + frames;
    if (frames == 0) m_removed = true;
}

bool CameraModel::Removed() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_removed;
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
    if (m_started && !m_ready && !m_neverReady) {
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
    m_raw.assign(camera::RawFrameBytes(0), 0);
    RenderRawLocked(m_frameNumber, m_raw.data());
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
        if (m_raw.empty()) LatchFrame();
        const uint32_t frameSize = RawFrameSize();
        const uint64_t from = std::max(offset, kImageOffset);
        const uint64_t to = std::min<uint64_t>(offset + length, kImageOffset + rawSize);
        std::memcpy(out + (from - offset), m_raw.data() + (from - kImageOffset), to - from);
        if (offset + length >= kImageOffset + frameSize) {
            m_raw.clear();
            ++m_delivered;
            if (m_removeAfter && m_delivered >= *m_removeAfter) m_removed = true;
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
            m_raw.clear();
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

// The scene: eight vertical colour bars over a left-to-right ramp that darkens
// slightly towards the top, on an RGGB mosaic; a bright column that moves 8
// pixels per frame; and the frame number stamped into the first 8 bytes of the
// top row (4 bytes little-endian, then their complement). The level scales with
// the exposure time (longer for a smaller exposure value) and with the gain.
void CameraModel::RenderPictureLocked(uint32_t frame, uint8_t* dst) const {
    const int d = DivisorLocked();
    const int width = kSensorWidth / d;
    const int height = kSensorHeight / d;
    const int exposure = std::clamp<int>(m_words[sector::kRegExposure], camera::kExposureMin, camera::kExposureMax);
    const int gain = std::min<int>(m_words[sector::kRegGlobalGain], camera::kGainMax);
    // Fixed-point scale, 4096 = 1.0: exposure value 1668 and gain 0 give 1.0.
    const int64_t scale = int64_t(3336 - exposure) * 4096 / 1668 * (256 + gain) / 256;
    const int movingColumn = static_cast<int>((uint64_t(frame) * 8) % uint64_t(width));
    std::vector<int> ramp(static_cast<size_t>(width) * 2);  // [parity of row][x]: base level x 256
    for (int rowParity = 0; rowParity < 2; ++rowParity) {
        for (int x = 0; x < width; ++x) {
            const int bar = x * 8 / width;
            // RGGB: red at (even, even), blue at (odd, odd), green elsewhere.
            const int channel = rowParity == 0 ? (x & 1) : (x & 1) + 1;  // 0 red, 1 green, 2 blue
            const bool lit = channel == 0 ? (bar & 4) : channel == 1 ? (bar & 2) : (bar & 1);
            const int level = 40 + 160 * x / width;
            ramp[size_t(rowParity) * width + x] = level * (lit ? 256 : 90);
        }
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = dst + size_t(y) * width;
        const int* base = ramp.data() + size_t(y & 1) * width;
        const int64_t rowScale = scale * (192 + 64 * y / height) / 256;
        for (int x = 0; x < width; ++x) {
            const int64_t v = (base[x] * rowScale) >> 20;
            row[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
        row[movingColumn] = 255;
    }
    for (int i = 0; i < 4 && i < width; ++i) dst[i] = static_cast<uint8_t>(frame >> (8 * i));
    for (int i = 0; i < 4 && i + 4 < width; ++i) dst[i + 4] = static_cast<uint8_t>(~(frame >> (8 * i)));
}

void CameraModel::RenderRawLocked(uint32_t frame, uint8_t* dst) const {
    const int d = DivisorLocked();
    const int width = kSensorWidth / d;
    const int height = kSensorHeight / d;
    const size_t pixels = size_t(width) * height;
    std::vector<uint8_t> picture(pixels);
    RenderPictureLocked(frame, picture.data());
    if (m_words[sector::kRegSingleOutput] != 0) {
        std::memcpy(dst, picture.data(), pixels);
    } else {
        // Each row goes out as pairs: the next pixel from the left edge, then the
        // next one from the right edge.
        const int half = width / 2;
        for (int y = 0; y < height; ++y) {
            const uint8_t* in = picture.data() + size_t(y) * width;
            uint8_t* out = dst + size_t(y) * width;
            for (int k = 0; k < half; ++k) {
                out[2 * k] = in[k];
                out[2 * k + 1] = in[width - 1 - k];
            }
        }
    }
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
