#include "../support/MessagePump.h"
#include "../support/ScratchFolder.h"
#include "HangingNameLookup.h"
#include "LocalHttpServer.h"
#include "OutcomeRecorder.h"
#include "plugin/PluginEditor.h"
#include "services/CheckUpdate.h"
#include "services/UpdateChecker.h"
#include "ui/TrellaUI2.h"

#include "CaseNames.h"

#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include <memory>

namespace
{
    constexpr int noServer = 0; // a reply status meaning: nothing listens on the port

    struct AnswerCase
    {
        const char* name;
        int status;
        juce::String body;
        int expectedResult;
        juce::String expectedMessage; // what CheckUpdate leaves in a message that held "earlier"
        juce::String expectedDialogMessage;
    };

    void PrintTo (const AnswerCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    const juce::String failure = UpdateChecker::failureMessage;

    const AnswerCase answerCases[] = {
        { "newer_patch", 200, "1.0.1", 1, "A new update is available (version: 1.0.1).",
          "A new update is available (version: 1.0.1)." },
        { "same", 200, "1.0.0", 2, "You're up to date.\nVersion: 1.0.0", "You're up to date.\nVersion: 1.0.0" },
        { "older", 200, "0.9.9", 2, "You're up to date.\nVersion: 0.9.9", "You're up to date.\nVersion: 0.9.9" },
        { "newer_minor", 200, "1.1.0", 1, "A new update is available (version: 1.1.0).",
          "A new update is available (version: 1.1.0)." },
        { "newer_major_two_parts", 200, "2.0", 1, "A new update is available (version: 2.0).",
          "A new update is available (version: 2.0)." },
        { "empty_body", 200, "", 0, "earlier", failure },
        { "server_error_with_version_body", 500, "1.0.1", 0, "earlier", failure },
        { "closed_port", noServer, "", 0, "earlier", failure },
        { "body_too_long_for_a_version", 200, juce::String::repeatedString ("9", 2000), 0, "earlier", failure },
    };

    /** A server for the case, or none for the closed port; the base address to ask either way. */
    struct Target
    {
        explicit Target (const AnswerCase& answer)
        {
            if (answer.status != noServer)
                server = std::make_unique<LocalHttpServer> (
                    std::vector<LocalHttpServer::Reply>{ { answer.status, answer.body } });

            baseAddress = server != nullptr ? server->getBaseAddress() : LocalHttpServer::closedPortAddress();
        }

        std::unique_ptr<LocalHttpServer> server;
        juce::String baseAddress;
    };

    class UpdateCheckAnswers : public testing::TestWithParam<AnswerCase>
    {
    };
} // namespace

TEST_P (UpdateCheckAnswers, CheckUpdateGivesTheResultCodeAndMessage)
{
    const auto& answer = GetParam();
    const Target target (answer);

    int result = -1;
    juce::String message = "earlier";
    CheckUpdate (result, message, target.baseAddress);

    EXPECT_EQ (result, answer.expectedResult);
    EXPECT_EQ (message, answer.expectedMessage);

    if (target.server != nullptr)
    {
        EXPECT_EQ (target.server->getRequestLines(), juce::StringArray ("GET /verifyversion.asp?PID=VQX9 HTTP/1.1"));
    }
}

TEST_P (UpdateCheckAnswers, TheUsersCheckShowsItsOutcomeInTheDialog)
{
    const auto& answer = GetParam();
    const Target target (answer);
    OutcomeRecorder host;
    UpdateChecker checker (target.baseAddress);
    host.listenTo (checker);

    checker.doAsyncUpdateCheck();
    EXPECT_TRUE (checker.isCheckPending());
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! host.outcomes.empty(); }, 15000));

    EXPECT_EQ (host.outcomes.size(), 1u);
    EXPECT_EQ (host.outcomes[0].title, "Version check");
    EXPECT_EQ (host.outcomes[0].message, answer.expectedDialogMessage);
    EXPECT_FALSE (checker.isCheckPending());
}

INSTANTIATE_TEST_SUITE_P (LocalServer, UpdateCheckAnswers, testing::ValuesIn (answerCases), nameOfCase<AnswerCase>);

TEST (UpdateChecker, TheFailureMessageFitsOnTheDialogsLine)
{
    // The dialog draws its message on one line 386 pixels wide at height 16 and cuts what is longer.
    EXPECT_LE (juce::Font (16.0f).getStringWidthFloat (UpdateChecker::failureMessage), 386.0f);
}

