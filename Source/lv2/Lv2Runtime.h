#pragma once

#include "Lv2MessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The framework inside an LV2 host, one per process and shared by every instance and window of
    the plug-in (hold it through a juce::SharedResourcePointer): the framework initialised, and a
    message thread of the plug-in's own (Lv2MessageThread).

    A host that calls the window's idle function drives the message loop itself: while such a
    window is open the own thread stands still, the host's window thread is the message thread,
    and every idle call dispatches what is pending. Hosts that call no idle keep the own thread.
*/
class Lv2Runtime
{
public:
    Lv2Runtime();
    ~Lv2Runtime();

    /** Host window thread: a window whose host calls idle opens (true) or closes (false). */
    void setHostDrivesMessages (bool hostDrives);

    /** Host window thread: dispatches every pending message (the window's idle call). */
    void dispatchPendingMessages();

    /** Whether the plug-in's own thread is the message thread. */
    bool ownThreadServesMessages() const noexcept { return messageThread.isRunning(); }

private:
    juce::ScopedJuceInitialiser_GUI framework;
    Lv2MessageThread messageThread;
    int hostDrivenWindows = 0; // host window thread

    JUCE_DECLARE_NON_COPYABLE (Lv2Runtime)
};
