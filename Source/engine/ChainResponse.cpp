#include "ChainResponse.h"

ChainResponse::ChainResponse (const ChainSettings& chain, double rate) noexcept
    : sampleRate (rate)
{
    const auto add = [this] (const FilterDesign& design)
    { sections[(size_t) numSections++] = StereoIIRFilter::makeCoefficients (design, sampleRate); };

    if (chain.soloBand >= 0)
    {
        add (chain.band[chain.soloBand]);
        return;
    }

    if (chain.hiPassRuns)
        add (chain.hiPass);

    for (int b = 0; b < TrellaDSP::numBands; ++b)
        if (chain.bandRuns[b])
            add (chain.band[b]);

    if (chain.loPassRuns)
        add (chain.loPass);
}

float ChainResponse::magnitudeAt (float frequency) const noexcept
{
    float m = 1.0f;
    for (int s = 0; s < numSections; ++s)
        m *= (float) sections[(size_t) s].getMagnitudeForFrequency (frequency, sampleRate);
    return m;
}
