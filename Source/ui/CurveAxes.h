#pragma once

#include <cmath>

/** The pixel laws of the curve area, shared by the grid, the curve editor and the analyser.

    Frequencies run over ten octaves from 20 Hz at the left edge to 20480 Hz at the right; EQ gains
    from +24 dB at the top through 0 dB in the middle to -24 dB at the bottom; analyser levels from
    0 dB at the top to -72 dB at the bottom. Everything is single precision, as drawn.
*/
struct CurveAxes
{
    static constexpr float lowestFrequency = 20.0f;
    static constexpr float octaves = 10.0f;
    static constexpr float gainRange = 24.0f;     // dB above and below the middle line
    static constexpr float analyserRange = 72.0f; // dB from top to bottom

    static float xForFrequency (float frequency, float width) noexcept
    {
        constexpr float ln2 = 0.693147180559945f;
        return width * (std::log (frequency / lowestFrequency) / ln2) / octaves;
    }

    static float frequencyForX (float x, float width) noexcept
    {
        return lowestFrequency * std::pow (2.0f, octaves * x / width);
    }

    static float yForGain (float gainDb, float height) noexcept
    {
        return height * (gainDb - gainRange) / (-2.0f * gainRange);
    }

    static float gainForY (float y, float height) noexcept { return -2.0f * gainRange * y / height + gainRange; }

    static float yForAnalyserLevel (float levelDb, float height) noexcept
    {
        return height * levelDb / (-analyserRange);
    }

    /** Truncates toward zero like a C cast, but keeps values that are out of range or not finite
        (a frequency of 0 Hz, an infinite gain) at a far-off finite pixel instead of undefined
        behaviour.
    */
    static int toPixel (float value) noexcept
    {
        constexpr float farOff = 1.0e6f;
        if (std::isnan (value))
            return (int) -farOff;
        return (int) std::fmax (-farOff, std::fmin (farOff, value));
    }
};
