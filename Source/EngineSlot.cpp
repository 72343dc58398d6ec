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

    destroyUnused (*shared, false, readerWaitMilliseconds);
}

void EngineSlot::disposeRetired()
{
    // Readers are short (a setter call, a block); the host does not process while it prepares.
    destroyUnused (*shared, false, readerWaitMilliseconds);

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

    // The message thread waits only briefly; engines still in a Reader's hands are looked at again
    // a little later. The interface's own engine waits for the interface to move on, which posts
    // its own clean-up.
    constexpr int briefWaitMilliseconds = 2;
    if (! destroyUnused (*s, false, briefWaitMilliseconds))
        return;

    bool onlyTheInterfaceEngineLeft = false;
    {
        const std::scoped_lock lock (s->retiredLock);
        onlyTheInterfaceEngineLeft = s->retired.size() == 1 && s->retired.front().get() == s->interfaceEngine.load();
    }
    if (! onlyTheInterfaceEngineLeft)
        juce::Timer::callAfterDelay (10, [weak] { cleanUpOnMessageThread (weak); });
}

bool EngineSlot::waitForEarlierReaders (Shared& s, int waitMilliseconds)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) waitMilliseconds;
    for (int flip = 0; flip < 2; ++flip)
    {
        const int left = s.epoch.fetch_xor (1);
        while (s.readers[left].load() != 0)
        {
            if (juce::Time::getMillisecondCounter() >= deadline)
                return false;
            std::this_thread::yield();
        }
    }
    return true;
}

bool EngineSlot::destroyUnused (Shared& s, bool includingInterface, int waitMilliseconds)
{
    auto keep = [&] (const TrellaDSP* engine)
    {
        return ! includingInterface &&
               (engine == s.interfaceEngine.load() ||
                std::find (s.leftByInterface.begin(), s.leftByInterface.end(), engine) != s.leftByInterface.end());
    };

    const std::scoped_lock disposing (s.disposeLock);
    std::vector<const TrellaDSP*> candidates;
    {
        const std::scoped_lock lock (s.retiredLock);
        for (const auto& engine : s.retired)
            if (! keep (engine.get()))
                candidates.push_back (engine.get());
        if (candidates.empty())
            return ! s.retired.empty();
    }

    // Every candidate was retired before this point, so a Reader that starts later cannot hold one.
    const bool readersDone = waitForEarlierReaders (s, waitMilliseconds);

    std::vector<std::unique_ptr<TrellaDSP>> doomed;
    {
        const std::scoped_lock lock (s.retiredLock);
        if (readersDone)
        {
            for (auto& engine : s.retired)
                if (std::find (candidates.begin(), candidates.end(), engine.get()) != candidates.end() &&
                    ! keep (engine.get()))
                    doomed.push_back (std::move (engine));

            s.retired.erase (std::remove (s.retired.begin(), s.retired.end(), nullptr), s.retired.end());
        }

        if (! s.retired.empty())
            return true;
    }

    return false; // the engines in `doomed` are destroyed here, outside the locks
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
    // Counted like a Reader, so that an engine retired meanwhile is seen as the interface's.
    auto& readers = Reader::enter (*this);
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

    readers.fetch_sub (1);
    return engine;
}

void EngineSlot::detachInterface()
{
    {
        const std::scoped_lock lock (shared->retiredLock);
        shared->interfaceEngine.store (nullptr);
        shared->leftByInterface.clear();
    }
    destroyUnused (*shared, true, readerWaitMilliseconds);
}

size_t EngineSlot::getNumRetired() const
{
    const std::scoped_lock lock (shared->retiredLock);
    return shared->retired.size();
}

std::atomic<int>& EngineSlot::Reader::enter (const EngineSlot& slot) noexcept
{
    // Count first, then load the engine: a disposer that has not seen the count yet retired its
    // engines before this load, so this Reader gets the current one.
    auto& readers = slot.shared->readers[slot.shared->epoch.load()];
    readers.fetch_add (1);
    return readers;
}

EngineSlot::Reader::Reader (const EngineSlot& slot) noexcept
    : readers (enter (slot))
{
    engine = slot.shared->current.load();
}

EngineSlot::Reader::~Reader()
{
    readers.fetch_sub (1);
}
