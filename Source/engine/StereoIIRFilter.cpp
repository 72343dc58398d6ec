#include "StereoIIRFilter.h"

#include "BandType.h"

#include <juce_dsp/juce_dsp.h>

StereoIIRFilter::StereoIIRFilter (double rate) noexcept
    : sampleRate (rate)
{
}

BiquadCoefficients StereoIIRFilter::makeCoefficients (const FilterDesign& design, double rate) noexcept
{
    // The framework's formulas, worked in double precision like the sections themselves.
    using Formulas = juce::dsp::IIR::ArrayCoefficients<double>;

    if (! BandType::isValid (design.type) || ! (rate > 0.0) || ! std::isfinite (design.frequency) ||
        ! std::isfinite (design.q) || ! std::isfinite (design.gain))
        return {};

    const auto frequency =
        juce::jlimit ((double) minDesignFrequency, rate * maxDesignFrequencyRatio, (double) design.frequency);
    const auto q = (double) juce::jlimit (minDesignQ, maxDesignQ, design.q);
    const auto gain = (double) juce::jlimit (minDesignGain, maxDesignGain, design.gain);

    std::array<double, 6> raw{};
    switch (design.type)
    {
        case BandType::Peak:
            raw = Formulas::makePeakFilter (rate, frequency, q, gain);
            break;
        case BandType::LowShelf:
            raw = Formulas::makeLowShelf (rate, frequency, q, gain);
            break;
        case BandType::HighShelf:
            raw = Formulas::makeHighShelf (rate, frequency, q, gain);
            break;
        case BandType::LowPass:
            raw = Formulas::makeLowPass (rate, frequency, q);
            break;
        case BandType::HighPass:
            raw = Formulas::makeHighPass (rate, frequency, q);
            break;
        case BandType::BandPass:
            raw = Formulas::makeBandPass (rate, frequency, q);
            break;
        default:
            return {};
    }

    const auto coefficients = BiquadCoefficients::fromRaw (raw);
    return coefficients.isFinite() ? coefficients : BiquadCoefficients{};
}

void StereoIIRFilter::setDesign (const FilterDesign& newDesign) noexcept
{
    if (newDesign == design || ! BandType::isValid (newDesign.type))
        return;

    design = newDesign;
    coefficients = makeCoefficients (design, sampleRate);
    pairCoefficients = PairCoefficients::from (coefficients);
}

void StereoIIRFilter::reset() noexcept
{
    state.reset();
}

bool StereoIIRFilter::resetIfNotFinite() noexcept
{
    if (state.isFinite())
        return false;

    reset();
    return true;
}
