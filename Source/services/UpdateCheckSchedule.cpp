#include "UpdateCheckSchedule.h"

#include "KroDataFolder.h"

juce::File UpdateCheckSchedule::getRecordFile()
{
    return KroDataFolder::get().getChildFile ("LastUpdateCheck.txt");
}

bool UpdateCheckSchedule::isDue (const juce::File& record, juce::Time now)
{
    if (! record.existsAsFile())
        return true;

    const auto text = record.loadFileAsString().trim();
    const auto last = juce::Time::fromISO8601 (text);

    // fromISO8601 gives the epoch for text it cannot read.
    if (text.isEmpty() || last.toMilliseconds() == 0)
        return true;

    return last > now || now - last >= interval();
}

void UpdateCheckSchedule::markChecked (const juce::File& record, juce::Time now)
{
    if (record.getParentDirectory().createDirectory())
        record.replaceWithText (now.toISO8601 (true) + "\n");
}
