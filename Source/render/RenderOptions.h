#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/** The sample format of an output file. */
enum class SampleFormat
{
    int16,
    int24,
    float32
};

/** One `--set ID=VALUE` as the user typed it. */
struct ParameterAssignment
{
    juce::String id;
    juce::String valueText;
};

/** What the command line asks for. */
struct RenderOptions
{
    juce::StringArray inputs;
    juce::String output;         // INPUT OUTPUT form: the output file
    juce::String outputDir;      // INPUT... --out-dir DIR form: the folder that receives every output
    juce::String equaliserFile;  // --import-eq: an equaliser text file, taken over before the preset
    juce::String presetFile;     // --preset: a state file, or a factory or user preset's name
    juce::String pipewireFilter; // --pipewire-filter: the drop-in to write instead of rendering
    juce::Array<ParameterAssignment> assignments;
    std::optional<SampleFormat> sampleFormat; // empty: follow the input
    bool force = false;
    bool quiet = false;
    bool list = false;
    bool listPresets = false;
    bool help = false;
};
