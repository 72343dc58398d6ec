#include "Lv2MessageThread.h"

namespace juce
{
    // The framework's Linux message loop step (juce_linux_Messaging.cpp), which its plug-in
    // wrappers call in the same way.
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

Lv2MessageThread::Lv2MessageThread()
    : juce::Thread ("KroTrella LV2 messages")
{
}

Lv2MessageThread::~Lv2MessageThread()
{
    stop();
}

void Lv2MessageThread::start()
{
    if (isThreadRunning())
        return;

    tookOver.reset();
    startThread (Priority::normal);
    tookOver.wait (10000);
}

void Lv2MessageThread::stop()
{
    signalThreadShouldExit();
    stopThread (-1);
}

void Lv2MessageThread::run()
{
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    tookOver.signal();

    while (! threadShouldExit())
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}
