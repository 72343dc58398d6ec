#include "ImpulseResponseRenderer.h"

#include "ToneSection.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace
{
    constexpr double pi = 3.14159265358979323846;

    ToneSection makeSection (const ToneBand& band, double frequencyScale, double gainScale)
    {
        const double frequency = band.frequency * frequencyScale;
        const double gainDb = band.gainDb * gainScale;
        const double rate = ImpulseResponseRenderer::sampleRate;

        switch (band.kind)
        {
            case ToneBand::Kind::peak:
                return ToneSection::peak (frequency, band.q, gainDb, rate);
            case ToneBand::Kind::lowShelf:
                return ToneSection::lowShelf (frequency, band.q, gainDb, rate);
            case ToneBand::Kind::highShelf:
                return ToneSection::highShelf (frequency, band.q, gainDb, rate);
            case ToneBand::Kind::lowPass:
                break;
        }

        // The top roll-off keeps its corner within the audio band whatever the tolerance says.
        return ToneSection::lowPass (std::min (frequency, 0.47 * rate), band.q, rate);
    }
} // namespace

StereoResponse16 ImpulseResponseRenderer::render (const PreampVoicing& voicing)
{
    auto left = renderChannel (voicing, 1.0, 1.0);
    auto right = renderChannel (voicing, voicing.rightFrequencyScale, voicing.rightGainScale);

    const double rightLevel = std::pow (10.0, voicing.rightLevelDb / 20.0);
    for (auto& sample : right)
        sample *= rightLevel;

    const double meanGain = 0.5 * (gainAt (left, referenceFrequency) + gainAt (right, referenceFrequency));
    const double scale = 1.0 / meanGain;

    return { toSixteenBit (left, scale), toSixteenBit (right, scale) };
}

double ImpulseResponseRenderer::gainAt (const std::vector<double>& response, double frequency)
{
    const double w = 2.0 * pi * frequency / sampleRate;
    std::complex<double> sum;

    for (size_t n = 0; n < response.size(); ++n)
        sum += response[n] * std::polar (1.0, -w * (double) n);

    return std::abs (sum);
}

std::vector<double> ImpulseResponseRenderer::renderChannel (const PreampVoicing& voicing, double frequencyScale,
                                                            double gainScale)
{
    std::vector<ToneSection> chain;

    for (const auto& band : voicing.bands)
        chain.push_back (makeSection (band, frequencyScale, gainScale));

    auto response = ToneSection::impulseResponse (std::move (chain), numFrames);
    applyFadeOut (response);
    return response;
}

// A raised-cosine fade over the last samples, so that cutting the response short adds no click.
void ImpulseResponseRenderer::applyFadeOut (std::vector<double>& response)
{
    const int fadeStart = numFrames - fadeLength;

    for (int n = fadeStart; n < numFrames; ++n)
    {
        const double position = (double) (n - fadeStart + 1) / (double) fadeLength;
        response[(size_t) n] *= 0.5 * (1.0 + std::cos (pi * position));
    }
}

std::vector<int16_t> ImpulseResponseRenderer::toSixteenBit (const std::vector<double>& response, double scale)
{
    std::vector<int16_t> samples;
    samples.reserve (response.size());

    for (const double value : response)
    {
        const double scaled = std::round (value * scale * 32768.0);
        samples.push_back ((int16_t) std::clamp (scaled, -32768.0, 32767.0));
    }

    return samples;
}
