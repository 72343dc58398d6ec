#pragma once

// Update check, its thread: one check run on the background thread "AsyncCheckUpdate", its result
// delivered on the message thread.

#include "CheckUpdate.h"
#include "VersionRequest.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>

/** One version check on a background thread named "AsyncCheckUpdate". The thread asks the server
    and then starts a timer; the result reaches onFinished on the message thread, no sooner than
    deliveryDelayMs after the answer was read.

    The thread writes result and message and only then starts the timer; the timer callback reads
    them on the message thread, so the two threads never touch them at the same time.
*/
class AsyncCheckUpdate : public juce::Thread, public juce::Timer
{
public:
    static constexpr int deliveryDelayMs = 500;

    explicit AsyncCheckUpdate (const juce::String& baseAddress = UpdateCheck::defaultBaseAddress);

    /** Stops the request and the thread (waiting at most 100 ms) and the timer. */
    ~AsyncCheckUpdate() override;

    /** Receives (result, message) on the message thread; see CheckUpdate for both. */
    std::function<void (int result, juce::String message)> onFinished;

    /** Makes sure the check never reports and ends its thread as soon as it can (message thread). */
    void abandon();

    /** True from creation until the result has been delivered or the check abandoned. */
    bool isPending() const noexcept { return pending.load(); }

    void run() override;
    void timerCallback() override;

private:
    VersionRequest request;
    int result = UpdateCheck::noAnswer;
    juce::String message;
    double answeredAtMs = 0.0;
    std::atomic<bool> pending{ true };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AsyncCheckUpdate)
};
