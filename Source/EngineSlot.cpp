#include "EngineSlot.h"

#include <juce_events/juce_events.h>

EngineSlot::EngineSlot()
    : shared (std::make_shared<Shared>())
{
}

EngineSlot::~EngineSlot()
{
    clear();
}

void EngineSlot::replace (std::unique_ptr<TrellaDSP> fresh)
{
    auto* previous = shared->current.exchange (fresh.release());

    if (previous != nullptr)
    {
        const std::scoped_lock lock (shared->retiredLock);
        shared->retired.emplace_back (previous);
    }
}

void EngineSlot::disposeRetired()
{
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
    {
        destroyRetiredWhenUnused (shared);
        return;
    }

    juce::MessageManager::callAsync ([weak = std::weak_ptr<Shared> (shared)] { cleanUpOnMessageThread (weak); });
}

void EngineSlot::cleanUpOnMessageThread (const std::weak_ptr<Shared>& weak)
{
    // While a reader still uses a retired engine, look again a little later.
    if (auto s = weak.lock(); s != nullptr && destroyRetiredWhenUnused (s))
        juce::Timer::callAfterDelay (10, [weak] { cleanUpOnMessageThread (weak); });
}

bool EngineSlot::destroyRetiredWhenUnused (const std::shared_ptr<Shared>& s)
{
    std::vector<std::unique_ptr<TrellaDSP>> doomed;

    {
        const std::scoped_lock lock (s->retiredLock);
        if (s->readers.load() == 0)
            doomed.swap (s->retired);

        if (! s->retired.empty())
            return true;
    }

    return false; // the engines in `doomed` are destroyed here, outside the lock
}

void EngineSlot::clear()
{
    std::unique_ptr<TrellaDSP> current (shared->current.exchange (nullptr));
    std::vector<std::unique_ptr<TrellaDSP>> doomed;

    const std::scoped_lock lock (shared->retiredLock);
    doomed.swap (shared->retired);
}

TrellaDSP* EngineSlot::get() const noexcept
{
    return shared->current.load();
}

size_t EngineSlot::getNumRetired() const
{
    const std::scoped_lock lock (shared->retiredLock);
    return shared->retired.size();
}

EngineSlot::Reader::Reader (const EngineSlot& slot) noexcept
    : readers (slot.shared->readers)
{
    // Announce first, then load: a retirement that happens after this load waits for us.
    readers.fetch_add (1);
    engine = slot.shared->current.load();
}

EngineSlot::Reader::~Reader()
{
    readers.fetch_sub (1);
}
