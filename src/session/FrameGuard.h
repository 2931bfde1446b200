// FrameGuard: keeps every reader of the session's output picture from seeing
// a frame that the acquisition loop is still writing.
//
// The loop places and converts each frame inside a Writing scope. Whoever
// copies the picture out on another thread (Vidlyn_GetImage, the record
// thread, the still image writers) does so inside a Reading scope. Readers
// share the guard and never wait for each other; the loop waits for a reader
// only while that reader copies, and a reader waits at most one placement and
// conversion. With nobody reading, a frame costs one uncontended lock.
//
// Every finished Writing scope counts one frame. Reading::Frame() names the
// frame now in the picture, so that a reader can tell a frame it took already
// (it may have copied a frame before the loop announced it) from a new one.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

class FrameGuard {
public:
    FrameGuard() = default;
    FrameGuard(const FrameGuard&) = delete;
    FrameGuard& operator=(const FrameGuard&) = delete;

    // Held by the one thread that writes the picture, for as long as it writes.
    class Writing {
    public:
        explicit Writing(FrameGuard& guard) : m_guard(guard) { AcquireSRWLockExclusive(&m_guard.m_lock); }
        ~Writing() {
            m_guard.m_frame.fetch_add(1, std::memory_order_relaxed);
            ReleaseSRWLockExclusive(&m_guard.m_lock);
        }
        Writing(const Writing&) = delete;
        Writing& operator=(const Writing&) = delete;

    private:
        FrameGuard& m_guard;
    };

    // Held by a reader for as long as it copies the picture.
    class Reading {
    public:
        explicit Reading(FrameGuard& guard) : m_guard(guard) { AcquireSRWLockShared(&m_guard.m_lock); }
        ~Reading() { ReleaseSRWLockShared(&m_guard.m_lock); }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        // The frame in the picture: it cannot change while the scope lasts.
        uint32_t Frame() const { return m_guard.m_frame.load(std::memory_order_relaxed); }

    private:
        FrameGuard& m_guard;
    };

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    std::atomic<uint32_t> m_frame{0};
};
