#pragma once

#include "SamplePair.h"
#include <array>

#include <cmath>

/** Normalised second-order coefficients (a0 divided out). The default passes the signal unchanged.

    They are kept in double precision, as the sections run: rounded to single precision, the
    coefficients of a low, narrow section move its response by hundredths of a decibel (a peak at
    62.5 Hz with Q 4.3 reads 0.02 dB off), which is more than a correction taken over from a file
    may deviate.
*/
struct BiquadCoefficients
{
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;

    /** Divides out a0 from {b0, b1, b2, a0, a1, a2}, as the framework's coefficient objects do. */
    static BiquadCoefficients fromRaw (const std::array<double, 6>& raw) noexcept
    {
        const double a0Inverse = raw[3] != 0.0 ? 1.0 / raw[3] : 0.0;
        return { raw[0] * a0Inverse, raw[1] * a0Inverse, raw[2] * a0Inverse, raw[4] * a0Inverse, raw[5] * a0Inverse };
    }

    bool isFinite() const noexcept
    {
        return std::isfinite (b0) && std::isfinite (b1) && std::isfinite (b2) && std::isfinite (a1) &&
               std::isfinite (a2);
    }

    /** |H(e^jw)| at a frequency, evaluated in double precision. */
    double getMagnitudeForFrequency (double frequency, double sampleRate) const noexcept
    {
        const double w = 2.0 * 3.14159265358979323846 * frequency / sampleRate;
        const double c1 = std::cos (w), s1 = std::sin (w), c2 = std::cos (2.0 * w), s2 = std::sin (2.0 * w);
        const double numRe = b0 + b1 * c1 + b2 * c2, numIm = -(b1 * s1 + b2 * s2);
        const double denRe = 1.0 + a1 * c1 + a2 * c2, denIm = -(a1 * s1 + a2 * s2);
        return std::sqrt ((numRe * numRe + numIm * numIm) / (denRe * denRe + denIm * denIm));
    }
};

/** A designed section prepared for a stereo pair: the coefficients in both lanes of a SamplePair. */
struct PairCoefficients
{
    SamplePair b0 = SamplePair::both (1.0), b1 = SamplePair::zero(), b2 = SamplePair::zero(), a1 = SamplePair::zero(),
               a2 = SamplePair::zero();

    static PairCoefficients from (const BiquadCoefficients& c) noexcept
    {
        return { SamplePair::both (c.b0), SamplePair::both (c.b1), SamplePair::both (c.b2), SamplePair::both (c.a1),
                 SamplePair::both (c.a2) };
    }
};

/** The two state words of a transposed direct form II section, for both channels. They are kept in
    double precision: in single precision their rounding alone moves the response of low-corner
    sections (a 200 Hz high-pass at 96 kHz reads 0.25 dB off at 20 Hz).
*/
struct PairState
{
    SamplePair s1 = SamplePair::zero(), s2 = SamplePair::zero();

    inline SamplePair process (const PairCoefficients& c, SamplePair x) noexcept
    {
        const SamplePair y = c.b0 * x + s1;
        s1 = c.b1 * x - c.a1 * y + s2;
        s2 = c.b2 * x - c.a2 * y;
        return y;
    }

    void reset() noexcept { s1 = s2 = SamplePair::zero(); }

    bool isFinite() const noexcept { return s1.isFinite() && s2.isFinite(); }
};
