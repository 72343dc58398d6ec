#pragma once

#include "PresetFile.h"
#include "RenderOptions.h"

#include "processor/PluginProcessor.h"

/** The setting every file is rendered with: an equaliser file taken over (if given), then a saved
    state (if given), then the `--set` values in command-line order. All are checked once, up
    front; applying them to a processor goes through the plug-in's own state and parameter code.
*/
class ProcessorSettings
{
public:
    /** Reads the equaliser file and the preset file, and reads every assignment's value the way
        the parameter reads a text typed into a host (getValueForText); a text the parameter does
        not understand is refused. A problem is described in `error` (one line naming the option
        at fault), and leaves the settings empty but for the equaliser file's notes.
    */
    static ProcessorSettings fromOptions (const RenderOptions& options, juce::String& error);

    /** Sets the equaliser file's values, restores the preset, then sets each assigned parameter. */
    void applyTo (KroTrellaAudioProcessor& processor) const;

    /** The lines of the equaliser file that were not used ("FILE: line 3: why"), also when the
        file is refused; empty without --import-eq.
    */
    const juce::StringArray& getEqualiserFileNotes() const noexcept { return equaliserFileNotes; }

    /** How the equaliser file was taken over, with the deviation figures ("FILE: fitted ..."). */
    const juce::String& getEqualiserFileSummary() const noexcept { return equaliserFileSummary; }

    /** Whether the equaliser's master switch is on once the settings are applied. */
    bool switchesEqualiserOn() const;

    /** One line per parameter (id, name, current value as the parameter shows it), then the
        preamp choices.
    */
    static juce::String describeParameters (const KroTrellaAudioProcessor& processor);

    /** The factory presets, then the user's presets with the unreadable files named. */
    static juce::String describePresets();

    /** The state --preset gives: a file of that name if there is one (or the text names a path),
        otherwise the factory preset of that name, otherwise the user's preset of that name.
    */
    static PresetFile::Result loadPreset (const juce::String& fileOrName);

private:
    /** What a parameter accepts, for an error message: its choices, or its range. */
    static juce::String describeValues (const KroTrellaAudioProcessor::KroParameter& parameter);

    struct Assignment
    {
        int index;
        float value;
    };

    std::vector<Assignment> equaliserFileValues;
    juce::StringArray equaliserFileNotes;
    juce::String equaliserFileSummary;
    juce::MemoryBlock presetState;
    std::vector<Assignment> assignments;
};
