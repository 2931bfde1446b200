// ModeLock: one acquisition mode change at a time per session. Starting and
// stopping a stream, arming capture, taking a snapshot, recording, closing
// and changing the colour mode hold it for their whole length, so that a
// snapshot asked for on one application thread while another starts or stops
// the stream waits for that to finish and then sees the mode it left (a
// running stream refuses it with code 1), instead of re-making the frame
// buffers under the running acquisition thread.
//
// The holding thread may take it again (a close stops, a preview starts). A
// thread waiting for it still receives the messages other threads send to
// its windows, so that a close on another thread can tear down a preview
// window this thread owns while this thread waits. Worker threads never take it.
#pragma once
#include <windows.h>

#include "session/WorkerJoin.h"

class ModeLock {
public:
    ModeLock() : m_mutex(CreateMutexA(nullptr, FALSE, nullptr)) {}
    ~ModeLock() {
        if (m_mutex) CloseHandle(m_mutex);
    }
    ModeLock(const ModeLock&) = delete;
    ModeLock& operator=(const ModeLock&) = delete;

    class Held {
    public:
        explicit Held(ModeLock& lock) : m_lock(lock) {
            const DWORD got = lock.m_mutex ? WaitDeliveringSent(lock.m_mutex) : WAIT_FAILED;
            m_held = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED_0;
        }
        ~Held() {
            if (m_held) ReleaseMutex(m_lock.m_mutex);
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        ModeLock& m_lock;
        bool m_held = false;
    };

private:
    HANDLE m_mutex;
};
