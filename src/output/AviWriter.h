// The session's embedded AVI recorder. Recording arrives with its own work;
// until then the writer is an empty object the session constructs and
// destroys with itself.
#pragma once

class CAviWriter {
public:
    CAviWriter() = default;
    ~CAviWriter() = default;
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;
};
