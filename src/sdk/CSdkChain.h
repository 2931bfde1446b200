// CSdkChain: the process-wide registry of open camera sessions, mapping the
// 32-bit handles that Vidlyn_Initialize returns to their CVidlyn objects.
//
// The ring itself carries no lock; the functions in namespace SdkRegistry
// below hold one registry lock around each ring operation so that several
// application threads cannot corrupt it. The lock is never held while a
// session works or is destroyed, so worker threads never wait for it.
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
// The session of `handle`, or null for an unknown handle or a destroyed session.
CVidlyn* Session(int handle);
// Removes `handle` from the registry and hands back its session for the caller
// to destroy outside the lock. False for an unknown handle.
bool Detach(int handle, CVidlyn** session);
// Number of registered sessions.
int Count();

}  // namespace SdkRegistry
