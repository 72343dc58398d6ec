#pragma once

#include "TrellaDSP.h"

#include <array>

/** The magnitude response of the filter sections a chain setting runs, from the very designs the
    audio thread uses, so what is drawn or fitted is what is heard. The output level is not part of
    it. While a band is soloed, that band alone is.
*/
class ChainResponse
{
public:
    ChainResponse (const ChainSettings& chain, double sampleRate) noexcept;

    /** |H| at a frequency in Hz: the product, in single precision, of every running section's
        magnitude (each evaluated in double precision), from the high-pass to the low-pass.
    */
    float magnitudeAt (float frequency) const noexcept;

    int getNumSections() const noexcept { return numSections; }

private:
    std::array<BiquadCoefficients, 1 + TrellaDSP::numBands + 1> sections;
    int numSections = 0;
    double sampleRate;
};
