#include "EngineSlot.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <limits>
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
        shared->retired.push_back ({ std::unique_ptr<TrellaDSP> (previous), ++shared->retirements });
    }

    destroyUnused (*shared, 0, readerWaitMilliseconds);
}

void EngineSlot::disposeRetired()
{
    // Readers are short (a setter call, a block); the host does not process while it prepares.
    destroyUnused (*shared, 0, readerWaitMilliseconds);

    if (getNumRetired() > 0)
        postCleanUp();
}

void EngineSlot::postCleanUp() const
{
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
        return;

    std::uint64_t upTo = 0;
    {
        const std::scoped_lock lock (shared->retiredLock);
        upTo = shared->retirements;
    }
    juce::MessageManager::callAsync ([weak = std::weak_ptr<Shared> (shared), upTo]
                                     { cleanUpOnMessageThread (weak, upTo); });
}

void EngineSlot::cleanUpOnMessageThread (const std::weak_ptr<Shared>& weak, std::uint64_t shownUpTo)
{
    auto s = weak.lock();
    if (s == nullptr)
        return;

    // The message thread waits only briefly; engines still in a Reader's hands are looked at again
    // a little later.
    constexpr int briefWaitMilliseconds = 2;
    destroyUnused (*s, shownUpTo, briefWaitMilliseconds);

    bool someLeft = false;
    {
        const std::scoped_lock lock (s->retiredLock);
        for (const auto& r : s->retired)
            someLeft = someLeft || r.sequence <= shownUpTo;
    }
    if (someLeft)
        juce::Timer::callAfterDelay (10, [weak, shownUpTo] { cleanUpOnMessageThread (weak, shownUpTo); });
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

bool EngineSlot::destroyUnused (Shared& s, std::uint64_t shownUpTo, int waitMilliseconds)
{
    // Under retiredLock.
    auto mayGo = [&] (const Shared::Retired& r)
    {
        const bool shown = std::find (s.shownToInterface.begin(), s.shownToInterface.end(), r.engine.get()) !=
                           s.shownToInterface.end();
        return ! shown || r.sequence <= shownUpTo;
    };

    const std::scoped_lock disposing (s.disposeLock);
    std::vector<const TrellaDSP*> candidates;
    {
        const std::scoped_lock lock (s.retiredLock);
        for (const auto& r : s.retired)
            if (mayGo (r))
                candidates.push_back (r.engine.get());
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
            for (auto& r : s.retired)
                if (std::find (candidates.begin(), candidates.end(), r.engine.get()) != candidates.end() && mayGo (r))
                {
                    s.shownToInterface.erase (
                        std::remove (s.shownToInterface.begin(), s.shownToInterface.end(), r.engine.get()),
                        s.shownToInterface.end());
                    doomed.push_back (std::move (r.engine));
                }

            s.retired.erase (std::remove_if (s.retired.begin(), s.retired.end(),
                                             [] (const Shared::Retired& r) { return r.engine == nullptr; }),
                             s.retired.end());
        }

        if (! s.retired.empty())
            return true;
    }

    return false; // the engines in `doomed` are destroyed here, outside the locks
}

void EngineSlot::clear()
{
    // After any clean-up that is running, which may be holding engines it is about to destroy.
    const std::scoped_lock disposing (shared->disposeLock);
    std::unique_ptr<TrellaDSP> current (shared->current.exchange (nullptr));
    std::vector<std::unique_ptr<TrellaDSP>> doomed;

    const std::scoped_lock lock (shared->retiredLock);
    shared->shownToInterface.clear();
    for (auto& r : shared->retired)
        doomed.push_back (std::move (r.engine));
    shared->retired.clear();
}

TrellaDSP* EngineSlot::get() const noexcept
{
    return shared->current.load();
}

TrellaDSP* EngineSlot::getForInterface() const
{
    // Counted like a Reader, so that a disposer that retired this engine meanwhile sees it as shown.
    auto& readers = Reader::enter (*this);
    auto* engine = shared->current.load();
    if (engine != nullptr)
    {
        {
            const std::scoped_lock lock (shared->retiredLock);
            auto& shown = shared->shownToInterface;
            if (std::find (shown.begin(), shown.end(), engine) == shown.end())
                shown.push_back (engine);
        }

        // Shown engines are destroyed on this thread only, so the window component is made here.
        engine->makeAnalyzer();
    }
    readers.fetch_sub (1);
    return engine;
}

void EngineSlot::detachInterface()
{
    destroyUnused (*shared, std::numeric_limits<std::uint64_t>::max(), readerWaitMilliseconds);
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
