#include "CheckedInputStream.h"

CheckedInputStream::CheckedInputStream (const juce::File& file)
    : stream (file)
{
}

juce::String CheckedInputStream::getError() const
{
    return stream.getStatus().failed() ? stream.getStatus().getErrorMessage() : juce::String();
}

int CheckedInputStream::read (void* destination, int maxBytesToRead)
{
    const int bytesRead = stream.read (destination, maxBytesToRead);
    if (bytesRead < maxBytesToRead)
        readShort = true;
    return bytesRead;
}
