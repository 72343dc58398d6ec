#include "ProcessorSettings.h"

#include "ParameterTextReader.h"
#include "PresetFile.h"

#include "engine/IR_list.h"

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

        const auto reading = ParameterTextReader::read (*processor.getKroParameter (index), assignment.valueText);
        if (! reading.value.has_value())
            return refuse (where + reading.problem);

        settings.assignments.push_back ({ index, *reading.value });
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
