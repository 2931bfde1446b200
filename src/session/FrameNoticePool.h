// Frame notice records that outlive their sessions. The address of a session's
// record travels in every frame message (0x8002), and the application reads
// it later, on its own thread: a message still queued when Vidlyn_Release
// returns must not point into freed memory. So the records belong to the
// process, not to the sessions: a released session's record goes back to a
// pool and is handed out again only after kFrameNoticeReserve later releases,
// keeping the bytes its own session wrote last until then. Records are never
// freed; the pool holds at most the largest number of sessions ever open at
// once plus the reserve (32 bytes each), however many sessions come and go.
#pragma once

struct VidlynFrameNotice;

constexpr int kFrameNoticeReserve = 16;

// A record for a new session: a released one once more than the reserve wait,
// else a new one (size 32, the rest 0); throws std::bad_alloc when memory is
// exhausted, so that the session is not made at all.
VidlynFrameNotice* TakeFrameNotice();
// Gives a session's record back (null is ignored); its bytes stay as they are.
void ReturnFrameNotice(VidlynFrameNotice* notice);
