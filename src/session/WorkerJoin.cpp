// Joining the session's worker threads (acquisition and record).
#include "session/WorkerJoin.h"

namespace {

// Waits for a worker's done event. Meanwhile messages that a worker sends to
// a window of this thread (a dialog showing a value measured on the frame
// path) are delivered, so that such a worker can reach its end.
void AwaitWorker(HANDLE done) {
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) {
            return;
        }
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

void JoinWorker(HANDLE& thread, DWORD& threadId, HANDLE& doneEvent) {
    if (thread && doneEvent) {
        AwaitWorker(doneEvent);
    }
    if (doneEvent) {
        CloseHandle(doneEvent);
        doneEvent = nullptr;
    }
    if (thread) {
        CloseHandle(thread);
        thread = nullptr;
    }
    threadId = 0;
}
