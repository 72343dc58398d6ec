#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

/** The crash report "CrashLog.txt" in the data folder, written when the program dies of a fatal
    signal. It holds only the last crash, with CR LF line ends:

        Stack trace recorded on <date and time>
        Operating system: <name>

        <stack backtrace of the crashing thread>

        Signal 11 (SIGSEGV)

    Everything that needs memory or the framework (the path, the system's name, the loading of the
    backtrace code) is done by prepare(); write() runs inside the signal handler and uses only
    system calls and fixed buffers.
*/
class CrashLog
{
public:
    static constexpr const char* fileName = "CrashLog.txt";

    /** Gets ready to write the report into the given folder. Returns false when the path is too long
        for the writer's buffers, in which case write() does nothing.
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
