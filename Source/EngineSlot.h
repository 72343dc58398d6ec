#pragma once

#include "engine/TrellaDSP.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

/** Holds the processor's current engine while it may be replaced under the feet of other threads.

    Threads that may run concurrently with a replacement (the audio thread, host automation) use
    the engine through a Reader, which costs two atomic counter updates and never waits. A replaced
    engine is retired, and destroyed later on the message thread, once no Reader uses it any more
    and after every message posted before disposeRetired(); the interface, which lives on the
    message thread and re-attaches itself through a posted message, therefore never sees a
    destroyed engine. Without a message thread the retired engines go when no Reader is active.
*/
class EngineSlot
{
public:
    EngineSlot();
    ~EngineSlot();

    /** Makes the given engine current; the previous one is retired. */
    void replace (std::unique_ptr<TrellaDSP> fresh);

    /** Schedules the destruction of the retired engines (see above). */
    void disposeRetired();

    /** Destroys the current and every retired engine now; only when no other thread uses them. */
    void clear();

    /** The current engine: for the message thread, or for code that holds a Reader. */
    TrellaDSP* get() const noexcept;

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

        JUCE_DECLARE_NON_COPYABLE (Reader)
    };

    /** The number of retired engines not yet destroyed. */
    size_t getNumRetired() const;

private:
    struct Shared
    {
        std::atomic<int> readers{ 0 };
        std::atomic<TrellaDSP*> current{ nullptr };
        mutable std::mutex retiredLock; // never taken on the audio thread
        std::vector<std::unique_ptr<TrellaDSP>> retired;
    };

    /** Destroys the retired engines if no reader is active; returns whether some are left. */
    static bool destroyRetiredWhenUnused (const std::shared_ptr<Shared>& shared);
    static void cleanUpOnMessageThread (const std::weak_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared;

    JUCE_DECLARE_NON_COPYABLE (EngineSlot)
};
