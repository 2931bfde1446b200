#include "session/FrameNoticePool.h"

#include <windows.h>

#include "session/CVidlyn.h"

namespace {

struct NoticeSlot {
    VidlynFrameNotice notice;  // first: a slot's address is its record's address
    NoticeSlot* next;
};

// Released records, oldest first. Plain constant-initialized globals: no
// destructor runs at unload, so a session released late still finds them.
SRWLOCK g_lock = SRWLOCK_INIT;
NoticeSlot* g_oldest = nullptr;
NoticeSlot* g_newest = nullptr;
int g_waiting = 0;

}  // namespace

VidlynFrameNotice* TakeFrameNotice() {
    AcquireSRWLockExclusive(&g_lock);
    NoticeSlot* slot = nullptr;
    if (g_waiting > kFrameNoticeReserve) {
        slot = g_oldest;
        g_oldest = slot->next;
        if (g_oldest == nullptr) g_newest = nullptr;
        --g_waiting;
    }
    ReleaseSRWLockExclusive(&g_lock);
    if (slot == nullptr) slot = new NoticeSlot{{32, 0, 0, 0, 0, 0, nullptr}, nullptr};
    slot->next = nullptr;
    return &slot->notice;
}

void ReturnFrameNotice(VidlynFrameNotice* notice) {
    if (notice == nullptr) return;
    auto* slot = reinterpret_cast<NoticeSlot*>(notice);
    slot->next = nullptr;
    AcquireSRWLockExclusive(&g_lock);
    if (g_newest) {
        g_newest->next = slot;
    } else {
        g_oldest = slot;
    }
    g_newest = slot;
    ++g_waiting;
    ReleaseSRWLockExclusive(&g_lock);
}
