#include "../support/ScratchFolder.h"
#include "CrashChild.h"
#include "services/CrashLog.h"

#include "CaseNames.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
    struct ChildOutcome
    {
        int status = 0;       // as waitpid reports it
        std::string output;   // what the child printed
        bool hung = false;    // it had not ended after `hangSeconds`, and was killed by the test
        double seconds = 0.0; // from its start to its end
    };

    constexpr int hangSeconds = 30;

    /** Runs this test binary as a crash child with XDG_CONFIG_HOME set to the given folder. */
    ChildOutcome runCrashChild (const char* wrapper, const char* how, const juce::File& configHome)
    {
        const auto executable = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName();

        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (std::strncmp (*entry, "XDG_CONFIG_HOME=", 16) != 0 && std::strncmp (*entry, "TSAN_OPTIONS=", 13) != 0 &&
                std::strncmp (*entry, "ASAN_OPTIONS=", 13) != 0)
                environment.emplace_back (*entry);
        environment.push_back ("XDG_CONFIG_HOME=" + configHome.getFullPathName().toStdString());

        // In a sanitizer build the child must meet its signal as a plain process would, not in the
        // sanitizer's own handler.
        for (const char* name : { "TSAN_OPTIONS", "ASAN_OPTIONS" })
        {
            const char* options = std::getenv (name);
            environment.push_back (std::string (name) + "=" + (options != nullptr ? options : "") +
                                   ":handle_segv=0:handle_abort=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0");
        }

        std::vector<char*> envp;
        for (auto& entry : environment)
            envp.push_back (entry.data());
        envp.push_back (nullptr);

        std::string arguments[] = { executable.toStdString(), crash_child::argument, wrapper, how };
        char* argv[] = { arguments[0].data(), arguments[1].data(), arguments[2].data(), arguments[3].data(), nullptr };

        int outputPipe[2];
        if (pipe2 (outputPipe, O_CLOEXEC) != 0)
            throw std::runtime_error ("pipe failed");

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_adddup2 (&actions, outputPipe[1], STDOUT_FILENO);

        pid_t child = 0;
        const auto started = juce::Time::getMillisecondCounterHiRes();
        const int spawnError = posix_spawn (&child, argv[0], &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy (&actions);
        close (outputPipe[1]);

        ChildOutcome outcome;
        if (spawnError == 0)
        {
            // Its output ends when it ends; a child that hangs is killed at the deadline.
            const auto deadline = started + hangSeconds * 1000.0;
            for (;;)
            {
                pollfd ready{ outputPipe[0], POLLIN, 0 };
                const auto left = (int) (deadline - juce::Time::getMillisecondCounterHiRes());
                if (left <= 0 || poll (&ready, 1, left) == 0)
                {
                    outcome.hung = true;
                    kill (child, SIGKILL);
                    break;
                }
                char buffer[256];
                const auto n = read (outputPipe[0], buffer, sizeof (buffer));
                if (n <= 0)
                    break;
                outcome.output.append (buffer, (size_t) n);
            }
            waitpid (child, &outcome.status, 0);
            outcome.seconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
        }

        close (outputPipe[0]);
        if (spawnError != 0)
            throw std::runtime_error ("cannot start the crash child");
        return outcome;
    }

    juce::File crashLogIn (const juce::File& configHome)
    {
        return configHome.getChildFile ("Palvenmark").getChildFile ("KroTrella").getChildFile ("CrashLog.txt");
    }

    /** The file's bytes as lines; fails the test where a line feed lacks its carriage return. */
    juce::StringArray crlfLines (const juce::File& file)
    {
        juce::MemoryBlock bytes;
        file.loadFileAsData (bytes);
        const juce::String text (static_cast<const char*> (bytes.getData()), bytes.getSize());

        EXPECT_TRUE (text.endsWith ("\r\n"));
        for (int i = 0; i < text.length(); ++i)
        {
            if (text[i] == '\n')
            {
                EXPECT_TRUE (i > 0 && text[i - 1] == '\r') << "bare line feed at byte " << i;
            }
        }

        juce::StringArray lines;
        lines.addTokens (text.dropLastCharacters (2), "\n", {});
        for (auto& line : lines)
            line = line.trimCharactersAtEnd ("\r");
        return lines;
    }

    /** True when the text is the framework's rendering of a second between the two times. */
    bool isRenderedTimeBetween (const juce::String& text, juce::Time earliest, juce::Time latest)
    {
        const auto first = earliest.toMilliseconds() / 1000 * 1000;
        for (auto ms = first; ms <= latest.toMilliseconds() + 1000; ms += 1000)
            if (juce::Time (ms).toString (true, true, true, true) == text)
                return true;
        return false;
    }

    /** Checks that a report file holds one complete report of a crash between two times. */
    void expectOneCompleteReport (const juce::File& log, juce::Time before, juce::Time after, const char* lastLine,
                                  int minimumFrames)
    {
        ASSERT_TRUE (log.existsAsFile());
        const auto lines = crlfLines (log);
        ASSERT_GE (lines.size(), 8) << lines.joinIntoString ("|");
        const auto text = log.loadFileAsString();
        EXPECT_EQ (text.indexOf (1, "Stack trace recorded on"), -1) << "more than one report";
        EXPECT_EQ (text.indexOf ("\r\nSignal "), text.lastIndexOf ("\r\nSignal ")) << "more than one report";

        const juce::String stamp = "Stack trace recorded on ";
        ASSERT_TRUE (lines[0].startsWith (stamp)) << lines[0];
        EXPECT_TRUE (isRenderedTimeBetween (lines[0].substring (stamp.length()), before, after)) << lines[0];
        EXPECT_EQ (lines[1], "Operating system: Linux");
        EXPECT_EQ (lines[2], "");

        // The backtrace of the crashing thread: frames in this binary, each a whole frame line.
        const auto frames = juce::StringArray (lines.begin() + 3, lines.size() - 5);
        EXPECT_GE (frames.size(), minimumFrames);
        const std::regex frameLine (R"(^\S.*\(\S*\+0x[0-9a-f]+\)\[0x[0-9a-f]+\]$)");
        for (const auto& frame : frames)
            EXPECT_TRUE (std::regex_match (frame.toStdString(), frameLine)) << "not a frame: " << frame;
        const auto binaryName = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFileName();
        EXPECT_TRUE (frames.joinIntoString ("\n").contains (binaryName)) << frames.joinIntoString ("\n");

        EXPECT_EQ (lines[lines.size() - 2], "");
        EXPECT_EQ (lines[lines.size() - 1], lastLine);
    }

    void expectEndedByTheHandler (const ChildOutcome& outcome)
    {
        ASSERT_FALSE (outcome.hung) << "the crashed child had not ended after " << hangSeconds << " s";
        EXPECT_EQ (outcome.output, "automatic-checks=1\n");
        ASSERT_TRUE (WIFSIGNALED (outcome.status));
        EXPECT_EQ (WTERMSIG (outcome.status), SIGKILL);
    }

    struct StandaloneCrash
    {
        const char* name;
        const char* how; // as the crash child takes it
        const char* lastLine;
        int minimumFrames = 3;
    };

    void PrintTo (const StandaloneCrash& c, std::ostream* os)
    {
        *os << c.name;
    }

    class CrashInTheStandaloneApp : public testing::TestWithParam<StandaloneCrash>
    {
    protected:
        ScratchFolder scratch;
        // Several levels that do not exist yet: the whole chain must be created.
        const juce::File configHome = scratch.get().getChildFile ("home").getChildFile ("config");
    };

    class CrashInAHost : public testing::TestWithParam<const char*>
    {
    protected:
        ScratchFolder scratch;
        const juce::File configHome = scratch.get().getChildFile ("config");
    };
} // namespace

