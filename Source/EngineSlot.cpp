#include "EngineSlot.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <thread>

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

    destroyUnused (*shared, false);
}

void EngineSlot::disposeRetired()
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) readerWaitMilliseconds;

    // Readers are short (a setter call, a block); the host does not process while it prepares.
    while (destroyUnused (*shared, false) && shared->readers.load() > 0 &&
           juce::Time::getMillisecondCounter() < deadline)
        std::this_thread::yield();

    if (getNumRetired() > 0)
        postCleanUp();
}

void EngineSlot::postCleanUp() const
{
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
        juce::MessageManager::callAsync ([weak = std::weak_ptr<Shared> (shared)] { cleanUpOnMessageThread (weak); });
}

void EngineSlot::cleanUpOnMessageThread (const std::weak_ptr<Shared>& weak)
{
    auto s = weak.lock();
    if (s == nullptr)
        return;

    // This message runs after the one in which the interface left its previous engines.
    {
        const std::scoped_lock lock (s->retiredLock);
        s->leftByInterface.clear();
    }

    if (! destroyUnused (*s, false))
        return;

    // Engines still in a Reader's hands: look again a little later. The interface's own engine waits
    // for the interface to move on, which posts its own clean-up.
    if (s->readers.load() > 0)
        juce::Timer::callAfterDelay (10, [weak] { cleanUpOnMessageThread (weak); });
}

bool EngineSlot::destroyUnused (Shared& s, bool includingInterface)
{
    std::vector<std::unique_ptr<TrellaDSP>> doomed;

    {
        const std::scoped_lock lock (s.retiredLock);
        if (s.readers.load() == 0)
        {
            const auto* held = includingInterface ? nullptr : s.interfaceEngine.load();
            auto keep = [&] (const TrellaDSP* engine)
            {
                return ! includingInterface &&
                       (engine == held || std::find (s.leftByInterface.begin(), s.leftByInterface.end(), engine) !=
                                              s.leftByInterface.end());
            };
            for (auto& engine : s.retired)
                if (! keep (engine.get()))
                    doomed.push_back (std::move (engine));

            s.retired.erase (std::remove (s.retired.begin(), s.retired.end(), nullptr), s.retired.end());
        }

        if (! s.retired.empty())
            return true;
    }

    return false; // the engines in `doomed` are destroyed here, outside the lock
}

void EngineSlot::clear()
{
    std::unique_ptr<TrellaDSP> current (shared->current.exchange (nullptr));
    std::vector<std::unique_ptr<TrellaDSP>> doomed;

    const std::scoped_lock lock (shared->retiredLock);
    shared->interfaceEngine.store (nullptr);
    shared->leftByInterface.clear();
    doomed.swap (shared->retired);
}

TrellaDSP* EngineSlot::get() const noexcept
{
    return shared->current.load();
}

TrellaDSP* EngineSlot::getForInterface() const
{
    // Announced like a Reader, so that an engine retired meanwhile is seen as the interface's.
    shared->readers.fetch_add (1);
    auto* engine = shared->current.load();
    auto* previous = shared->interfaceEngine.load();

    if (previous != engine)
    {
        // The message in progress may still be re-binding the interface away from `previous`: that
        // engine stays until a message posted now has run.
        {
            const std::scoped_lock lock (shared->retiredLock);
            if (previous != nullptr)
                shared->leftByInterface.push_back (previous);
            shared->interfaceEngine.store (engine);
        }
        postCleanUp();
    }

    shared->readers.fetch_sub (1);
    return engine;
}

void EngineSlot::detachInterface()
{
    {
        const std::scoped_lock lock (shared->retiredLock);
        shared->interfaceEngine.store (nullptr);
        shared->leftByInterface.clear();
    }
    destroyUnused (*shared, true);
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
