#include "output/AviWriter.h"

#include <cstring>

#include "pixel/layout/LittleEndian.h"

int AviWriter::Open(const char* fileName) {
    Reset();
    const uint64_t frameBytes = avi::FrameBytes(width, height);
    // A frame that alone would not fit the file cannot be recorded.
    if (frameBytes == 0 || frameBytes > UINT32_MAX ||
        !avi::FrameFits(avi::kHeaderSize - 8, 0, static_cast<uint32_t>(frameBytes), sizeLimit))
        return 0;
    m_frameBytes = static_cast<uint32_t>(frameBytes);
    if (!m_file.Open(fileName)) return 0;
    avi::BuildHeader(m_header, width, height, m_frameBytes, rate);
    if (!m_file.Write(m_header, sizeof(m_header))) {
        Reset();
        return 0;
    }
    frameCount = 0;
    m_riffSize = avi::kHeaderSize - 8;  // every byte after the RIFF size field
    m_moviSize = 4;                     // the "movi" tag
    return 1;
}

AviWriter::AddResult AviWriter::AddFrame(const uint8_t* pixels) {
    if (!IsOpen() || pixels == nullptr) return kWriteFailed;
    if (!avi::FrameFits(m_riffSize, frameCount, m_frameBytes, sizeLimit)) return kFull;
    uint8_t chunk[avi::kChunkHeaderSize];
    avi::BuildChunkHeader(chunk, "00db", m_frameBytes);
    if (!m_file.Write(chunk, sizeof(chunk)) || !m_file.Write(pixels, m_frameBytes)) {
        // Cut the partial chunk off, so that the frames before it can still be finalized.
        m_file.Seek(uint64_t{8} + m_riffSize);
        m_file.Truncate();
        return kWriteFailed;
    }
    uint8_t entry[avi::kIndexEntrySize];
    avi::BuildIndexEntry(entry, m_moviSize, m_frameBytes);
    m_index.insert(m_index.end(), entry, entry + sizeof(entry));
    m_riffSize += avi::kChunkHeaderSize + m_frameBytes;
    m_moviSize += avi::kChunkHeaderSize + m_frameBytes;
    ++frameCount;
    return kAdded;
}

int AviWriter::Finalize() {
    if (!IsOpen()) return 0;
    const uint32_t indexBytes = static_cast<uint32_t>(m_index.size());
    uint8_t chunk[avi::kChunkHeaderSize];
    avi::BuildChunkHeader(chunk, "idx1", indexBytes);
    const bool indexed = m_file.Seek(uint64_t{8} + m_riffSize) && m_file.Write(chunk, sizeof(chunk)) &&
                         m_file.Write(m_index.data(), m_index.size());
    if (indexed) {
        m_riffSize += avi::kChunkHeaderSize + indexBytes;
    } else {
        // No room for the index (a full disk): the file ends after its last
        // frame, and its header no longer promises an index. Players find the
        // frames by walking the movi list.
        uint8_t* flags = m_header + avi::kFlagsOffset;
        pixel::Put32(flags, avi::kCaptureFileFlag);
        if (m_file.Seek(uint64_t{8} + m_riffSize)) m_file.Truncate();
        if (m_file.Seek(avi::kFlagsOffset)) m_file.Write(flags, 4);
    }
    // The header fields overwrite bytes that are there already: they are
    // written whatever became of the index, so that the frames stay readable.
    bool ok = indexed;
    for (const avi::Patch& patch : avi::FinalPatches(m_riffSize, m_moviSize, frameCount, rate)) {
        uint8_t* value = m_header + patch.offset;  // the header block stays as the file has it
        pixel::Put32(value, patch.value);
        const bool patched = m_file.Seek(patch.offset) && m_file.Write(value, 4);
        ok = patched && ok;
    }
    ok = m_file.Close() && ok;
    return ok ? 1 : 0;
}

void AviWriter::Reset() {
    m_file.Close();
    m_index.clear();
    m_index.shrink_to_fit();
    std::memset(m_header, 0, sizeof(m_header));
    m_riffSize = 0;
    m_moviSize = 0;
    m_frameBytes = 0;
}
