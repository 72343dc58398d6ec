#pragma once

#include "text/EqualiserText.h"

#include <vector>

/** The response of an equaliser file's filters as the tools that write such files compute it: the
    biquad cookbook formulas (Robert Bristow-Johnson's), designed at a sample rate and evaluated in
    double precision. Written from the formulas themselves, independently of the designs our own
    engine uses, so that comparing the two checks the engine.

    Frequencies from 0.49 of the sample rate up are designed at 0.49 of it, as the engine does.
*/
class CookbookResponse
{
public:
    /** The level of one filter at a frequency, in dB. */
    static double filterDecibels (const EqualiserText::Filter& filter, double frequency, double sampleRate);

    /** The level of the whole file (preamp and every filter) at each frequency, in dB. */
    static std::vector<double> fileDecibels (const EqualiserText::Result& file, const std::vector<double>& frequencies,
                                             double sampleRate);

    /** The lowest level reported, in dB, for a response that reaches zero. */
    static constexpr double floorDecibels = -300.0;
};
