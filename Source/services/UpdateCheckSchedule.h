#pragma once

// Update check, the weekly schedule: when the automatic check is due.

#include <juce_core/juce_core.h>

/** When the automatic version check is due: at most once a week. The time of the last automatic
    check is kept in a file of its own in the data folder, as an ISO 8601 time.
*/
class UpdateCheckSchedule
{
public:
    /** The file holding the time of the last automatic check. */
    static juce::File getRecordFile();

    /** True when no check is recorded, the record cannot be read, the last check was a week or more
        before `now`, or it lies after `now` (a clock that was wrong or has been set back).
    */
    static bool isDue (const juce::File& record, juce::Time now);

    /** Records `now` as the time of the last automatic check; a file that cannot be written is skipped. */
    static void markChecked (const juce::File& record, juce::Time now);

    static juce::RelativeTime interval() { return juce::RelativeTime::weeks (1.0); }
};
