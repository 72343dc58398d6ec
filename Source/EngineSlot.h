#pragma once

#include "engine/TrellaDSP.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

/** Holds the processor's current engine while it may be replaced under the feet of other threads.

    Threads that may run concurrently with a replacement (the audio thread, host automation) use
    the engine through a Reader, which costs three atomic operations and never waits. Readers count
    themselves in one of two epochs; before destroying retired engines the disposer flips the epoch
    twice and waits each time for the readers of the epoch it left, so Readers that start meanwhile
    (and can only see the current engine) never hold it up.

    The interface (message thread) takes the engine with getForInterface() and keeps the plain
    pointer until it takes the engine again or detaches. The rule for a replaced (retired) engine:

    - It is never destroyed while a Reader uses it.
    - The engine the interface holds is destroyed on the message thread only, after every message
      posted before the interface took the next engine (or at once when the interface detaches):
      the interface, which re-binds through a posted message, never sees a destroyed engine.
    - Every other retired engine is destroyed by disposeRetired() (or the next replace) on the
      calling thread, at once. So an offline render, or a host whose message loop does not run,
      keeps at most the interface's engine besides the current one, however often it rebuilds.
*/
class EngineSlot
{
public:
    EngineSlot();
    ~EngineSlot();

    /** Makes the given engine current; the previous one is retired. Retired engines that nobody
        can use any more are destroyed here.
    */
    void replace (std::unique_ptr<TrellaDSP> fresh);

    /** Destroys the retired engines nobody can use any more, waiting a little for Readers that are
        still busy; the interface's engine, if retired, goes on the message thread (see above).
    */
    void disposeRetired();

    /** Destroys the current and every retired engine now; only when no other thread uses them. */
    void clear();

    /** The current engine: for the message thread, or for code that holds a Reader. */
    TrellaDSP* get() const noexcept;

    /** Message thread: the current engine, which the interface may keep using until it calls this
        again or detachInterface().
    */
    TrellaDSP* getForInterface() const;

    /** Message thread: the interface holds no engine any more (its window is gone). */
    void detachInterface();

    /** Keeps the engine it returns alive for as long as the Reader exists. */
    class Reader
    {
    public:
        explicit Reader (const EngineSlot& slot) noexcept;
        ~Reader();

        TrellaDSP* get() const noexcept { return engine; }
        TrellaDSP* operator->() const noexcept { return engine; }
        explicit operator bool() const noexcept { return engine != nullptr; }

    private:
        std::atomic<int>& readers;
        TrellaDSP* engine;

        friend class EngineSlot;
        static std::atomic<int>& enter (const EngineSlot& slot) noexcept;

        JUCE_DECLARE_NON_COPYABLE (Reader)
    };

    /** The number of retired engines not yet destroyed. */
    size_t getNumRetired() const;

    /** How long disposeRetired waits for busy Readers before it leaves their engines for later. */
    static constexpr int readerWaitMilliseconds = 200;

private:
    struct Shared
    {
        std::atomic<int> readers[2]{ { 0 }, { 0 } }; // per epoch
        std::atomic<int> epoch{ 0 };
        std::mutex disposeLock; // one disposer at a time; never taken on the audio thread
        std::atomic<TrellaDSP*> current{ nullptr };
        std::atomic<TrellaDSP*> interfaceEngine{ nullptr };
        mutable std::mutex retiredLock; // never taken on the audio thread; guards the two lists
        std::vector<std::unique_ptr<TrellaDSP>> retired;
        std::vector<TrellaDSP*> leftByInterface; // until the message that left them is over
    };

    /** Destroys the retired engines that, unless `includingInterface`, the interface does not hold
        or has just left, once every Reader that started before has finished (waiting at most
        `waitMilliseconds`). Returns whether some retired engines are left.
    */
    static bool destroyUnused (Shared& shared, bool includingInterface, int waitMilliseconds);

    /** Flips the epoch twice, each time waiting for the Readers of the epoch left behind. */
    static bool waitForEarlierReaders (Shared& shared, int waitMilliseconds);
    static void cleanUpOnMessageThread (const std::weak_ptr<Shared>& shared);
    void postCleanUp() const;

    std::shared_ptr<Shared> shared;

    JUCE_DECLARE_NON_COPYABLE (EngineSlot)
};
