#pragma once

#include "engine/EQParameters.h"
#include "text/EqualiserText.h"

#include <vector>

/** Finds the setting of the equaliser whose response comes closest to a target response, for a
    target that its six sections cannot follow one to one (more filters than bands, or settings
    beyond their ranges).

    Closest means least squares in dB over the target's frequencies. The free values are the four
    bands' frequencies, gains and Q, the output level, the type of band 1 (low shelf or peak) and of
    band 4 (high shelf or peak), and the high- and low-pass frequencies when the file has such
    filters; each stays within the range its parameter has. The search is Levenberg-Marquardt from
    several starts: the file's most important filters put into the bands in every way they fit, and
    a greedy start that places one band after the other where the remaining deviation is largest.
    Every response it weighs comes from the sections exactly as the engine designs them. It is
    fully deterministic, and never returns a setting worse than its flat start (all bands at 0 dB,
    the level at the target's mean).
*/
class EqualiserFit
{
public:
    struct Target
    {
        std::vector<double> frequencies; // Hz
        std::vector<double> decibels;    // the level to reach at each frequency
        double sampleRate = 48000.0;
    };

    /** The best setting found. The file's filters seed the search; its preamp is part of the target. */
    static EQParameters fit (const Target& target, const std::vector<EqualiserText::Filter>& fileFilters);

    /** A grid with points spaced evenly in log frequency from 20 Hz to 20 kHz, both included. */
    static std::vector<double> logarithmicGrid (int points);

    static constexpr double lowestFrequency = 20.0, highestFrequency = 20000.0;
    static constexpr double largestGainDb = 24.0, largestLevelDb = 12.0;
    static constexpr double smallestQ = 0.1, largestQ = 10.0;
};
