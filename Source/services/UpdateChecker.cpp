#include "UpdateChecker.h"

#include "UpdateCheckSchedule.h"

UpdateChecker::UpdateChecker (juce::String address)
    : baseAddress (std::move (address))
{
}

UpdateChecker::~UpdateChecker()
{
    cancel();
}

void UpdateChecker::cancel()
{
    current.reset(); // abandons the check; its thread ends on its own
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
    cancel();

    current = std::make_unique<AsyncCheckUpdate> (baseAddress);
    current->onFinished = [this, kind] (int result, juce::String message) { report (kind, result, message); };
    current->start();
}

void UpdateChecker::report (Kind kind, int result, const juce::String& message)
{
    if (kind == Kind::automatic && result != UpdateCheck::newerVersion)
        return;

    if (onOutcome != nullptr)
        onOutcome (dialogTitle, result == UpdateCheck::noAnswer ? juce::String (failureMessage) : message);
}
