#pragma once

#include <juce_events/juce_events.h>

#include <functional>

/** Groups a run of mouse-wheel events into one edit. A wheel has no release, so the edit opens at
    the first event of a run and ends once the wheel has rested for `pauseMs`.

    Message thread only.
*/
class WheelGesture : private juce::Timer
{
public:
    static constexpr int defaultPauseMs = 400;

    WheelGesture() = default;
    ~WheelGesture() override;

    /** Run when a run of wheel events begins and when it ends. */
    std::function<void()> onStart, onEnd;

    /** One wheel event: opens the edit if none is open, and restarts the pause. */
    void touch();

    /** Ends an open edit now (runs onEnd). */
    void finish();

    /** Drops an open edit without running onEnd, for when its receiver has gone. */
    void forget();

    bool isOpen() const noexcept { return open; }

    int pauseMs = defaultPauseMs;

private:
    void timerCallback() override { finish(); }

    bool open = false;

    JUCE_DECLARE_NON_COPYABLE (WheelGesture)
};
