#pragma once

#include <juce_core/juce_core.h>

/** A file input stream that remembers whether a read came back short (the file ended before the
    bytes asked for) or failed. Audio readers of uncompressed formats quietly fill a file that is cut
    short with silence; this lets the renderer tell such a file from a complete one.
*/
class CheckedInputStream : public juce::InputStream
{
public:
    explicit CheckedInputStream (const juce::File& file);

    /** Why the file could not be opened or read, or an empty text. */
    juce::String getError() const;

    /** Whether a read since the last reset returned fewer bytes than asked for. */
    bool hasReadShort() const noexcept { return readShort; }
    void resetShortReads() noexcept { readShort = false; }

    juce::int64 getTotalLength() override { return stream.getTotalLength(); }
    bool isExhausted() override { return stream.isExhausted(); }
    int read (void* destination, int maxBytesToRead) override;
    juce::int64 getPosition() override { return stream.getPosition(); }
    bool setPosition (juce::int64 position) override { return stream.setPosition (position); }

private:
    juce::FileInputStream stream;
    bool readShort = false;
};
