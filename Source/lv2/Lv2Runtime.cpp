#include "Lv2Runtime.h"

namespace juce
{
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

Lv2Runtime::Lv2Runtime()
{
    messageThread.start();
}

Lv2Runtime::~Lv2Runtime()
{
    messageThread.stop();
    // The framework shuts down on the thread that releases the last instance, as its message thread.
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
}

void Lv2Runtime::setHostDrivesMessages (bool hostDrives)
{
    if (hostDrives)
    {
        if (hostDrivenWindows++ == 0)
            messageThread.stop();
        juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    }
    else if (hostDrivenWindows > 0 && --hostDrivenWindows == 0)
    {
        messageThread.start();
    }
}

void Lv2Runtime::dispatchPendingMessages()
{
    if (hostDrivenWindows == 0)
        return;

    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}
