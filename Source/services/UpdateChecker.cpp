#include "UpdateChecker.h"

#include "UpdateCheckSchedule.h"

UpdateChecker::UpdateChecker (juce::String address)
    : baseAddress (std::move (address))
{
}

UpdateChecker::~UpdateChecker()
{
    retire (std::move (current));

    // Cancelled requests end within about a second; waiting here keeps the framework from having to
    // kill a thread in the middle of a network call.
    for (auto& check : abandoned)
        check->waitForThreadToExit (shutdownWaitMs);

    abandoned.clear();
}

void UpdateChecker::doAsyncUpdateCheck()
{
    start (Kind::user);
}

void UpdateChecker::checkAutomaticallyIfDue()
{
    if (! automaticChecksEnabled || isCheckPending())
        return;

    const auto record = UpdateCheckSchedule::getRecordFile();
    const auto now = juce::Time::getCurrentTime();

    if (! UpdateCheckSchedule::isDue (record, now))
        return;

    UpdateCheckSchedule::markChecked (record, now);
    start (Kind::automatic);
}

bool UpdateChecker::isCheckPending() const noexcept
{
    return current != nullptr && current->isPending();
}

void UpdateChecker::start (Kind kind)
{
    retire (std::move (current));
    disposeFinishedChecks();

    current = std::make_unique<AsyncCheckUpdate> (baseAddress);
    current->onFinished = [this, kind] (int result, juce::String message) { report (kind, result, message); };
    current->startThread (juce::Thread::Priority::background);
}

void UpdateChecker::report (Kind kind, int result, const juce::String& message)
{
    if (kind == Kind::automatic && result != UpdateCheck::newerVersion)
        return;

    if (onOutcome != nullptr)
        onOutcome (dialogTitle, result == UpdateCheck::noAnswer ? juce::String (failureMessage) : message);
}

void UpdateChecker::retire (std::unique_ptr<AsyncCheckUpdate> check)
{
    if (check == nullptr)
        return;

    check->abandon();

    // A request that is still under way is not waited for here: the message thread never waits for
    // the network. The check is destroyed once its thread has ended.
    if (check->isThreadRunning())
        abandoned.push_back (std::move (check));
}

void UpdateChecker::disposeFinishedChecks()
{
    abandoned.erase (std::remove_if (abandoned.begin(), abandoned.end(),
                                     [] (const auto& check) { return ! check->isThreadRunning(); }),
                     abandoned.end());
}