TEST (UpdateChecker, TheResultComesNoSoonerThanHalfASecondAfterTheAnswer)
{
    const LocalHttpServer server ({ { 200, "1.0.1" } });
    OutcomeRecorder host;
    UpdateChecker checker (server.getBaseAddress());
    host.listenTo (checker);

    // The framework's timers can fire early, so several rounds.
    for (size_t round = 0; round < 4; ++round)
    {
        checker.doAsyncUpdateCheck();
        ASSERT_TRUE (pumpMessagesUntil ([&] { return host.outcomes.size() > round; }, 5000));
        ASSERT_EQ (server.getReplyTimes().size(), round + 1);

        const double waitedMs = host.outcomes[round].timeMs - server.getReplyTimes()[round];
        EXPECT_GE (waitedMs, (double) AsyncCheckUpdate::deliveryDelayMs) << "round " << round;
        EXPECT_LT (waitedMs, 2000.0) << "round " << round;
    }
}

TEST (UpdateChecker, TwoQuickChecksShowOneDialogWithTheSecondResult)
{
    // The first request has been answered, or is held by the server, when the second check starts.
    for (const int firstDelayMs : { 0, 400 })
    {
        const LocalHttpServer server ({ { 200, "1.0.1", firstDelayMs }, { 200, "2.0" } });
        OutcomeRecorder host;
        UpdateChecker checker (server.getBaseAddress());
        host.listenTo (checker);

        checker.doAsyncUpdateCheck();
        ASSERT_TRUE (pumpMessagesUntil ([&] { return server.getRequestLines().size() == 1; }, 5000));
        if (firstDelayMs == 0)
        {
            ASSERT_TRUE (server.waitForReplies (1));
        }
        checker.doAsyncUpdateCheck();

        ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 10000));
        ASSERT_TRUE (server.waitForReplies (2));

        // Give a result of the first check every chance to arrive late.
        pumpMessages (AsyncCheckUpdate::deliveryDelayMs + 300);

        ASSERT_EQ (host.outcomes.size(), 1u) << "first request delayed by " << firstDelayMs << " ms";
        EXPECT_EQ (host.outcomes[0].message, "A new update is available (version: 2.0).");
    }
}

TEST (UpdateChecker, AnOutcomeNobodyListensForIsDropped)
{
    const LocalHttpServer server ({ { 200, "1.0.1" } });
    UpdateChecker checker (server.getBaseAddress());

    // The window that listened went away while the check ran: the outcome is dropped.
    OutcomeRecorder host;
    host.listenTo (checker);
    checker.doAsyncUpdateCheck();
    checker.onOutcome = nullptr;
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));
    EXPECT_TRUE (host.outcomes.empty());

    // The next window is served as usual.
    host.listenTo (checker);
    checker.doAsyncUpdateCheck();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! host.outcomes.empty(); }, 5000));
    EXPECT_EQ (host.outcomes.size(), 1u);
}

TEST (UpdateChecker, GoingAwayCancelsARequestTheServerHoldsAndReportsNothing)
{
    const int holdMs = 4000;
    const LocalHttpServer server ({ { 200, "1.0.1", holdMs } });
    OutcomeRecorder host;
    auto checker = std::make_unique<UpdateChecker> (server.getBaseAddress());
    host.listenTo (*checker);

    checker->doAsyncUpdateCheck();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return server.getRequestLines().size() == 1; }, 5000));

    const auto start = juce::Time::getMillisecondCounterHiRes();
    checker.reset();
    const auto tookMs = juce::Time::getMillisecondCounterHiRes() - start;

    // Cancelled, not waited out: the checker was gone well before the server would have answered.
    EXPECT_LT (tookMs, holdMs - 1500);
    pumpMessages (AsyncCheckUpdate::deliveryDelayMs + 200);
    EXPECT_TRUE (host.outcomes.empty());
}

namespace
{
    /** The version checks' threads still alive in this process. */
    int runningCheckThreads()
    {
        int count = 0;
        for (const auto& task : juce::File ("/proc/self/task").findChildFiles (juce::File::findDirectories, false))
            if (task.getChildFile ("comm").loadFileAsString().trim() == "AsyncCheckUpdate")
                ++count;
        return count;
    }

    /** Runs an action on the message thread and checks that it returned within 100 ms. */
    template <typename Action>
    void expectQuick (const char* what, Action&& action)
    {
        const auto start = juce::Time::getMillisecondCounterHiRes();
        action();
        const auto tookMs = juce::Time::getMillisecondCounterHiRes() - start;
        EXPECT_LT (tookMs, 100.0) << what << " took " << tookMs << " ms";
        std::printf ("%s: %.1f ms\n", what, tookMs);
    }

    /** A server that accepts the request, reads it and never answers (within the test's life). */
    constexpr int neverMs = 600000;
} // namespace

