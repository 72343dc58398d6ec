#pragma once

#include "engine/TrellaDSP.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

/** Holds the processor's current engine while it may be replaced under the feet of other threads.

    Threads that may run concurrently with a replacement (the audio thread, host automation) use
    the engine through a Reader, which costs three atomic operations and never waits. Readers count
    themselves in one of two epochs; before destroying retired engines the disposer flips the epoch
    twice and waits each time for the readers of the epoch it left, so Readers that start meanwhile
    (and can only see the current engine) never hold it up.

    The interface (message thread) takes the engine with getForInterface(). The rule for a replaced
    (retired) engine:

    - It is never destroyed while a Reader uses it.
    - An engine that was ever handed to the interface (the only kind that holds a window
      component, its analyser) is destroyed on the message thread only, by
      the clean-up message that disposeRetired() posts after its retirement (so after the message
      that re-binds the interface, which the processor posts first), or at once when the interface
      detaches: the interface never sees a destroyed engine.
    - Every other retired engine is destroyed by replace() or disposeRetired() on the calling thread,
      at once. So an offline render, or a host whose message loop does not run, keeps no engine
      besides the current one and those the interface had already been shown, however often it
      rebuilds.
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

    /** Destroys the current and every retired engine now; only when no other thread uses them. A
        clean-up that is running finishes first.
    */
    void clear();

    /** The current engine: for the message thread, or for code that holds a Reader. */
    TrellaDSP* get() const noexcept;

    /** Message thread: the current engine, which the interface may keep using until the clean-up
        after its retirement has run, or until detachInterface(). The engine gets its analyser (a
        window component) here, on the message thread.
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
        mutable std::mutex retiredLock; // never taken on the audio thread; guards what follows
        struct Retired
        {
            std::unique_ptr<TrellaDSP> engine;
            std::uint64_t sequence; // the count of retirements when it was retired
        };
        std::vector<Retired> retired;
        std::vector<const TrellaDSP*> shownToInterface; // engines handed to the interface, not yet destroyed
        std::uint64_t retirements = 0;
    };

    /** Destroys the retired engines never shown to the interface, and those shown to it that were
        retired as retirement number `shownUpTo` or earlier, once every Reader that started before
        has finished (waiting at most `waitMilliseconds`). Returns whether some retired engines are left.
    */
    static bool destroyUnused (Shared& shared, std::uint64_t shownUpTo, int waitMilliseconds);

    /** Flips the epoch twice, each time waiting for the Readers of the epoch left behind. */
    static bool waitForEarlierReaders (Shared& shared, int waitMilliseconds);
    static void cleanUpOnMessageThread (const std::weak_ptr<Shared>& shared, std::uint64_t shownUpTo);
    void postCleanUp() const;

    std::shared_ptr<Shared> shared;

    JUCE_DECLARE_NON_COPYABLE (EngineSlot)
};
