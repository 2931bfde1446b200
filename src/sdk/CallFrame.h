// The call frame of every export that takes a session handle: look the handle
// up, check the session, forward. An unknown handle, or one whose session is
// gone, returns the export's failure value at once and reports nothing, since
// there is no session to report to. The call holds the session while it
// runs, so a release from another thread never frees it under the call. No
// exception leaves the library.
#pragma once
#include <utility>

#include "sdk/CSdkChain.h"
#include "session/CVidlyn.h"

template <class Body>
int WithSession(int handle, int failure, Body&& body) noexcept {
    try {
        const SdkRegistry::SessionRef session = SdkRegistry::Hold(handle);
        if (!session) return failure;
        return std::forward<Body>(body)(*session);
    } catch (...) {
        return failure;
    }
}
