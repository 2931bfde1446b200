// CSdkChain: the process-wide registry of open camera sessions, mapping the
// 32-bit handles that Vidlyn_Initialize returns to their CVidlyn objects.
//
// The ring itself carries no lock; the functions in namespace SdkRegistry
// below hold one registry lock around each ring operation so that several
// application threads cannot corrupt it. The lock is never held while a
// session works or is destroyed, so worker threads never wait for it.
//
// A session lives as long as its last holder: the registry holds it while its
// handle is open, and every call holds it for its own length (SessionRef). A
// release takes the handle out at once; the session is destroyed by whoever
// lets go last, the release itself or the last call still inside it.
#pragma once
#include <cstdint>

#include "sdk/CTRing.h"

class CVidlyn;

// One ring element per open session.
struct CSDKDATA {
    uint64_t handle = 0;         // only the low 32 bits are meaningful
    CVidlyn* session = nullptr;  // owned; null once the session is destroyed
    CSDKDATA* prev = nullptr;
    CSDKDATA* next = nullptr;
};

class CSdkChain : public CTRing<CSDKDATA> {
public:
    // Makes a new session, draws a handle for it (tick count + the thread's next
    // rand() + the number of open sessions, drawn again while it is 0 or already
    // in use) and appends the pair. The handle, or 0 when the session or its
    // element could not be allocated.
    uint32_t createSession();
};

namespace SdkRegistry {

// The one registry of the library.
CSdkChain& Chain();

// Creates and registers a session; its handle, or 0.
uint32_t Create();
// A hold on a session for the length of one call; empty for an unknown handle.
// Letting go of the last hold destroys a session whose handle was released.
class SessionRef {
public:
    SessionRef() = default;
    explicit SessionRef(CVidlyn* session) : m_session(session) {}
    ~SessionRef();
    SessionRef(SessionRef&& other) noexcept : m_session(other.m_session) { other.m_session = nullptr; }
    SessionRef(const SessionRef&) = delete;
    SessionRef& operator=(const SessionRef&) = delete;
    SessionRef& operator=(SessionRef&&) = delete;

    CVidlyn* get() const { return m_session; }
    CVidlyn& operator*() const { return *m_session; }
    CVidlyn* operator->() const { return m_session; }
    explicit operator bool() const { return m_session != nullptr; }

private:
    CVidlyn* m_session = nullptr;
};

// Holds the session of `handle`; empty for an unknown handle.
SessionRef Hold(int handle);
// The session of `handle` without holding it, or null (for callers that know
// nobody releases it meanwhile).
CVidlyn* Session(int handle);
// Takes `handle` out of the registry and drops the registry's hold on its
// session: destroyed here unless a call still holds it. False for an unknown handle.
bool Release(int handle);
// Number of registered sessions.
int Count();

}  // namespace SdkRegistry
