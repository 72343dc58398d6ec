#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <ostream>

/** The built plug-ins, loaded the way JUCE-based hosts load them. */
namespace hosted
{
    constexpr double sampleRate = 44100.0;
    constexpr int blockSize = 512;

    enum class Format
    {
        lv2,
        vst3
    };

    void PrintTo (Format format, std::ostream* out);

    /** The built plug-in in the given format, with every bus on and prepared for sampleRate and
        blockSize; nullptr when the host cannot find or open it.
    */
    std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format);
} // namespace hosted
