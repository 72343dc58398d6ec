#include "../support/MessagePump.h"
#include "LocalHttpServer.h"
#include "OutcomeRecorder.h"
#include "services/CheckUpdate.h"
#include "services/UpdateChecker.h"

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
