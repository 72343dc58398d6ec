#pragma once

/** Removes the output being written when a signal ends the program (an interrupt, a hang-up, a
    quit, a crash, a timer or user signal: every signal whose default action ends a process), then
    lets the signal end the program as it would have without us.

    Two signals are ignored instead, so that what they report surfaces as an error of the file
    being written and the batch goes on: SIGPIPE (a reader of stdout or stderr went away, as with
    `| head -1`) and SIGXFSZ (a write past the file size limit, `ulimit -f`, fails with "File too
    large").

    One temporary file at a time is watched. Its path is kept in a fixed buffer so that the signal
    handler, on whatever thread it runs, only reads an atomic flag and calls unlink, both safe inside
    a handler. A file is watched before it is created, so no signal falls between the two. The main
    thread gets an alternate signal stack, so that a stack overflow still removes the file.
*/
class InterruptCleanup
{
public:
    /** Installs the handlers; call once, early in main, before other threads start. */
    static void install();

    /** Starts watching a path; returns false if it is too long for the buffer. */
    static bool watch (const char* path) noexcept;

    /** Stops watching; the file is now either gone or complete. */
    static void forget() noexcept;

private:
    static void handle (int signalNumber);
};
