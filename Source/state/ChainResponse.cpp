#include "ChainResponse.h"

#include "engine/TrellaDSP.h"

#include <algorithm>

std::vector<double> ChainResponse::decibels (const EQParameters& setting, const std::vector<double>& frequencies,
                                             double sampleRate)
{
    std::vector<double> levels (frequencies.size(), 0.0);
    if (setting.eqActive == 0)
        return levels;

    int types[TrellaDSP::numBands];
    for (int b = 0; b < TrellaDSP::numBands; ++b)
        types[b] = setting.band[b].type;

    const auto chain = TrellaDSP::makeChainSettings (setting, types, -1);

    const auto addSection = [&] (const FilterDesign& design)
    {
        const auto coefficients = StereoIIRFilter::makeCoefficients (design, sampleRate);
        for (size_t i = 0; i < frequencies.size(); ++i)
            levels[i] +=
                20.0 *
                std::log10 (std::max (1.0e-15, coefficients.getMagnitudeForFrequency (frequencies[i], sampleRate)));
    };

    if (chain.hiPassRuns)
        addSection (chain.hiPass);
    for (int b = 0; b < TrellaDSP::numBands; ++b)
        if (chain.bandRuns[b])
            addSection (chain.band[b]);
    if (chain.loPassRuns)
        addSection (chain.loPass);

    const double levelDb = 20.0 * std::log10 (std::max (1.0e-15, (double) chain.levelGain));
    for (auto& level : levels)
        level += levelDb;

    return levels;
}
