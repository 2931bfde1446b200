// Joining the session's worker threads (acquisition and record).
#include "session/WorkerJoin.h"

DWORD WaitDeliveringSent(HANDLE object) {
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) {
            return woke;
        }
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void JoinWorker(HANDLE& thread, DWORD& threadId, HANDLE& doneEvent) {
    if (thread && doneEvent) {
        WaitDeliveringSent(doneEvent);
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
