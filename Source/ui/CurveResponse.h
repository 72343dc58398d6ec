#pragma once

#include <array>

class TrellaDSP;

/** The maths of the curve editor's response curve, apart from its drawing: where the response is
    probed, the magnitudes at the probes for an engine's current chain, and the decibels as drawn.
*/
struct CurveResponse
{
    static constexpr int numProbes = 600;
    static constexpr float floorDb = -124.0f; // where silence and anything below -100 dB is drawn
    static constexpr float silenceDb = -100.0f;

    using Magnitudes = std::array<float, numProbes>;

    /** The frequencies the response is evaluated at: from 1 Hz in steps of 19999/600 Hz. */
    static const Magnitudes& getProbeFrequencies();

    /** The x of every curve point for a width: the points advance by 100/3 Hz from 1 Hz, drawn
        `offset` pixels right of the frequency axis.
    */
    static void curvePointXs (float width, float offset, Magnitudes& xs) noexcept;

    /** The response of the engine's current chain at every probe (the output level excluded). */
    static void computeMagnitudes (const TrellaDSP& engine, Magnitudes& magnitudes) noexcept;

    /** Decibels of a linear magnitude as drawn: floorDb for silence and anything below -100 dB,
        and no further above than the floor lies below, so a pole cannot throw the path to infinity.
    */
    static float decibelsAsDrawn (float magnitude) noexcept;
};
