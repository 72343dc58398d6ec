#pragma once

#include "Biquad.h"

/** What a filter pair is asked to be: a design type and its settings (gain as a linear factor,
    used by the peak and shelf types only).
*/
struct FilterDesign
{
    int type = -1;
    float frequency = 1000.0f;
    float q = 0.5f;
    float gain = 1.0f;

    bool operator== (const FilterDesign& other) const noexcept
    {
        return type == other.type && frequency == other.frequency && q == other.q && gain == other.gain;
    }
    bool operator!= (const FilterDesign& other) const noexcept { return ! operator== (other); }
};

/** One second-order section for a stereo pair: one coefficient set, one state per channel, both
    channels worked on together.

    The coefficients are designed with the framework's filter formulas, in double precision. The settings are held
   inside the range where those formulas stay finite and stable: frequencies between 10 Hz and just below half the
   sample rate, Q between 0.01 and 100, gains between -100 dB and +100 dB. The caller keeps the user's settings as they
   were; only the design sees the limited values.

    Everything but the static design helpers belongs to the audio thread.
*/
class StereoIIRFilter
{
public:
    static constexpr float minDesignFrequency = 10.0f;
    static constexpr double maxDesignFrequencyRatio = 0.49; // of the sample rate
    static constexpr float minDesignQ = 0.01f, maxDesignQ = 100.0f;
    static constexpr float minDesignGain = 1.0e-5f, maxDesignGain = 1.0e5f;

    explicit StereoIIRFilter (double sampleRate) noexcept;

    /** Coefficients for a design at a sample rate; a type outside the list gives pass-through. */
    static BiquadCoefficients makeCoefficients (const FilterDesign& design, double sampleRate) noexcept;

    /** Redesigns when the design differs from the one in use. A type outside the list keeps the
        coefficients in use.
    */
    void setDesign (const FilterDesign& design) noexcept;

    inline SamplePair process (SamplePair x) noexcept { return state.process (pairCoefficients, x); }

    void reset() noexcept;

    /** Clears the states if either holds a value that is not finite; returns true if it did. */
    bool resetIfNotFinite() noexcept;

    const BiquadCoefficients& getCoefficients() const noexcept { return coefficients; }
    const PairCoefficients& getPairCoefficients() const noexcept { return pairCoefficients; }
    double getSampleRate() const noexcept { return sampleRate; }

    PairState state;

private:
    double sampleRate;
    FilterDesign design;
    BiquadCoefficients coefficients;
    PairCoefficients pairCoefficients;
};
