#pragma once

#include "PreampVoicing.h"

#include <cstdint>
#include <vector>

/** A rendered stereo response, 16-bit, as it goes into the file. */
struct StereoResponse16
{
    std::vector<int16_t> left, right;
};

/** Turns a voicing into the 441-frame stereo response of the embedded files: the filter chain's
    impulse response, faded out over its last samples, scaled so that both channels together sit
    at unity gain at 1 kHz (every preamp then plays as loud as "Neutral"), rounded to 16 bits.
*/
class ImpulseResponseRenderer
{
public:
    static constexpr double sampleRate = 44100.0;
    static constexpr int numFrames = 441;
    static constexpr int fadeLength = 48;
    static constexpr double referenceFrequency = 1000.0;

    static StereoResponse16 render (const PreampVoicing& voicing);

    /** |sum of h[n] e^(-j w n)|: the gain of a finite response at one frequency. */
    static double gainAt (const std::vector<double>& response, double frequency);

private:
    static std::vector<double> renderChannel (const PreampVoicing& voicing, double frequencyScale, double gainScale);
    static void applyFadeOut (std::vector<double>& response);
    static std::vector<int16_t> toSixteenBit (const std::vector<double>& response, double scale);
};
