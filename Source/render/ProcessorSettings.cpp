#include "ProcessorSettings.h"

#include "PresetFile.h"
#include "state/ParameterText.h"

#include "engine/IR_list.h"
#include "state/EqualiserImport.h"
#include "state/FactoryPresets.h"
#include "state/PresetDocument.h"
#include "state/PresetLibrary.h"

juce::String ProcessorSettings::describeValues (const KroTrellaAudioProcessor::KroParameter& parameter)
{
    // A few steps: every text they show; a continuous range: its ends and the default.
    if (parameter.steps <= 8)
    {
        juce::StringArray names;
        for (int i = 0; i <= 2 * parameter.steps; ++i)
            names.addIfNotAlreadyThere (parameter.getText ((float) i / (float) (2 * parameter.steps), 1024));
        return names.joinIntoString (", ");
    }

    return parameter.getText (0.0f, 1024) + " to " + parameter.getText (1.0f, 1024) + ", for example " +
           parameter.getText (parameter.getDefaultValue(), 1024);
}

PresetFile::Result ProcessorSettings::loadPreset (const juce::String& fileOrName)
{
    // A file of that name comes first, then a factory preset, then one of the user's presets.
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (fileOrName);
    if (file.exists())
        return PresetFile::load (file);

    const auto stateOf = [] (const PresetDocument::Values& values)
    {
        PresetFile::Result result;
        juce::AudioProcessor::copyXmlToBinary (*PresetDocument::create (values), result.state);
        return result;
    };

    if (const auto factory = FactoryPresets::find (fileOrName))
        return stateOf (FactoryPresets::values (*factory));

    if (const auto user = PresetLibrary (KroTrellaAudioProcessor::getUserPresetFolder()).find (fileOrName))
        return stateOf (user->values);

    // A text that looks like a path names a missing file.
    if (fileOrName.containsAnyOf ("/\\") || fileOrName.endsWithIgnoreCase (".xml"))
        return PresetFile::load (file);

    return { {}, "no such file, factory preset or user preset (--list-presets lists the presets)" };
}

juce::String ProcessorSettings::describePresets()
{
    juce::String text ("Factory presets:\n");
    for (int i = 0; i < FactoryPresets::count(); ++i)
        text << "    " << FactoryPresets::name (i) << "\n";

    const PresetLibrary library (KroTrellaAudioProcessor::getUserPresetFolder());
    const auto entries = library.scan();
    text << "\nUser presets (" << library.getFolder().getFullPathName() << "):\n";
    if (entries.empty())
        text << "    (none)\n";
    for (const auto& entry : entries)
        text << "    " << entry.name
             << (entry.isReadable() ? juce::String()
                                    : " (unreadable: " + entry.problem + ", " + entry.file.getFileName() + ")")
             << "\n";
    return text;
}

ProcessorSettings ProcessorSettings::fromOptions (const RenderOptions& options, juce::String& error)
{
    ProcessorSettings settings;
    const auto refuse = [&error, &settings] (const juce::String& problem)
    {
        error = problem;
        ProcessorSettings refused;
        refused.equaliserFileNotes = settings.equaliserFileNotes;
        return refused;
    };

    if (options.equaliserFile.isNotEmpty())
    {
        const auto where = "--import-eq " + options.equaliserFile + ": ";
        const auto imported =
            EqualiserImport::fromFile (juce::File::getCurrentWorkingDirectory().getChildFile (options.equaliserFile));
        for (const auto& note : imported.notes)
            settings.equaliserFileNotes.add (where + note.describe());
        if (! imported.isUsable())
            return refuse (where + imported.error);

        settings.equaliserFileSummary = where + imported.summary();
        for (int i = 0; i < (int) imported.values.size(); ++i)
            settings.equaliserFileValues.push_back ({ i, imported.values[(size_t) i] });
    }

    if (options.presetFile.isNotEmpty())
    {
        auto preset = loadPreset (options.presetFile);
        if (preset.error.isNotEmpty())
            return refuse ("--preset " + options.presetFile + ": " + preset.error);
        settings.presetState = std::move (preset.state);
    }

    const KroTrellaAudioProcessor processor;
    for (const auto& assignment : options.assignments)
    {
        const auto where = "--set " + assignment.id + "=" + assignment.valueText + ": ";
        const int index = findTrellaParamIndex (assignment.id.toRawUTF8());
        if (index < 0)
            return refuse (where + "unknown parameter id '" + assignment.id + "' (--list shows the ids)");

        const auto& parameter = *processor.getKroParameter (index);
        if (assignment.valueText.trim().isEmpty())
            return refuse (where + "the value is empty");

        // The parameter's own reading decides; it tells a text it does not understand from a value.
        if (! ParameterText::parse (index, assignment.valueText).has_value())
            return refuse (where + "'" + assignment.valueText + "' is not a value of " + parameter.getName (1024) +
                           " (" + describeValues (parameter) + ")");

        settings.assignments.push_back ({ index, parameter.getValueForText (assignment.valueText) });
    }

    return settings;
}

void ProcessorSettings::applyTo (KroTrellaAudioProcessor& processor) const
{
    for (const auto& value : equaliserFileValues)
        processor.getKroParameter (value.index)->setValue (value.value);

    if (! presetState.isEmpty())
        processor.setStateInformation (presetState.getData(), (int) presetState.getSize());

    for (const auto& assignment : assignments)
        processor.getKroParameter (assignment.index)->setValue (assignment.value);
}

bool ProcessorSettings::switchesEqualiserOn() const
{
    KroTrellaAudioProcessor processor;
    applyTo (processor);
    return processor.getKroParameter (findTrellaParamIndex ("master_active"))->getValue() > 0.0f;
}

juce::String ProcessorSettings::describeParameters (const KroTrellaAudioProcessor& processor)
{
    juce::String text;
    text << juce::String ("ID").paddedRight (' ', 16) << juce::String ("NAME").paddedRight (' ', 16) << "VALUE\n";

    for (int i = 0; i < (int) numTrellaParams; ++i)
    {
        const auto* parameter = processor.getKroParameter (i);
        text << parameter->paramID.paddedRight (' ', 16) << parameter->getName (1024).paddedRight (' ', 16)
             << parameter->getCurrentValueAsText() << "\n";
    }

    juce::StringArray choices;
    for (const auto& entry : IR_list)
        choices.add (entry.menuName);
    text << "\npreamp_type choices: " << choices.joinIntoString (", ") << "\n";

    return text;
}
