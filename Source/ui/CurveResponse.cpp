#include "CurveResponse.h"

#include "CurveAxes.h"
#include "engine/ChainResponse.h"

#include <cmath>

namespace
{
    // Probe and curve steps, accumulated in single precision. The curve's points advance by
    // 100/3 Hz while the probes advance by 19999/600 Hz; over 600 steps they part by about 1 Hz,
    // well below a pixel.
    constexpr float probeStep = 19999.0f / 600.0f;
    constexpr float curvePointStep = 100.0f / 3.0f;
} // namespace

const CurveResponse::Magnitudes& CurveResponse::getProbeFrequencies()
{
    static const auto frequencies = []
    {
        Magnitudes result{};
        float frequency = 1.0f;
        for (auto& f : result)
        {
            f = frequency;
            frequency += probeStep;
        }
        return result;
    }();
    return frequencies;
}

void CurveResponse::curvePointXs (float width, float offset, Magnitudes& xs) noexcept
{
    float frequency = 1.0f;
    for (auto& x : xs)
    {
        x = CurveAxes::xForFrequency (frequency, width) + offset;
        frequency += curvePointStep;
    }
}

void CurveResponse::computeMagnitudes (const TrellaDSP& engine, Magnitudes& magnitudes) noexcept
{
    const ChainResponse response (engine.getChainSettings(), engine.getSampleRate());
    const auto& probes = getProbeFrequencies();

    for (size_t j = 0; j < probes.size(); ++j)
        magnitudes[j] = response.magnitudeAt (probes[j]);
}

float CurveResponse::decibelsAsDrawn (float magnitude) noexcept
{
    if (! (magnitude > 0.0f))
        return floorDb;

    const float dB = 20.0f * std::log10 (magnitude);
    if (! (dB > silenceDb))
        return floorDb;

    return std::fmin (dB, -floorDb);
}
