#pragma once

#include "CheckedAudioReader.h"

#include <memory>
#include <vector>

/** Reads a FLAC file through libFLAC, and fails where the framework's reader pads with silence: a
    decoder error (lost sync, a bad frame header, a frame whose checksum does not match), a stream
    that ends before the number of samples its header gives, or decoded audio whose MD5 differs from
    the one the header holds (checked when the whole file has been read in order).
*/
class CheckedFlacReader : public CheckedAudioReader
{
public:
    /** Whether the stream starts like a FLAC file; leaves it at its start. */
    static bool recognises (juce::InputStream& stream);

    /** Takes ownership of the stream. `isOpen` tells whether the header could be read. */
    explicit CheckedFlacReader (juce::InputStream* stream);
    ~CheckedFlacReader() override;

    bool isOpen() const noexcept { return open; }

    bool readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                      juce::int64 startSampleInFile, int numSamples) override;

    juce::String getProblem() const override { return problem; }
    juce::String finishReading() override;

private:
    struct Decoder;
    friend struct Decoder;

    bool decodeNextFrame();
    void countSamplesOfWholeStream();
    void fail (const juce::String& why);

    std::unique_ptr<Decoder> decoder;
    bool open = false;
    bool lengthKnown = true; // the header gives the number of samples
    bool readInOrder = true; // no seek since the start, so the checksum can be checked
    juce::String problem;

    // The last decoded frame, samples left-justified in 32 bits.
    std::vector<std::vector<int>> frame;
    juce::int64 frameStart = 0;
    int frameLength = 0;
    juce::int64 decodedEnd = 0; // one past the last sample decoded in order
};
