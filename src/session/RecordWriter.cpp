#include "session/RecordWriter.h"

RecordWriter::RecordWriter(AviWriter& avi) : m_avi(avi) {
    m_work = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (m_work && m_done) m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
}

RecordWriter::~RecordWriter() {
    Wait();
    if (m_thread) {
        m_pixels = nullptr;
        SetEvent(m_work);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_work) CloseHandle(m_work);
    if (m_done) CloseHandle(m_done);
}

void RecordWriter::Append(const uint8_t* pixels) {
    m_inFlight = true;
    if (!m_thread || pixels == nullptr) {
        m_result = m_avi.AddFrame(pixels);
        return;
    }
    m_pixels = pixels;
    SetEvent(m_work);  // the event orders the hand-over: the thread sees m_pixels
}

AviWriter::AddResult RecordWriter::Wait() {
    if (!m_inFlight) return AviWriter::kAdded;
    if (m_thread && m_pixels) WaitForSingleObject(m_done, INFINITE);
    m_pixels = nullptr;
    m_inFlight = false;
    return m_result;
}

DWORD WINAPI RecordWriter::ThreadMain(LPVOID param) {
    RecordWriter* self = static_cast<RecordWriter*>(param);
    for (;;) {
        WaitForSingleObject(self->m_work, INFINITE);
        if (self->m_pixels == nullptr) return 0;
        try {
            self->m_result = self->m_avi.AddFrame(self->m_pixels);
        } catch (...) {
            self->m_result = AviWriter::kWriteFailed;  // the index could not grow: end with what is written
        }
        SetEvent(self->m_done);
    }
}
