#pragma once

#include "engine/EQParameters.h"

#include <vector>

/** The level the equaliser's chain gives a setting at each frequency, in dB: the sections the
    engine would run for it (the same choice of sections and the same coefficients), the output
    level, and 0 dB everywhere while the equaliser is switched off. The preamp is not part of it.
*/
class ChainResponse
{
public:
    static std::vector<double> decibels (const EQParameters& setting, const std::vector<double>& frequencies,
                                         double sampleRate);
};