TEST_P (CrashInTheStandaloneApp, WritesTheReportIntoAMissingDataFolder)
{
    const auto& crash = GetParam();
    ASSERT_FALSE (configHome.exists());

    const auto before = juce::Time::getCurrentTime();
    const auto outcome = runCrashChild ("standalone", crash.how, configHome);
    const auto after = juce::Time::getCurrentTime();

    // The handler ends the process itself once the report is written.
    expectEndedByTheHandler (outcome);
    expectOneCompleteReport (crashLogIn (configHome), before, after, crash.lastLine, crash.minimumFrames);
}

INSTANTIATE_TEST_SUITE_P (
    Signals, CrashInTheStandaloneApp,
    testing::Values (StandaloneCrash{ "SIGSEGV", "SIGSEGV", "Signal 11 (SIGSEGV)" },
                     StandaloneCrash{ "SIGABRT", "SIGABRT", "Signal 6 (SIGABRT)" },
                     // On the alternate stack, with the deep recursion in the backtrace.
                     StandaloneCrash{ "StackOverflow", "stack-overflow", "Signal 11 (SIGSEGV)", 100 },
                     StandaloneCrash{ "WhileTheTimeZoneLockIsHeld", "time-zone-held", "Signal 11 (SIGSEGV)" }),
    nameOfCase<StandaloneCrash>);

