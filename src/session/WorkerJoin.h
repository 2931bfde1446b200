// Joining the session's worker threads (acquisition and record), and the
// wait both that and the mode lock use.
#pragma once
#include <windows.h>

// Waits for `object` without a time limit, delivering meanwhile the messages
// that other threads send to this thread's windows (a worker showing a value
// in a dialog, another thread tearing down a window of this one), so that
// the thread being waited for can reach its end. The wait's result:
// WAIT_OBJECT_0, WAIT_ABANDONED_0 (a mutex whose owner died) or WAIT_FAILED.
DWORD WaitDeliveringSent(HANDLE object);

// Waits for a worker that was created, without a time limit but delivering the
// messages it sends to this thread's windows meanwhile, then closes its event
// and thread handle and clears the three fields. A worker whose thread could
// not be created is not waited for; its event is closed.
void JoinWorker(HANDLE& thread, DWORD& threadId, HANDLE& doneEvent);
