#pragma once

#include "services/UpdateChecker.h"

#include <vector>

/** The window's stand-in for the version-check tests: records every outcome the checker reports,
    with its time and texts.
*/
class OutcomeRecorder
{
public:
    struct Outcome
    {
        double timeMs;
        juce::String title, message;
    };

    /** Makes the checker report to this recorder, as a window does to its dialog. */
    void listenTo (UpdateChecker& checker)
    {
        checker.onOutcome = [this] (const juce::String& title, const juce::String& message) {
            outcomes.push_back ({ juce::Time::getMillisecondCounterHiRes(), title, message });
        };
    }

    std::vector<Outcome> outcomes;
};
