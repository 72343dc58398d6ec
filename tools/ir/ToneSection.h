#pragma once

#include <vector>

/** One second-order filter section in double precision (a0 divided out), designed with the usual
    audio-cookbook formulas. The generator builds each preamp voicing from a few of these.
*/
class ToneSection
{
public:
    static ToneSection peak (double frequency, double q, double gainDb, double sampleRate);
    static ToneSection lowShelf (double frequency, double q, double gainDb, double sampleRate);
    static ToneSection highShelf (double frequency, double q, double gainDb, double sampleRate);
    static ToneSection lowPass (double frequency, double q, double sampleRate);

    /** Filters one sample; the section keeps its state between calls (transposed direct form II). */
    double process (double x) noexcept;

    /** Runs a unit impulse through a chain of fresh sections and returns the first numSamples outputs. */
    static std::vector<double> impulseResponse (std::vector<ToneSection> chain, int numSamples);

private:
    ToneSection (double b0, double b1, double b2, double a0, double a1, double a2) noexcept;

    double b0, b1, b2, a1, a2;
    double s1 = 0.0, s2 = 0.0;
};
