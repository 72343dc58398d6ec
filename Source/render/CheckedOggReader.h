#pragma once

#include "CheckedAudioReader.h"

#include <memory>

/** Reads an Ogg Vorbis file through libvorbisfile, and fails where the framework's reader pads with
    silence or ends early: a corrupt or missing page (found by reading every page's checksum and
    number before decoding), a hole or a bad link in the decoded data, or a stream without its
    end-of-stream page. Ogg headers give no length: a cut file looks like a shorter complete one
    (and a file missing its first audio page like one that starts later), so the pages are the only
    sign.
*/
class CheckedOggReader : public CheckedAudioReader
{
public:
    /** Whether the stream starts like an Ogg file; leaves it at its start. */
    static bool recognises (juce::InputStream& stream);

    /** Takes ownership of the stream. `isOpen` tells whether the Vorbis headers could be read. */
    explicit CheckedOggReader (juce::InputStream* stream);
    ~CheckedOggReader() override;

    bool isOpen() const noexcept { return open; }

    bool readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

    juce::String getProblem() const override { return problem; }
    juce::String finishReading() override { return problem; }

    /** The phrase for a file whose last page is missing. */
    static constexpr const char* missingEnd = "ends before its last page (the file is cut short or damaged)";

private:
    struct Decoder;

    void fail (const juce::String& why);

    std::unique_ptr<Decoder> decoder;
    bool open = false;
    juce::String problem;
    juce::int64 position = 0; // the decoder's next sample
};
