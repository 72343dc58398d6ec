#include "ComponentThreadCheck.h"

#include <juce_events/juce_events.h>

#include <atomic>

namespace
{
    std::atomic<int> offThreadCount{ 0 };
} // namespace

void ComponentThreadCheck::notePlace() noexcept
{
    const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    if (messageManager == nullptr || messageManager->isThisTheMessageThread())
        return;

    offThreadCount.fetch_add (1);
    jassertfalse; // a component made or destroyed off the message thread
}

int ComponentThreadCheck::getOffThreadCount() noexcept
{
    return offThreadCount.load();
}
