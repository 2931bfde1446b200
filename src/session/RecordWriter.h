// RecordWriter: appends the recorder's frames to the AVI file on a thread of
// its own, so that the record thread builds the next frame while the disk
// takes the previous one. One frame is in flight at a time: Append hands it
// over, Wait collects its result, and the frame's pixels must stay untouched
// until then.
//
// When the helper thread cannot be made, Append writes on the caller's thread:
// the recording goes on, only without the overlap.
#pragma once
#include <windows.h>

#include <cstdint>

#include "output/AviWriter.h"

class RecordWriter {
public:
    explicit RecordWriter(AviWriter& avi);
    // Collects a frame still in flight and ends the helper thread.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Starts appending `pixels` (AviWriter::FrameBytes() of them). The frame
    // handed over before must have been collected with Wait.
    void Append(const uint8_t* pixels);
    // Waits for the frame in flight and returns its AviWriter::AddFrame
    // result; kAdded when none is in flight.
    AviWriter::AddResult Wait();
    bool InFlight() const { return m_inFlight; }

private:
    static DWORD WINAPI ThreadMain(LPVOID self);

    AviWriter& m_avi;
    HANDLE m_work = nullptr;  // auto-reset: a frame, or the end, is waiting
    HANDLE m_done = nullptr;  // auto-reset: the frame is written
    HANDLE m_thread = nullptr;
    const uint8_t* m_pixels = nullptr;  // null tells the thread to end
    AviWriter::AddResult m_result = AviWriter::kAdded;
    bool m_inFlight = false;
};
