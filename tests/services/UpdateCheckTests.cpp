#include "../support/MessagePump.h"
#include "DialogHost.h"
#include "LocalHttpServer.h"
#include "services/CheckUpdate.h"
#include "services/UpdateChecker.h"

#include "CaseNames.h"

#include <gtest/gtest.h>

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
    DialogHost host;
    UpdateChecker checker (target.baseAddress);
    checker.setDialog (&host.dialog);

    checker.doAsyncUpdateCheck();
    EXPECT_TRUE (checker.isCheckPending());
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! host.openings.empty(); }, 15000));

    EXPECT_EQ (host.openings.size(), 1u);
    EXPECT_EQ (host.openings[0].title, "Version check");
    EXPECT_EQ (host.openings[0].message, answer.expectedDialogMessage);
    EXPECT_TRUE (host.dialog.isVisible());
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
    DialogHost host;
    UpdateChecker checker (server.getBaseAddress());
    checker.setDialog (&host.dialog);

    // The framework's timers can fire early, so several rounds.
    for (size_t round = 0; round < 4; ++round)
    {
        checker.doAsyncUpdateCheck();
        ASSERT_TRUE (pumpMessagesUntil ([&] { return host.openings.size() > round; }, 5000));
        ASSERT_EQ (server.getReplyTimes().size(), round + 1);

        const double waitedMs = host.openings[round].timeMs - server.getReplyTimes()[round];
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
        DialogHost host;
        UpdateChecker checker (server.getBaseAddress());
        checker.setDialog (&host.dialog);

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

        ASSERT_EQ (host.openings.size(), 1u) << "first request delayed by " << firstDelayMs << " ms";
        EXPECT_EQ (host.openings[0].message, "A new update is available (version: 2.0).");
    }
}

TEST (UpdateChecker, NeverUsesADialogThatWasTakenBackOrDeleted)
{
    const LocalHttpServer server ({ { 200, "1.0.1" } });
    UpdateChecker checker (server.getBaseAddress());

    // Taken back by its editor while the check runs: the result is dropped.
    DialogHost host;
    checker.setDialog (&host.dialog);
    checker.doAsyncUpdateCheck();
    checker.setDialog (nullptr);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));
    EXPECT_TRUE (host.openings.empty());
    EXPECT_FALSE (host.dialog.isVisible());

    // Deleted without being taken back: the checker must notice it is gone.
    auto doomed = std::make_unique<DialogHost>();
    checker.setDialog (&doomed->dialog);
    checker.doAsyncUpdateCheck();
    doomed.reset();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));

    // The next editor's dialog is served as usual.
    checker.setDialog (&host.dialog);
    checker.doAsyncUpdateCheck();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! host.openings.empty(); }, 5000));
    EXPECT_EQ (host.openings.size(), 1u);
}

TEST (UpdateChecker, GoingAwayCancelsARequestTheServerHoldsAndReportsNothing)
{
    const int holdMs = 4000;
    const LocalHttpServer server ({ { 200, "1.0.1", holdMs } });
    DialogHost host;
    auto checker = std::make_unique<UpdateChecker> (server.getBaseAddress());
    checker->setDialog (&host.dialog);

    checker->doAsyncUpdateCheck();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return server.getRequestLines().size() == 1; }, 5000));

    const auto start = juce::Time::getMillisecondCounterHiRes();
    checker.reset();
    const auto tookMs = juce::Time::getMillisecondCounterHiRes() - start;

    // Cancelled, not waited out: the checker was gone well before the server would have answered.
    EXPECT_LT (tookMs, holdMs - 1500);
    pumpMessages (AsyncCheckUpdate::deliveryDelayMs + 200);
    EXPECT_TRUE (host.openings.empty());
}
