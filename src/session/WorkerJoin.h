// Joining the session's worker threads (acquisition and record).
#pragma once
#include <windows.h>

// Waits for a worker that was created, without a time limit but delivering the
// messages it sends to this thread's windows meanwhile, then closes its event
// and thread handle and clears the three fields. A worker whose thread could
// not be created is not waited for; its event is closed.
void JoinWorker(HANDLE& thread, DWORD& threadId, HANDLE& doneEvent);
