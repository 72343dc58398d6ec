#pragma once

#include "Lv2PortLayout.h"

#include <array>
#include <atomic>
#include <cmath>

/** The control input ports as the audio thread sees them: each port is applied only when its
    value differs from the last value taken for that parameter (edge-triggered), so a host that
    leaves a port alone never overrides what a restored state or the window set.

    "The last value taken" is what `run` last read from the port, or what a restored state put
    into the processor (see takeRestored): after a restore, a port that still holds another value
    wins at the next `run`, so the sound always ends at what the host's ports say.

    While the window holds an edit of a parameter (between its touch begin and end), the port's
    changes are noted but not applied: they are the host's echo of the window's own writes, late
    by a block or more, and would pull the parameter back under the user's hand.
*/
class Lv2ControlInputs
{
public:
    Lv2ControlInputs();

    /** Connects the port of a parameter (nullptr: not connected). */
    void connect (int parameterIndex, const float* port) noexcept;

    /** Audio thread: calls apply (parameterIndex, normalised) for every connected port whose value
        changed since the last value taken, unless the window holds it. A NaN on a port is ignored.
    */
    template <typename Apply>
    void takeChanges (Apply&& apply) noexcept
    {
        for (size_t i = 0; i < ports.size(); ++i)
        {
            const float* port = ports[i];
            if (port == nullptr)
                continue;

            const float value = *port;
            if (std::isnan (value) || value == taken[i].load (std::memory_order_relaxed))
                continue;

            taken[i].store (value, std::memory_order_relaxed);

            if (! heldByWindow[i].load (std::memory_order_acquire))
                apply ((int) i, Lv2PortLayout::normalisedFromPortValue ((int) i, value));
        }
    }

    /** Any thread: a restored state set the parameter to this port value. */
    void takeRestored (int parameterIndex, float portValue) noexcept;

    /** The last value taken for a parameter, in the port's unit. */
    float lastTaken (int parameterIndex) const noexcept;

    /** Any thread: whether the window holds an edit of the parameter. */
    void setHeldByWindow (int parameterIndex, bool held) noexcept;

private:
    std::array<const float*, Lv2PortLayout::numControls> ports{};
    std::array<std::atomic<float>, Lv2PortLayout::numControls> taken;
    std::array<std::atomic<bool>, Lv2PortLayout::numControls> heldByWindow;
};
