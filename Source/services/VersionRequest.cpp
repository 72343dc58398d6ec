#include "VersionRequest.h"

VersionRequest::VersionRequest (juce::URL requestAddress)
    : address (std::move (requestAddress))
{
}

juce::String VersionRequest::fetchAnswer()
{
    juce::WebInputStream stream (address, false);
    stream.withConnectionTimeout (connectionTimeoutMs).withNumRedirectsToFollow (5);

    {
        const std::scoped_lock guard (lock);
        if (cancelled)
            return {};
        activeStream = &stream;
    }

    juce::String answer;
    const int status = stream.connect (nullptr) ? stream.getStatusCode() : 0;

    if (status >= 200 && status < 300 && ! stream.isError())
        answer = readAnswer (stream);

    const std::scoped_lock guard (lock);
    activeStream = nullptr;
    return cancelled ? juce::String() : answer;
}

void VersionRequest::cancel()
{
    const std::scoped_lock guard (lock);
    cancelled = true;

    if (activeStream != nullptr)
        activeStream->cancel();
}

juce::String VersionRequest::readAnswer (juce::WebInputStream& stream)
{
    juce::MemoryOutputStream body;
    char buffer[256];

    while (! stream.isExhausted())
    {
        const int bytesRead = stream.read (buffer, (int) sizeof (buffer));
        if (bytesRead <= 0)
            break;

        body.write (buffer, (size_t) bytesRead);
        if (body.getDataSize() > (size_t) maximumAnswerBytes)
            return {};
    }

    if (stream.isError())
        return {};

    return body.toString();
}