TEST (CrashLog, TwoThreadsCrashingAtOnceLeaveOneReportOfTheFirstCrash)
{
    // The report is a pipe that nobody reads for half a second: the first thread's handler waits in
    // its open() while the second thread crashes too. Then the test reads what arrives. Without the
    // guard both handlers write, but which one ends the process first is a race: three runs.
    const ScratchFolder scratch;
    for (int run = 0; run < 3; ++run)
    {
        SCOPED_TRACE ("run " + std::to_string (run));
        const auto configHome = scratch.get().getChildFile ("config" + juce::String (run));
        const auto pipe = crashLogIn (configHome);
        ASSERT_TRUE (pipe.getParentDirectory().createDirectory());
        ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);

        std::string received;
        std::thread reader (
            [&]
            {
                usleep (500000);
                const int fd = open (pipe.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                const auto deadline = juce::Time::getMillisecondCounter() + hangSeconds * 1000;
                for (pollfd ready{ fd, POLLIN, 0 }; fd >= 0 && juce::Time::getMillisecondCounter() < deadline;)
                {
                    if (poll (&ready, 1, 100) <= 0)
                        continue;
                    char buffer[4096];
                    const auto n = read (fd, buffer, sizeof (buffer));
                    if (n <= 0 && (ready.revents & POLLHUP) != 0)
                        break; // every writer has gone
                    if (n > 0)
                        received.append (buffer, (size_t) n);
                }
                if (fd >= 0)
                    close (fd);
            });

        const auto before = juce::Time::getCurrentTime();
        const auto outcome = runCrashChild ("standalone", "two-threads", configHome);
        const auto after = juce::Time::getCurrentTime();
        reader.join();

        expectEndedByTheHandler (outcome);
        const auto log = scratch.get().getChildFile ("received" + juce::String (run) + ".txt");
        log.replaceWithData (received.data(), received.size());
        // The first crash, 100 calls deep; the second thread wrote nothing.
        expectOneCompleteReport (log, before, after, "Signal 11 (SIGSEGV)", 100);
    }
}

TEST (CrashLog, ASecondCrashReplacesTheFirstReport)
{
    const ScratchFolder scratch;
    const auto configHome = scratch.get().getChildFile ("config");

    runCrashChild ("standalone", "SIGABRT", configHome);
    const auto firstSize = crashLogIn (configHome).getSize();
    runCrashChild ("standalone", "SIGSEGV", configHome);

    const auto text = crashLogIn (configHome).loadFileAsString();
    EXPECT_GT (firstSize, 0);
    EXPECT_EQ (text.indexOf ("Stack trace recorded on"), 0);
    EXPECT_EQ (text.indexOf (1, "Stack trace recorded on"), -1);
    EXPECT_FALSE (text.contains ("SIGABRT"));
    EXPECT_TRUE (text.endsWith ("Signal 11 (SIGSEGV)\r\n"));
}

TEST (CrashLog, TheProcessEndsEvenWhenTheReportCannotBeWritten)
{
    // A pipe in place of the report: opening it waits for a reader that never comes, as a file on
    // a hung network folder would. The watchdog ends the process.
    const ScratchFolder scratch;
    const auto configHome = scratch.get().getChildFile ("config");
    const auto log = crashLogIn (configHome);
    ASSERT_TRUE (log.getParentDirectory().createDirectory());
    ASSERT_EQ (mkfifo (log.getFullPathName().toRawUTF8(), 0600), 0);

    const auto outcome = runCrashChild ("standalone", "SIGSEGV", configHome);

    ASSERT_FALSE (outcome.hung) << "the crashed child had not ended after " << hangSeconds << " s";
    ASSERT_TRUE (WIFSIGNALED (outcome.status));
    EXPECT_EQ (WTERMSIG (outcome.status), SIGKILL);
    EXPECT_LT (outcome.seconds, CrashLog::watchdogSeconds + 10.0);
}

TEST_P (CrashInAHost, LeavesTheSignalToTheHost)
{
    const auto outcome = runCrashChild (GetParam(), "SIGSEGV", configHome);

    // No handler of ours: the signal's default action ends the process, and no report is written.
    EXPECT_EQ (outcome.output, "automatic-checks=0\n");
    ASSERT_TRUE (WIFSIGNALED (outcome.status));
    EXPECT_EQ (WTERMSIG (outcome.status), SIGSEGV);
    EXPECT_FALSE (crashLogIn (configHome).exists());
}

INSTANTIATE_TEST_SUITE_P (Wrappers, CrashInAHost, testing::Values ("vst3", "lv2", "undefined"));

TEST (CrashLog, DescribesASignalByNumberAndName)
{
    const struct
    {
        int signal;
        const char* text;
    } cases[] = { { SIGSEGV, "Signal 11 (SIGSEGV)" },
                  { SIGBUS, "Signal 7 (SIGBUS)" },
                  { SIGFPE, "Signal 8 (SIGFPE)" },
                  { SIGILL, "Signal 4 (SIGILL)" },
                  { SIGSYS, "Signal 31 (SIGSYS)" },
                  { 99, "Signal 99" },
                  { -3, "Signal -3" } };

    for (const auto& c : cases)
    {
        char buffer[64];
        const auto length = CrashLog::describeSignal (c.signal, buffer, sizeof (buffer));
        EXPECT_STREQ (buffer, c.text);
        EXPECT_EQ (length, std::strlen (c.text));
    }

    // Cut to fit, always terminated.
    char small[8];
    EXPECT_EQ (CrashLog::describeSignal (SIGSEGV, small, sizeof (small)), 7u);
    EXPECT_STREQ (small, "Signal ");
}
