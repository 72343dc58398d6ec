#pragma once

// Update check, the network request: one HTTP GET of the version page, which another thread can
// cancel at once.

#include <juce_core/juce_core.h>

#include <atomic>
#include <mutex>

/** One HTTP GET of the version page, made with libcurl, which another thread may cancel.

    An answer counts only when the server replies with a success status (2xx) and a short body: an
    error page, a redirect loop or a stream of data is no version, so it counts as no answer.

    The request runs on the thread that calls fetchAnswer, in a loop that waits on its connection
    and on a wake-up call. cancel() only sets a flag and wakes that loop: it returns at once on any
    thread, never touches the connection, and the request ends itself on its own thread. Nothing
    the server or the name lookup does can make cancel() wait.
*/
class VersionRequest
{
public:
    /** Give up connecting, or receiving the answer, after this long without progress. */
    static constexpr int connectionTimeoutMs = 10000;

    /** The longest body taken as an answer; a version string is a few characters. */
    static constexpr int maximumAnswerBytes = 1024;

    /** Redirects followed before the request counts as failed. */
    static constexpr int maximumRedirects = 5;

    explicit VersionRequest (juce::URL address);

    /** Performs the request; blocks until it is done or cancelled. Returns the body exactly as
        received, or an empty string when the request failed or was cancelled. Call it once.
    */
    juce::String fetchAnswer();

    /** Stops a running request, or keeps one from starting; returns at once. Safe from any thread. */
    void cancel();

    bool isCancelled() const noexcept { return cancelled.load(); }

private:
    const juce::URL address;
    std::atomic<bool> cancelled{ false };
    std::mutex lock;         // guards `running` between the requesting thread and cancel(); held only briefly
    void* running = nullptr; // the request's libcurl multi handle while its loop runs

    JUCE_DECLARE_NON_COPYABLE (VersionRequest)
};
