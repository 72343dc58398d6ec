#pragma once

#include "EQParameters.h"

#include <atomic>

/** The engine's setting as individual atomics, so that any thread may write a field and any
    thread may read one without a lock. A snapshot taken while another thread writes may mix old
    and new fields; readers that poll simply see the rest of the change on their next look.
*/
class AtomicEQParameters
{
public:
    struct Band
    {
        std::atomic<float> gain{ 0.0f }, frequency{ 1000.0f }, q{ 1.0f };
        std::atomic<int> active{ 0 }, type{ 0 };
    };

    std::atomic<float> hiPassFreq{ 20.0f }, loPassFreq{ 20000.0f }, level{ 0.0f };
    Band band[4];
    std::atomic<int> eqActive{ 0 }, preampType{ 0 };

    EQParameters load() const noexcept
    {
        EQParameters p;
        p.hiPassFreq = hiPassFreq.load (std::memory_order_relaxed);
        p.loPassFreq = loPassFreq.load (std::memory_order_relaxed);
        p.level = level.load (std::memory_order_relaxed);

        for (int b = 0; b < 4; ++b)
        {
            p.band[b].gain = band[b].gain.load (std::memory_order_relaxed);
            p.band[b].frequency = band[b].frequency.load (std::memory_order_relaxed);
            p.band[b].q = band[b].q.load (std::memory_order_relaxed);
            p.band[b].active = band[b].active.load (std::memory_order_relaxed);
            p.band[b].type = band[b].type.load (std::memory_order_relaxed);
        }

        p.eqActive = eqActive.load (std::memory_order_relaxed);
        p.preampType = preampType.load (std::memory_order_relaxed);
        return p;
    }

    void store (const EQParameters& p) noexcept
    {
        hiPassFreq.store (p.hiPassFreq, std::memory_order_relaxed);
        loPassFreq.store (p.loPassFreq, std::memory_order_relaxed);
        level.store (p.level, std::memory_order_relaxed);

        for (int b = 0; b < 4; ++b)
        {
            band[b].gain.store (p.band[b].gain, std::memory_order_relaxed);
            band[b].frequency.store (p.band[b].frequency, std::memory_order_relaxed);
            band[b].q.store (p.band[b].q, std::memory_order_relaxed);
            band[b].active.store (p.band[b].active, std::memory_order_relaxed);
            band[b].type.store (p.band[b].type, std::memory_order_relaxed);
        }

        eqActive.store (p.eqActive, std::memory_order_relaxed);
        preampType.store (p.preampType, std::memory_order_relaxed);
    }
};
