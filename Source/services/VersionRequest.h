#pragma once

// Update check, the network request: one HTTP GET of the version page, cancellable from another thread.

#include <juce_core/juce_core.h>

#include <mutex>

/** One HTTP GET of the version page, which another thread may cancel.

    An answer counts only when the server replies with a success status (2xx) and a short body: an
    error page, a redirect loop or a stream of data is no version, so it counts as no answer.
*/
class VersionRequest
{
public:
    /** Give up connecting, or receiving the answer, after this long without progress. */
    static constexpr int connectionTimeoutMs = 10000;

    /** The longest body taken as an answer; a version string is a few characters. */
    static constexpr int maximumAnswerBytes = 1024;

    explicit VersionRequest (juce::URL address);

    /** Performs the request; blocks until it is done. Returns the body exactly as received, or an
        empty string when the request failed or was cancelled. Call it once.
    */
    juce::String fetchAnswer();

    /** Stops a running request as soon as the network layer allows, or keeps one from starting.
        Safe from any thread.
    */
    void cancel();

private:
    static juce::String readAnswer (juce::WebInputStream& stream);

    const juce::URL address;
    std::mutex lock; // guards the two members below between the requesting and a cancelling thread
    juce::WebInputStream* activeStream = nullptr;
    bool cancelled = false;

    JUCE_DECLARE_NON_COPYABLE (VersionRequest)
};
