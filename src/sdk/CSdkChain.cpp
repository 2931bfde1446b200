#include "sdk/CSdkChain.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <new>

#include "session/CVidlyn.h"

namespace {

// Slim reader/writer lock used exclusively; needs no set-up or tear-down, so
// it is usable at any point of the library's load and unload.
class RegistryLock {
public:
    void lock() { AcquireSRWLockExclusive(&m_lock); }
    void unlock() { ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

RegistryLock g_lock;
CSdkChain g_chain;  // built at load (empty ring); its destructor frees the elements only

}  // namespace

uint32_t CSdkChain::createSession() {
    uint32_t handle = 0;
    for (;;) {
        const uint32_t tick = GetTickCount();
        const uint32_t random = static_cast<uint32_t>(std::rand());
        const uint32_t sessions = static_cast<uint32_t>(m_count);
        handle = tick + random + sessions;
        // 0 is the failure result of Vidlyn_Initialize, and a duplicate would
        // hide one of two sessions from every lookup: draw again.
        if (handle != 0 && !contains(handle)) break;
    }
    CVidlyn* session = new (std::nothrow) CVidlyn;
    if (!session) return 0;
    CSDKDATA element;
    element.handle = handle;
    element.session = session;
    if (!append(element)) {
        delete session;
        return 0;
    }
    return handle;
}

namespace SdkRegistry {

CSdkChain& Chain() { return g_chain; }

uint32_t Create() {
    std::lock_guard<RegistryLock> guard(g_lock);
    return g_chain.createSession();
}

CVidlyn* Session(int handle) {
    std::lock_guard<RegistryLock> guard(g_lock);
    CSDKDATA* element = g_chain.lookup(static_cast<uint32_t>(handle));
    return element ? element->session : nullptr;
}

SessionRef Hold(int handle) {
    std::lock_guard<RegistryLock> guard(g_lock);
    CSDKDATA* element = g_chain.lookup(static_cast<uint32_t>(handle));
    if (!element || !element->session) return SessionRef();
    // Only sessions still in the ring gain holders, and only under the lock: once
    // a release has taken the handle out, the count can only fall.
    element->session->m_holders.fetch_add(1, std::memory_order_relaxed);
    return SessionRef(element->session);
}

SessionRef::~SessionRef() {
    // The destruction runs outside the registry lock: stopping a session waits
    // for its worker threads, and other sessions stay reachable meanwhile.
    if (m_session && m_session->m_holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete m_session;
}

bool Release(int handle) {
    CVidlyn* session = nullptr;
    {
        std::lock_guard<RegistryLock> guard(g_lock);
        CSDKDATA* element = g_chain.lookup(static_cast<uint32_t>(handle));
        if (!element) return false;
        session = element->session;
        element->session = nullptr;
        g_chain.removeHandle(static_cast<uint32_t>(handle));
    }
    SessionRef registryHold(session);  // the registry's own hold, let go here
    return true;
}

int Count() {
    std::lock_guard<RegistryLock> guard(g_lock);
    return g_chain.count();
}

}  // namespace SdkRegistry
