// AviWriter: the session's uncompressed AVI recorder file. Frames of 24-bit
// bottom-up rows are appended as "00db" chunks behind a 232-byte header; the
// "idx1" index and the header fields that depend on the whole recording are
// written by Finalize.
//
// The file never grows past `sizeLimit` (the RIFF size, 4 GiB - 1 at most, so
// that no 32-bit size field wraps): AddFrame refuses a frame that would take
// it there, and the recorder then finalizes the file as if its time were up.
#pragma once
#include <cstdint>
#include <vector>

#include "output/OutputFile.h"
#include "pixel/layout/AviLayout.h"

class AviWriter {
public:
    enum AddResult { kAdded, kFull, kWriteFailed };

    AviWriter() = default;
    ~AviWriter() { Reset(); }
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Resets, opens the file (truncated or created) and writes the header for
    // frames of width x height at `rate` frames per second. 1, or 0 when the
    // geometry cannot be recorded or the file cannot be opened or written.
    int Open(const char* fileName);
    // Appends one frame of FrameBytes() bytes and its index entry. kFull when
    // it would take the file past the size limit (nothing written); on a
    // failed write the file is cut back to the frames before it.
    AddResult AddFrame(const uint8_t* pixels);
    // Writes the index and patches the header with the frame count and
    // `rate` (hundredths of a frame per second), then closes the file. The
    // header is patched also when the index cannot be written (a full disk):
    // the file then ends after its last frame and no longer claims an index.
    // 1, or 0 when nothing is open or a write failed.
    int Finalize();
    // Closes an open file without finalizing, empties the index and clears
    // the header and the size counters.
    void Reset();

    bool IsOpen() const { return m_file.IsOpen(); }
    // Bytes of one frame's rows: height x (width x 3 padded to 4).
    uint32_t FrameBytes() const { return m_frameBytes; }
    uint32_t RiffSize() const { return m_riffSize; }
    uint32_t MoviSize() const { return m_moviSize; }

    // Set before Open: the frame size, the bit count of the session buffer
    // recorded (the file always holds 24-bit frames), the provisional rate in
    // frames per second. At the end `rate` is the measured rate in hundredths.
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t rate = 30;
    uint32_t frameCount = 0;
    // The largest RIFF size the file may reach.
    uint64_t sizeLimit = avi::kMaxRiffSize;

private:
    OutputFile m_file;
    uint8_t m_header[avi::kHeaderSize] = {};
    uint32_t m_riffSize = 0;  // bytes after the RIFF size field so far
    uint32_t m_moviSize = 0;  // bytes of the movi list body, "movi" tag included
    uint32_t m_frameBytes = 0;
    std::vector<uint8_t> m_index;  // 16-byte entries in frame order
};
