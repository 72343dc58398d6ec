#pragma once

/** The index of each parameter: the common key of the engine's getParameter, setParameter,
    onParameterChanged and change gestures, and of the processor's parameter table. Bands count
    from 0 here.
*/
struct ParameterIndex
{
    static constexpr int count = 23;

    static constexpr int eqActive = 0;
    static constexpr int level = 1;
    static constexpr int loPass = 20;
    static constexpr int hiPass = 21;
    static constexpr int preampType = 22;

    static constexpr int bandFrequency (int band) noexcept { return 2 + band; }
    static constexpr int bandGain (int band) noexcept { return 6 + band; }
    static constexpr int bandQ (int band) noexcept { return 10 + band; }
    static constexpr int bandActive (int band) noexcept { return 16 + band; }

    /** Only bands 1 and 4 (0 and 3 here) have a type parameter; -1 for the others. */
    static constexpr int bandType (int band) noexcept { return band == 0 ? 14 : (band == 3 ? 15 : -1); }
};
