#pragma once

#include <juce_core/juce_core.h>

#include <mutex>
#include <vector>

/** A tiny HTTP server on 127.0.0.1 for the version-check tests: it answers every GET with a reply
    taken from a list (the n-th request gets the n-th reply, later ones the last), records what it
    was asked and when it finished each reply. It serves a bounded number of connections for a
    bounded time and stops with the object.
*/
class LocalHttpServer : private juce::Thread
{
public:
    struct Reply
    {
        int status = 200;
        juce::String body;
        int delayMs = 0; // how long the server holds the request before replying
    };

    explicit LocalHttpServer (std::vector<Reply> replies);
    ~LocalHttpServer() override;

    /** "http://127.0.0.1:<port>/" */
    juce::String getBaseAddress() const;

    /** The request lines received so far, such as "GET /x HTTP/1.1". */
    juce::StringArray getRequestLines() const;

    /** For each finished reply, the high-resolution millisecond counter when it had been sent (or
        had failed because the client was gone).
    */
    std::vector<double> getReplyTimes() const;

    /** Waits until this many replies are finished; returns false on timeout. */
    bool waitForReplies (int count, int timeoutMs = 5000) const;

    /** A base address on 127.0.0.1 where nothing listens. */
    static juce::String closedPortAddress();

private:
    static constexpr int maxConnections = 32;
    static constexpr int lifetimeMs = 60000;

    void run() override;
    void serve (juce::StreamingSocket& client, const Reply& reply);

    juce::StreamingSocket listener;
    const std::vector<Reply> replies;
    mutable std::mutex lock;
    juce::StringArray requestLines;
    std::vector<double> replyTimes;
};
