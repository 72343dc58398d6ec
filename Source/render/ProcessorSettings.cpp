#include "ProcessorSettings.h"

#include "PresetFile.h"
#include "state/ParameterText.h"

#include "engine/IR_list.h"

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

ProcessorSettings ProcessorSettings::fromOptions (const RenderOptions& options, juce::String& error)
{
    ProcessorSettings settings;
    const auto refuse = [&error] (const juce::String& problem)
    {
        error = problem;
        return ProcessorSettings();
    };

    if (options.presetFile.isNotEmpty())
    {
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (options.presetFile);
        auto preset = PresetFile::load (file);
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
