#pragma once

// Update check, its thread: one check run on its own background thread "AsyncCheckUpdate", its
// result delivered on the message thread.

#include "CheckUpdate.h"

#include <functional>
#include <memory>

/** One version check on a background thread named "AsyncCheckUpdate". The thread asks the server,
    waits until deliveryDelayMs have passed since the answer was read, and posts the result to the
    message thread, where onFinished receives it.

    The message thread never waits for that thread. abandon() (and the destructor) wakes the
    request, which ends itself on its thread (VersionRequest), and makes sure the check never
    reports. The thread shares the check's state with this object, so it may end after this object
    is gone; what it finds then is dropped. A thread is never stopped by force.
*/
class AsyncCheckUpdate
{
public:
    static constexpr int deliveryDelayMs = 500;

    explicit AsyncCheckUpdate (const juce::String& baseAddress = UpdateCheck::defaultBaseAddress);

    /** Abandons the check; returns at once. */
    ~AsyncCheckUpdate();

    /** Receives (result, message) on the message thread; see CheckUpdate for both. */
    std::function<void (int result, juce::String message)> onFinished;

    /** Starts the thread (message thread, once). */
    void start();

    /** Makes sure the check never reports and wakes its request, which ends soon (message thread). */
    void abandon();

    /** True from creation until the result has been delivered or the check abandoned. */
    bool isPending() const noexcept;

    /** Whether the check's thread still runs (it ends soon after abandon()). */
    bool isThreadRunning() const noexcept;

private:
    struct Job;

    void deliver();

    std::shared_ptr<Job> job;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AsyncCheckUpdate)
};
