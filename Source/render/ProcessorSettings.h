#pragma once

#include "RenderOptions.h"

#include "processor/PluginProcessor.h"

/** The setting every file is rendered with: a saved state (if given), then the `--set` values in
    command-line order. Both are checked once, up front; applying them to a processor goes through
    the plug-in's own state and parameter code.
*/
class ProcessorSettings
{
public:
    /** Reads the preset file and reads every assignment's value the way the parameter reads a text
        typed into a host (getValueForText); a text the parameter does not understand is refused. A
        problem is described in `error` (one line naming the option at fault), and leaves the
        settings empty.
    */
    static ProcessorSettings fromOptions (const RenderOptions& options, juce::String& error);

    /** Restores the preset, then sets each assigned parameter. */
    void applyTo (KroTrellaAudioProcessor& processor) const;

    /** Whether the equaliser's master switch is on once the settings are applied. */
    bool switchesEqualiserOn() const;

    /** One line per parameter (id, name, current value as the parameter shows it), then the
        preamp choices.
    */
    static juce::String describeParameters (const KroTrellaAudioProcessor& processor);

private:
    /** What a parameter accepts, for an error message: its choices, or its range. */
    static juce::String describeValues (const KroTrellaAudioProcessor::KroParameter& parameter);

    struct Assignment
    {
        int index;
        float value;
    };

    juce::MemoryBlock presetState;
    std::vector<Assignment> assignments;
};
