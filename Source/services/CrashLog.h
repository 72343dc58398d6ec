#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

/** The crash report "CrashLog.txt" in the data folder, written when the program dies of a fatal
    signal. It holds only the last crash, with CR LF line ends:

        Stack trace recorded on <date and time>
        Operating system: <name>

        <stack backtrace of the crashing thread, one "<file>(+<offset>)[<address>]" a frame>

        Signal 11 (SIGSEGV)

    The handler always ends the process (by SIGKILL) and writes one report, whatever happens:
    - it runs on an alternate signal stack (of the thread that installed it), so a stack overflow
      is reported too;
    - everything that needs memory, locks or the framework (the paths, the system's name, the
      time zone's offset, the loading of the unwinder) is done at installation; the handler itself
      makes only async-signal-safe calls, except the unwinder's walk of the stack, which takes no
      lock but is bounded anyway: a watchdog (an alarm) ends the process if the report is not
      finished within `watchdogSeconds`;
    - the first crashing thread writes the report; any other that crashes meanwhile waits for the end.
    The local time is the UTC time plus the offset taken at installation (a change to or from
    summer time after that is not followed), formatted without the C library's time-zone lock.
*/
class CrashLog
{
public:
    static constexpr const char* fileName = "CrashLog.txt";
    static constexpr unsigned int watchdogSeconds = 5;

    /** Gets ready to write the report into the given folder and installs the handler for SIGSEGV,
        SIGBUS, SIGFPE, SIGILL, SIGABRT and SIGSYS. Returns false (and installs nothing) when the
        path is too long for the writer's buffers.
    */
    static bool install (const juce::File& dataFolder);

    /** Gets ready to write the report into the given folder, without installing a handler.
        Returns false when the path is too long for the writer's buffers, in which case write()
        does nothing.
    */
    static bool prepare (const juce::File& dataFolder);

    /** Creates the folder chain if needed and replaces the file with the report for a signal.
        Gives up silently when something cannot be created or written.
    */
    static void write (int signalNumber) noexcept;

    /** Writes "Signal <number> (<name>)" (or "Signal <number>" for a signal without a known name)
        into the buffer with a terminating zero, cut to fit; returns the length without the zero.
    */
    static size_t describeSignal (int signalNumber, char* buffer, size_t bufferSize) noexcept;
};
