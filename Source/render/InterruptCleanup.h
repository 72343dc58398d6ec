#pragma once

/** Removes the output being written when the program is interrupted (SIGINT, SIGTERM, SIGHUP) or
    its memory-mapped input vanishes under it (SIGBUS), then lets the signal end the program as it
    would have without us.

    One temporary file at a time is watched. Its path is kept in a fixed buffer so that the signal
    handler, on whatever thread it runs, only reads an atomic flag and calls unlink, both safe inside
    a handler. A file is watched before it is created, so no interrupt falls between the two.
*/
class InterruptCleanup
{
public:
    /** Installs the handlers; call once, early in main. */
    static void install();

    /** Starts watching a path; returns false if it is too long for the buffer. */
    static bool watch (const char* path) noexcept;

    /** Stops watching; the file is now either gone or complete. */
    static void forget() noexcept;

private:
    static void handle (int signalNumber);
};
