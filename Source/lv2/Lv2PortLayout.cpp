#include "Lv2PortLayout.h"

#include "ParameterText.h"
#include "TrellaParams.h"

#include "engine/ParameterIndex.h"
#include "engine/TrellaDSP.h"

#include <cmath>

static_assert (Lv2PortLayout::numControls == numTrellaParams, "one control port per parameter");

namespace
{
    constexpr int numBandTypes = 3; // Peak, Lo-Shelf and Hi-Shelf: the types a value in 0..1 reaches
    constexpr int numPreamps = (int) TrellaDSP::numPreampTypes;
} // namespace

Lv2PortLayout::Kind Lv2PortLayout::kindOf (int index) noexcept
{
    if (index == ParameterIndex::level)
        return Kind::level;
    if (index == ParameterIndex::loPass || index == ParameterIndex::hiPass)
        return Kind::frequency;
    if (index == ParameterIndex::preampType)
        return Kind::preamp;
    if (index == ParameterIndex::eqActive)
        return Kind::toggle;

    for (int band = 0; band < TrellaDSP::numBands; ++band)
    {
        if (index == ParameterIndex::bandFrequency (band))
            return Kind::frequency;
        if (index == ParameterIndex::bandGain (band))
            return Kind::gain;
        if (index == ParameterIndex::bandQ (band))
            return Kind::q;
        if (index == ParameterIndex::bandType (band))
            return Kind::bandType;
        if (index == ParameterIndex::bandActive (band))
            return Kind::toggle;
    }

    jassertfalse;
    return Kind::toggle;
}

float Lv2PortLayout::unitsFromNormalised (Kind kind, float v) noexcept
{
    switch (kind)
    {
        case Kind::frequency:
            return TrellaDSP::frequencyFromNormalised (v);
        case Kind::gain:
            return TrellaDSP::gainFromNormalised (v);
        case Kind::level:
            return TrellaDSP::levelFromNormalised (v);
        case Kind::q:
            return TrellaDSP::qFromNormalised (v);
        case Kind::toggle:
            return v > 0.0f ? 1.0f : 0.0f;
        case Kind::bandType:
            return (float) juce::jlimit (0, numBandTypes - 1, TrellaDSP::bandTypeFromNormalised (v));
        case Kind::preamp:
            return (float) juce::jlimit (0, numPreamps - 1, TrellaDSP::preampIndexFromNormalised (v));
    }
    return 0.0f;
}

float Lv2PortLayout::normalisedFromPortValue (int index, float value) noexcept
{
    if (index < 0 || index >= (int) numControls || std::isnan (value))
        return std::numeric_limits<float>::quiet_NaN();

    const auto kind = kindOf (index);
    const auto [minimum, maximum] = rangeOf (kind);
    const auto limited = juce::jlimit (minimum, maximum, value);

    switch (kind)
    {
        case Kind::frequency:
            return TrellaDSP::normalisedFromFrequency (limited);
        case Kind::gain:
            return TrellaDSP::normalisedFromGain (limited);
        case Kind::level:
            return TrellaDSP::normalisedFromLevel (limited);
        case Kind::q:
            return TrellaDSP::normalisedFromQ (limited);
        case Kind::toggle:
            return value > 0.0f ? 1.0f : 0.0f;
        case Kind::bandType:
            // The same product the engine uses for the type it reports (type x 0.5).
            return std::round (limited) * 0.5f;
        case Kind::preamp:
            return std::round (limited) / (float) numPreamps;
    }
    return 0.0f;
}

std::optional<float> Lv2PortLayout::exactPortValueFor (int index, float normalised) noexcept
{
    const auto kind = kindOf (index);
    const auto [minimum, maximum] = rangeOf (kind);
    const auto exact = [&] (float candidate) { return normalisedFromPortValue (index, candidate) == normalised; };
    const auto units = juce::jlimit (minimum, maximum, unitsFromNormalised (kind, normalised));

    if (! std::isfinite (units))
        return std::nullopt;
    if (units == 0.0f)
        return exact (units) ? std::optional<float> (units) : std::nullopt;

    // The fewest significant digits that still give back exactly the same normalised value.
    const auto magnitude = std::floor (std::log10 (std::abs ((double) units)));
    for (int digits = 1; digits <= 9; ++digits)
    {
        const auto scale = std::pow (10.0, (double) digits - 1.0 - magnitude);
        const auto candidate = (float) (std::round ((double) units * scale) / scale);
        if (exact (candidate))
            return candidate;
    }

    // Otherwise a neighbour a few steps of float resolution away, if one maps back exactly.
    auto above = units, below = units;
    for (int step = 0; step < 8; ++step)
    {
        above = std::nextafter (above, std::numeric_limits<float>::infinity());
        below = std::nextafter (below, -std::numeric_limits<float>::infinity());
        if (exact (above))
            return above;
        if (exact (below))
            return below;
    }

    return std::nullopt;
}

float Lv2PortLayout::portValueFromNormalised (int index, float normalised)
{
    if (const auto exact = exactPortValueFor (index, normalised))
        return *exact;

    // No port value gives this normalised value: the one of the nearest normalised value a port
    // value does give, so that writing its own value back never moves it.
    const auto kind = kindOf (index);
    const auto [minimum, maximum] = rangeOf (kind);
    const auto units = juce::jlimit (minimum, maximum, unitsFromNormalised (kind, normalised));
    if (! std::isfinite (units))
        return minimum;

    return exactPortValueFor (index, normalisedFromPortValue (index, units)).value_or (units);
}

std::pair<float, float> Lv2PortLayout::rangeOf (Kind kind) noexcept
{
    switch (kind)
    {
        case Kind::bandType:
            return { 0.0f, (float) (numBandTypes - 1) };
        case Kind::preamp:
            return { 0.0f, (float) (numPreamps - 1) };
        case Kind::frequency:
        case Kind::gain:
        case Kind::level:
        case Kind::q:
        case Kind::toggle:
            break;
    }
    return { unitsFromNormalised (kind, 0.0f), unitsFromNormalised (kind, 1.0f) };
}

const char* Lv2PortLayout::unitOf (Kind kind) noexcept
{
    switch (kind)
    {
        case Kind::frequency:
            return "hz";
        case Kind::gain:
        case Kind::level:
            return "db";
        case Kind::q:
        case Kind::toggle:
        case Kind::bandType:
        case Kind::preamp:
            break;
    }
    return nullptr;
}

const std::array<Lv2PortLayout::ControlPort, Lv2PortLayout::numControls>& Lv2PortLayout::controls()
{
    static const auto ports = []
    {
        std::array<ControlPort, numControls> result;

        for (int i = 0; i < (int) numControls; ++i)
        {
            auto& port = result[(size_t) i];
            port.parameterIndex = i;
            port.symbol = TrellaParams[(size_t) i].id;
            port.name = TrellaParams[(size_t) i].name;
            port.kind = kindOf (i);
            std::tie (port.minimum, port.maximum) = rangeOf (port.kind);
            port.unit = unitOf (port.kind);

            // The engine's initial setting, as the processor's parameters give it for their default.
            port.defaultValue =
                portValueFromNormalised (i, TrellaDSP::normalisedValueOf (TrellaDSP::DefaultParameters, i));

            // Choices are labelled exactly as the parameter's own text shows them.
            if (port.isEnumeration())
                for (int choice = 0; choice <= (int) port.maximum; ++choice)
                    port.scalePoints.push_back (
                        { (float) choice, ParameterText::format (i, normalisedFromPortValue (i, (float) choice)) });
        }

        return result;
    }();

    return ports;
}
