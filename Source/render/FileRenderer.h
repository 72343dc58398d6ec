#pragma once

#include "ProcessorSettings.h"
#include "ProgressDisplay.h"
#include "RenderOptions.h"

#include <juce_audio_formats/juce_audio_formats.h>

class CheckedAudioReader;
class CheckedInputStream;

/** Renders one audio file through a fresh plug-in processor into one output file.

    The processor gets the file's channel layout (mono or stereo in and out), its sample rate and
    the settings, then processes the file block by block exactly as a host would. The output keeps
    the sample rate, the channel count and the number of frames; it is written through
    AtomicOutputFile, so it appears complete or not at all.
*/
class FileRenderer
{
public:
    static constexpr int blockSize = 4096;
    static constexpr double minimumSampleRate = 8000.0, maximumSampleRate = 768000.0;

    struct Outcome
    {
        juce::String error;              // one phrase; empty on success
        bool errorIsAboutOutput = false; // the phrase is about the output file, else about the input
        juce::String note;               // something worth telling about a success (clipped samples)
        juce::int64 frames = 0;
        double sampleRate = 0.0;

        static Outcome inputFailed (const juce::String& why) { return { why, false, {}, 0, 0.0 }; }
        static Outcome outputFailed (const juce::String& why) { return { why, true, {}, 0, 0.0 }; }
    };

    FileRenderer (const ProcessorSettings& settings, std::optional<SampleFormat> requestedFormat, bool replaceExisting,
                  ProgressDisplay& progress);

    Outcome render (const juce::File& input, const juce::File& output);

    /** The sample format an output gets by default: the input's, where the output format holds it. */
    static SampleFormat defaultFormatFor (const juce::AudioFormatReader& reader, bool flacOutput);

private:
    struct OpenedInput
    {
        std::unique_ptr<juce::AudioFormatReader> reader;
        CheckedInputStream* stream = nullptr;  // owned by the reader; none for a memory-mapped file
        CheckedAudioReader* checked = nullptr; // the reader, for FLAC and Ogg Vorbis
        bool uncompressed = false;
        juce::String error;
    };

    OpenedInput openInput (const juce::File& input);
    static bool openCompressed (std::unique_ptr<CheckedInputStream>& stream, OpenedInput& opened);
    static juce::String checkInput (const juce::AudioFormatReader& reader);
    std::unique_ptr<KroTrellaAudioProcessor> makeProcessor (int numChannels, double sampleRate) const;

    const ProcessorSettings& settings;
    const std::optional<SampleFormat> requestedFormat;
    const bool replaceExisting;
    ProgressDisplay& progress;
    juce::AudioFormatManager formats;
};
