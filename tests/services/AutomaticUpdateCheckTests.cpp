#include "../support/MessagePump.h"
#include "LocalHttpServer.h"
#include "OutcomeRecorder.h"
#include "processor/PluginProcessor.h"
#include "services/KroDataFolder.h"
#include "services/UpdateCheckSchedule.h"
#include "services/UpdateChecker.h"

#include "CaseNames.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{
    juce::RelativeTime hours (double count)
    {
        return juce::RelativeTime::hours (count);
    }

    /** The record of the last automatic check in the data folder, cleared for every test. */
    class AutomaticCheck : public testing::Test
    {
    protected:
        const juce::File record = UpdateCheckSchedule::getRecordFile();
        OutcomeRecorder host;

        void SetUp() override
        {
            record.deleteFile();
            ASSERT_TRUE (record.getParentDirectory().createDirectory());
        }

        void TearDown() override { record.deleteFile(); }

        void recordLastCheck (juce::Time when) const { record.replaceWithText (when.toISO8601 (true)); }
    };

    struct RecordCase
    {
        const char* name;
        std::optional<juce::RelativeTime> lastCheckAgo; // none: no record
        const char* recordText;                         // used when there is no time
        bool due;
    };

    void PrintTo (const RecordCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    const RecordCase recordCases[] = {
        { "never_checked", std::nullopt, nullptr, true },
        { "three_days_ago", hours (3 * 24), nullptr, false },
        { "an_hour_short_of_a_week", hours (7 * 24 - 1), nullptr, false },
        { "a_week_and_an_hour_ago", hours (7 * 24 + 1), nullptr, true },
        { "a_month_ago", hours (30 * 24), nullptr, true },
        { "tomorrow_by_a_wrong_clock", hours (-24), nullptr, true },
        { "unreadable_record", std::nullopt, "last Tuesday", true },
        { "empty_record", std::nullopt, "", true },
    };

    class AutomaticCheckSchedule : public AutomaticCheck, public testing::WithParamInterface<RecordCase>
    {
    };

    struct AnswerCase
    {
        const char* name;
        int status; // 0: nothing listens on the port
        const char* body;
        bool shown;
    };

    void PrintTo (const AnswerCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    const AnswerCase answerCases[] = {
        { "newer_version", 200, "1.0.1", true },  { "same_version", 200, "1.0.0", false },
        { "older_version", 200, "0.9.9", false }, { "empty_body", 200, "", false },
        { "server_error", 500, "1.0.1", false },  { "closed_port", 0, "", false },
    };

    class AutomaticCheckAnswers : public AutomaticCheck, public testing::WithParamInterface<AnswerCase>
    {
    };
} // namespace

TEST_P (AutomaticCheckSchedule, RunsAtMostOnceAWeek)
{
    const auto& state = GetParam();
    const auto now = juce::Time::getCurrentTime();
    if (state.lastCheckAgo.has_value())
        recordLastCheck (now - *state.lastCheckAgo);
    else if (state.recordText != nullptr)
        record.replaceWithText (state.recordText);
    const auto recordBefore = record.existsAsFile() ? record.loadFileAsString() : juce::String();

    const LocalHttpServer server ({ { 200, "1.0.1" } });
    UpdateChecker checker (server.getBaseAddress());
    checker.setAutomaticChecksEnabled (true);
    host.listenTo (checker);
    checker.checkAutomaticallyIfDue();

    // A check that is not due starts nothing, so nothing is pending at once.
    EXPECT_EQ (checker.isCheckPending(), state.due);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));
    EXPECT_EQ (server.getRequestLines().size(), state.due ? 1 : 0);
    EXPECT_EQ (host.outcomes.size(), state.due ? 1u : 0u);

    if (state.due)
    {
        const auto recorded = juce::Time::fromISO8601 (record.loadFileAsString().trim());
        EXPECT_LT (std::abs ((recorded - now).inSeconds()), 60.0) << record.loadFileAsString();

        // Recorded: asking again right away does nothing.
        checker.checkAutomaticallyIfDue();
        EXPECT_FALSE (checker.isCheckPending());
    }
    else
    {
        EXPECT_EQ (record.loadFileAsString(), recordBefore);
    }
}

INSTANTIATE_TEST_SUITE_P (Record, AutomaticCheckSchedule, testing::ValuesIn (recordCases), nameOfCase<RecordCase>);

TEST_P (AutomaticCheckAnswers, SpeaksOnlyOfANewerVersion)
{
    const auto& answer = GetParam();
    std::unique_ptr<LocalHttpServer> server;
    if (answer.status != 0)
        server =
            std::make_unique<LocalHttpServer> (std::vector<LocalHttpServer::Reply>{ { answer.status, answer.body } });

    UpdateChecker checker (server != nullptr ? server->getBaseAddress() : LocalHttpServer::closedPortAddress());
    checker.setAutomaticChecksEnabled (true);
    host.listenTo (checker);
    checker.checkAutomaticallyIfDue();

    ASSERT_TRUE (checker.isCheckPending());
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 15000));

    if (answer.shown)
    {
        ASSERT_EQ (host.outcomes.size(), 1u);
        EXPECT_EQ (host.outcomes[0].title, "Version check");
        EXPECT_EQ (host.outcomes[0].message,
                   "A new update is available (version: " + juce::String (answer.body) + ").");
    }
    else
    {
        EXPECT_TRUE (host.outcomes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P (LocalServer, AutomaticCheckAnswers, testing::ValuesIn (answerCases), nameOfCase<AnswerCase>);

TEST_F (AutomaticCheck, StaysOutOfTheWayOfTheUsersCheckAndOfSettings)
{
    const LocalHttpServer server ({ { 200, "1.0.1" }, { 200, "2.0" } });
    UpdateChecker checker (server.getBaseAddress());
    host.listenTo (checker);

    // Off unless enabled: nothing is asked and nothing recorded.
    checker.checkAutomaticallyIfDue();
    EXPECT_FALSE (checker.isCheckPending());
    EXPECT_FALSE (record.existsAsFile());

    // A user's check that is under way is neither replaced nor joined by an automatic one.
    checker.setAutomaticChecksEnabled (true);
    checker.doAsyncUpdateCheck();
    checker.checkAutomaticallyIfDue();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));
    EXPECT_EQ (server.getRequestLines().size(), 1);
    ASSERT_EQ (host.outcomes.size(), 1u);
    EXPECT_EQ (host.outcomes[0].message, "A new update is available (version: 1.0.1).");
    EXPECT_FALSE (record.existsAsFile());

    // The record is a file of its own; the settings file is not touched.
    checker.checkAutomaticallyIfDue();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return ! checker.isCheckPending(); }, 5000));
    EXPECT_TRUE (record.existsAsFile());
    EXPECT_FALSE (KroDataFolder::get().getChildFile ("Settings.xml").exists());
}

TEST (AutomaticCheckInAHost, IsOffForAProcessorThatIsNotTheStandaloneApplication)
{
    for (const auto type : { juce::AudioProcessor::wrapperType_Undefined, juce::AudioProcessor::wrapperType_VST3,
                             juce::AudioProcessor::wrapperType_LV2 })
    {
        juce::AudioProcessor::setTypeOfNextNewPlugin (type);
        KroTrellaAudioProcessor processor;
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

        EXPECT_FALSE (processor.getUpdateChecker().areAutomaticChecksEnabled()) << (int) type;
    }
}
