#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** A reader of a compressed format that tells whether the file gave everything it promised: every
    frame its header counts, decoded without an error. The framework's own FLAC and Ogg Vorbis
    readers fill whatever they cannot decode with silence and report success.

    `readSamples` returns false as soon as a problem is known; `getProblem` then says what it is.
*/
class CheckedAudioReader : public juce::AudioFormatReader
{
public:
    using juce::AudioFormatReader::AudioFormatReader;

    /** Why the audio read so far is not the file's audio (one phrase), or an empty text. */
    virtual juce::String getProblem() const = 0;

    /** After the last read: the problem, or what only the end can show (a missing end, a checksum). */
    virtual juce::String finishReading() = 0;

    /** The phrase for a file that ends before the audio its header promises. */
    static constexpr const char* cutShort =
        "ends before the length its header gives (the file is cut short or damaged)";
};
