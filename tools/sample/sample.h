// What the sample's commands share: the session, error reports, options.
#pragma once
#include "VidlynSdk.h"

// A session, released at the end of the scope.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    operator int() const { return m_handle; }

private:
    int m_handle;
};

struct Options {
    int camera = 1;  // as listed, from 1
    int mode = 24;   // colour mode: bits per pixel
};

// Prints why `call` failed with the session's newest error code and its
// meaning; returns the exit status 1.
int Fail(int handle, const char* call);
// The same for a code already taken from the session.
int FailCode(int code, const char* call);
// Selects camera `number` (from 1); 0, or the exit status after a failure.
int SelectCamera(int handle, int number);

int Snap(const Options& options, const char* file, int format);
int Stream(const Options& options, double seconds);
int Record(const Options& options, const char* file, double seconds);
