#pragma once

#include <juce_events/juce_events.h>

/** A thread of the plug-in's own that serves as the framework's message thread inside a host:
    it dispatches posted messages, timers and window events while no host thread does (as the
    framework's own plug-in wrappers do on Linux; see juce_LinuxMessageThread.h).
*/
class Lv2MessageThread : private juce::Thread
{
public:
    Lv2MessageThread();
    ~Lv2MessageThread() override;

    /** Starts the thread and returns once it has become the message thread. */
    void start();

    /** Stops the thread; the message thread is whichever thread takes it over next. */
    void stop();

    bool isRunning() const noexcept { return isThreadRunning(); }

private:
    void run() override;

    juce::WaitableEvent tookOver;

    JUCE_DECLARE_NON_COPYABLE (Lv2MessageThread)
};