TEST (UpdateChecker, NoCheckMakesTheMessageThreadWaitForAServerThatNeverAnswers)
{
    const LocalHttpServer server ({ { 200, "1.0.1", neverMs } });
    OutcomeRecorder host;
    auto checker = std::make_unique<UpdateChecker> (server.getBaseAddress());
    host.listenTo (*checker);
    const auto requestsReceived = [&] (int count)
    { return pumpMessagesUntil ([&] { return server.getRequestLines().size() == count; }, 5000); };

    // The server serves one connection at a time: the second check's request waits behind the first.
    checker->doAsyncUpdateCheck();
    ASSERT_TRUE (requestsReceived (1));
    expectQuick ("a second check", [&] { checker->doAsyncUpdateCheck(); });
    pumpMessages (300);
    expectQuick ("destroying the checker", [&] { checker.reset(); });

    // Nothing is reported, and every request ends by itself soon after.
    pumpMessages (AsyncCheckUpdate::deliveryDelayMs + 200);
    EXPECT_TRUE (host.outcomes.empty());
    EXPECT_TRUE (pumpMessagesUntil ([] { return runningCheckThreads() == 0; }, 3000))
        << runningCheckThreads() << " check threads still run";
}

TEST (UpdateChecker, CancellingReturnsAtOnceAndTheCheckNeverReports)
{
    const LocalHttpServer server ({ { 200, "1.0.1", neverMs } });
    OutcomeRecorder host;
    UpdateChecker checker (server.getBaseAddress());
    host.listenTo (checker);

    checker.doAsyncUpdateCheck();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return server.getRequestLines().size() == 1; }, 5000));
    expectQuick ("cancelling the check", [&] { checker.cancel(); });
    EXPECT_FALSE (checker.isCheckPending());

    pumpMessages (AsyncCheckUpdate::deliveryDelayMs + 200);
    EXPECT_TRUE (host.outcomes.empty());
    EXPECT_TRUE (pumpMessagesUntil ([] { return runningCheckThreads() == 0; }, 3000));
}

TEST (UpdateChecker, ClosingTheWindowAndDestroyingTheProcessorNeverWaitForTheServer)
{
    // The window writes its settings: into a data folder of this test's own.
    const ScratchFolder dataFolder;
    const juce::String previousDataFolder = std::getenv ("XDG_CONFIG_HOME");
    setenv ("XDG_CONFIG_HOME", dataFolder.get().getFullPathName().toRawUTF8(), 1);
    const juce::ScopeGuard restore{ [&] { setenv ("XDG_CONFIG_HOME", previousDataFolder.toRawUTF8(), 1); } };

    const LocalHttpServer server ({ { 200, "1.0.1", neverMs } });
    auto processor = std::make_unique<KroTrellaAudioProcessor>();
    processor->getUpdateChecker().setBaseAddress (server.getBaseAddress());
    auto editor = std::make_unique<KroTrellaAudioProcessorEditor> (*processor);

    editor->getMainScreen().onCheckUpdates(); // the window's "Check updates" button
    ASSERT_TRUE (pumpMessagesUntil ([&] { return server.getRequestLines().size() == 1; }, 5000));
    expectQuick ("closing the window", [&] { editor.reset(); });
    expectQuick ("destroying the processor", [&] { processor.reset(); });

    EXPECT_TRUE (pumpMessagesUntil ([] { return runningCheckThreads() == 0; }, 3000));
}

TEST (UpdateChecker, NoCheckMakesTheMessageThreadWaitForANameLookupThatHangs)
{
    if (! hanging_lookup::isAvailable())
        GTEST_SKIP() << "this build cannot replace the name lookup (ThreadSanitizer has its own)";

    const auto lookups = [] (int count)
    { return pumpMessagesUntil ([count] { return hanging_lookup::lookupsStarted() >= count; }, 5000); };
    const int before = hanging_lookup::lookupsStarted();
    OutcomeRecorder host;
    auto checker = std::make_unique<UpdateChecker> (juce::String ("http://") + hanging_lookup::host + "/");
    host.listenTo (*checker);

    checker->doAsyncUpdateCheck();
    ASSERT_TRUE (lookups (before + 1));
    expectQuick ("a second check", [&] { checker->doAsyncUpdateCheck(); });
    ASSERT_TRUE (lookups (before + 2));
    expectQuick ("cancelling the check", [&] { checker->cancel(); });
    checker->doAsyncUpdateCheck();
    ASSERT_TRUE (lookups (before + 3));
    expectQuick ("destroying the checker", [&] { checker.reset(); });

    EXPECT_TRUE (host.outcomes.empty());
    EXPECT_TRUE (pumpMessagesUntil ([] { return runningCheckThreads() == 0; }, hanging_lookup::hangMs + 3000))
        << runningCheckThreads() << " check threads still run";
}
