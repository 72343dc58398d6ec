#include "LocalHttpServer.h"

#include <sys/socket.h>

#include <stdexcept>

namespace
{
    juce::String reasonPhrase (int status)
    {
        switch (status)
        {
            case 200:
                return "OK";
            case 404:
                return "Not Found";
            case 500:
                return "Internal Server Error";
            default:
                return "Status";
        }
    }

    /** Writes everything or gives up; a client that has gone must not raise SIGPIPE. */
    void sendAll (juce::StreamingSocket& socket, const juce::MemoryBlock& data)
    {
        size_t done = 0;
        while (done < data.getSize())
        {
            const auto sent = ::send (socket.getRawSocketHandle(), static_cast<const char*> (data.getData()) + done,
                                      data.getSize() - done, MSG_NOSIGNAL);
            if (sent <= 0)
                return;
            done += (size_t) sent;
        }
    }

    /** Reads until the end of the request header, or until the client stops sending. */
    juce::String readRequestHeader (juce::StreamingSocket& socket)
    {
        juce::MemoryOutputStream received;
        char buffer[512];

        while (! received.toString().contains ("\r\n\r\n") && received.getDataSize() < 16384)
        {
            if (socket.waitUntilReady (true, 2000) != 1)
                break;

            const int bytesRead = socket.read (buffer, (int) sizeof (buffer), false);
            if (bytesRead <= 0)
                break;

            received.write (buffer, (size_t) bytesRead);
        }

        return received.toString();
    }
} // namespace

LocalHttpServer::LocalHttpServer (std::vector<Reply> repliesToGive)
    : juce::Thread ("LocalHttpServer")
    , replies (std::move (repliesToGive))
{
    if (replies.empty() || ! listener.createListener (0, "127.0.0.1"))
        throw std::runtime_error ("the test server cannot listen on 127.0.0.1");

    startThread();
}

LocalHttpServer::~LocalHttpServer()
{
    stopThread (10000);
}

juce::String LocalHttpServer::getBaseAddress() const
{
    return "http://127.0.0.1:" + juce::String (listener.getBoundPort()) + "/";
}

juce::StringArray LocalHttpServer::getRequestLines() const
{
    const std::scoped_lock guard (lock);
    return requestLines;
}

std::vector<double> LocalHttpServer::getReplyTimes() const
{
    const std::scoped_lock guard (lock);
    return replyTimes;
}

bool LocalHttpServer::waitForReplies (int count, int timeoutMs) const
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    while ((int) getReplyTimes().size() < count)
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;
        juce::Thread::sleep (2);
    }
    return true;
}

juce::String LocalHttpServer::closedPortAddress()
{
    juce::StreamingSocket probe;
    if (! probe.createListener (0, "127.0.0.1"))
        throw std::runtime_error ("cannot find a free port on 127.0.0.1");

    const int port = probe.getBoundPort();
    probe.close();
    return "http://127.0.0.1:" + juce::String (port) + "/";
}

void LocalHttpServer::run()
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) lifetimeMs;

    for (int served = 0; served < maxConnections && ! threadShouldExit();)
    {
        if (juce::Time::getMillisecondCounter() > end)
            return;

        if (listener.waitUntilReady (true, 20) != 1)
            continue;

        const std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());
        if (client == nullptr)
            continue;

        serve (*client, replies[(size_t) juce::jmin (served, (int) replies.size() - 1)]);
        ++served;
    }
}

void LocalHttpServer::serve (juce::StreamingSocket& client, const Reply& reply)
{
    const auto header = readRequestHeader (client);
    {
        const std::scoped_lock guard (lock);
        requestLines.add (header.upToFirstOccurrenceOf ("\r\n", false, false));
    }

    if (reply.delayMs > 0)
        wait (reply.delayMs);

    const auto body = reply.body.toStdString();
    juce::MemoryOutputStream response;
    response << "HTTP/1.1 " << reply.status << " " << reasonPhrase (reply.status) << "\r\n"
             << "Content-Type: text/plain\r\n"
             << "Content-Length: " << (int) body.size() << "\r\n"
             << "Connection: close\r\n\r\n";
    response.write (body.data(), body.size());

    // Taken before sending: the client may read the reply before this thread runs again, and a
    // time taken afterwards would then make the client's wait look shorter than it was.
    {
        const std::scoped_lock guard (lock);
        replyTimes.push_back (juce::Time::getMillisecondCounterHiRes());
    }
    sendAll (client, response.getMemoryBlock());
}
