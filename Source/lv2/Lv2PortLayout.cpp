#include "Lv2PortLayout.h"

#include "engine/TrellaDSP.h"
#include "state/ParameterText.h"
#include "state/TrellaParams.h"

#include <cmath>

static_assert (Lv2PortLayout::numControls == numTrellaParams, "one control port per parameter");

namespace
{
    constexpr int numBandTypes = 3; // Peak, Lo-Shelf and Hi-Shelf: the types a value in 0..1 reaches
    constexpr int numPreamps = (int) TrellaDSP::numPreampTypes;
} // namespace

float Lv2PortLayout::unitsFromNormalised (int index, float normalised) noexcept
{
    const auto [minimum, maximum] = rangeOf (ValueLaws::lawOf (index));
    return juce::jlimit (minimum, maximum, ValueLaws::unitsFromNormalised (index, normalised));
}

float Lv2PortLayout::normalisedFromPortValue (int index, float value) noexcept
{
    if (index < 0 || index >= (int) numControls || std::isnan (value))
        return std::numeric_limits<float>::quiet_NaN();

    // A port value is limited to the port's range, a whole number is rounded, and a switch is on
    // above 0 (as LV2 defines lv2:toggled); then the parameter's own law gives the normalised value.
    const auto kind = ValueLaws::lawOf (index);
    const auto [minimum, maximum] = rangeOf (kind);
    auto units = juce::jlimit (minimum, maximum, value);
    if (kind == Kind::onOff)
        units = value > 0.0f ? 1.0f : 0.0f;
    else if (kind == Kind::bandType || kind == Kind::preamp)
        units = std::round (units);

    return ValueLaws::normalisedFromUnits (index, units);
}

std::optional<float> Lv2PortLayout::exactPortValueFor (int index, float normalised) noexcept
{
    const auto exact = [&] (float candidate) { return normalisedFromPortValue (index, candidate) == normalised; };
    const auto units = unitsFromNormalised (index, normalised);

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
    const auto units = unitsFromNormalised (index, normalised);
    if (! std::isfinite (units))
        return rangeOf (ValueLaws::lawOf (index)).first;

    return exactPortValueFor (index, normalisedFromPortValue (index, units)).value_or (units);
}

std::pair<float, float> Lv2PortLayout::rangeOf (Kind kind) noexcept
{
    switch (kind)
    {
        case Kind::frequency:
            return { ValueLaws::frequencyFromNormalised (0.0f), ValueLaws::frequencyFromNormalised (1.0f) };
        case Kind::gain:
            return { ValueLaws::gainFromNormalised (0.0f), ValueLaws::gainFromNormalised (1.0f) };
        case Kind::level:
            return { ValueLaws::levelFromNormalised (0.0f), ValueLaws::levelFromNormalised (1.0f) };
        case Kind::q:
            return { ValueLaws::qFromNormalised (0.0f), ValueLaws::qFromNormalised (1.0f) };
        case Kind::bandType:
            return { 0.0f, (float) (numBandTypes - 1) };
        case Kind::preamp:
            return { 0.0f, (float) (numPreamps - 1) };
        case Kind::onOff:
        case Kind::none:
            break;
    }
    return { 0.0f, 1.0f };
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
        case Kind::onOff:
        case Kind::bandType:
        case Kind::preamp:
        case Kind::none:
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
            port.kind = ValueLaws::lawOf (i);
            std::tie (port.minimum, port.maximum) = rangeOf (port.kind);
            port.unit = unitOf (port.kind);

            // The engine's initial setting, as the processor's parameters give it for their default.
            port.defaultValue =
                portValueFromNormalised (i, ValueLaws::normalisedValueOf (TrellaDSP::DefaultParameters, i));

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
