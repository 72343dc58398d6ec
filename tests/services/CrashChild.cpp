#include "CrashChild.h"

#include "processor/PluginProcessor.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
    bool wrapperTypeFromName (const char* name, juce::AudioProcessor::WrapperType& type)
    {
        const struct
        {
            const char* name;
            juce::AudioProcessor::WrapperType type;
        } types[] = { { "standalone", juce::AudioProcessor::wrapperType_Standalone },
                      { "vst3", juce::AudioProcessor::wrapperType_VST3 },
                      { "lv2", juce::AudioProcessor::wrapperType_LV2 },
                      { "undefined", juce::AudioProcessor::wrapperType_Undefined } };

        for (const auto& entry : types)
            if (std::strcmp (entry.name, name) == 0)
                return (type = entry.type), true;

        return false;
    }

    /** A real invalid write, as a faulty pointer would make it. Two threads that crash at once
        write to two addresses, so that ThreadSanitizer sees no race between them.
    */
    [[noreturn]] void writeToNowhere (std::uintptr_t address = 0)
    {
        volatile int* volatile nowhere = reinterpret_cast<int*> (address);
        *nowhere = 1;
        std::_Exit (97); // not reached
    }

    // Both recursions end in a crash on purpose, which the compiler takes for a recursion without end.
#pragma GCC diagnostic ignored "-Winfinite-recursion"

    /** Recursion without end; the sum after the call keeps it from becoming a loop. */
    __attribute__ ((noinline)) int recurse (int depth)
    {
        volatile char frame[256];
        frame[0] = (char) depth;
        return recurse (depth + 1) + frame[0];
    }

    /** Crashes `depth` calls deep, so that its backtrace is long (the volatile frame keeps the
        calls from becoming a loop).
    */
    __attribute__ ((noinline)) int crashDeep (int depth)
    {
        volatile char frame[64];
        frame[0] = (char) depth;
        if (depth == 0)
            writeToNowhere();
        return crashDeep (depth - 1) + frame[0];
    }

    [[noreturn]] void crashInTwoThreads()
    {
        // The second thread crashes while the first one is in its crash handler (the test makes the
        // report a pipe that nobody reads yet, so that the first handler waits in its open()).
        std::thread first ([] { crashDeep (100); }), second (
                                                         []
                                                         {
                                                             usleep (200000);
                                                             writeToNowhere (64);
                                                         });
        first.join();
        second.join();
        std::_Exit (97); // not reached
    }

    [[noreturn]] void crashWhileTheTimeZoneLockIsHeld()
    {
        // tzset() reads the zone named by TZ while it holds the lock that localtime_r takes too.
        const auto folder = juce::File (std::getenv ("XDG_CONFIG_HOME"));
        folder.createDirectory();
        const auto zone = folder.getChildFile ("zone-pipe").getFullPathName();
        mkfifo (zone.toRawUTF8(), 0600);
        setenv ("TZ", (":" + zone).toRawUTF8(), 1);
        std::thread ([] { tzset(); }).detach();

        // A writer can open the pipe once the reader waits in its open; the writer then stays open
        // without writing, so the reader waits in read(), still holding the lock.
        int writer = -1;
        while ((writer = open (zone.toRawUTF8(), O_WRONLY | O_NONBLOCK)) < 0)
            usleep (1000);
        usleep (20000);
        writeToNowhere();
    }

    [[noreturn]] void crash (const char* how)
    {
        if (std::strcmp (how, "SIGABRT") == 0)
            std::abort();
        if (std::strcmp (how, "stack-overflow") == 0)
            std::_Exit (recurse (0));
        if (std::strcmp (how, "two-threads") == 0)
            crashInTwoThreads();
        if (std::strcmp (how, "time-zone-held") == 0)
            crashWhileTheTimeZoneLockIsHeld();
        writeToNowhere();
    }
} // namespace

int crash_child::run (int argc, char** argv)
{
    juce::AudioProcessor::WrapperType type;
    if (argc < 4 || ! wrapperTypeFromName (argv[2], type))
        return 2;

    // A child without a crash handler dies of the signal itself: it must leave no core file behind.
    const rlimit noCore{ 0, 0 };
    setrlimit (RLIMIT_CORE, &noCore);

    const juce::ScopedJuceInitialiser_GUI juce;
    juce::AudioProcessor::setTypeOfNextNewPlugin (type);
    const auto processor = std::make_unique<KroTrellaAudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    std::printf ("automatic-checks=%d\n", processor->getUpdateChecker().areAutomaticChecksEnabled() ? 1 : 0);
    std::fflush (stdout);

    crash (argv[3]);
}
