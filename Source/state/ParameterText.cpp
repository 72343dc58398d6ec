#include "ParameterText.h"
#include "engine/ValueLaws.h"

#include "text/NumberText.h"

#include "engine/IR_list.h"
#include "engine/TrellaDSP.h"

namespace
{
    enum class Kind
    {
        onOff,
        level,
        frequency,
        gain,
        q,
        bandType,
        preamp,
        none
    };

    Kind kindOf (int index) noexcept
    {
        if (index == 0 || (index >= 16 && index <= 19))
            return Kind::onOff;
        if (index == 1)
            return Kind::level;
        if ((index >= 2 && index <= 5) || index == 20 || index == 21)
            return Kind::frequency;
        if (index >= 6 && index <= 9)
            return Kind::gain;
        if (index >= 10 && index <= 13)
            return Kind::q;
        if (index == 14 || index == 15)
            return Kind::bandType;
        if (index == 22)
            return Kind::preamp;
        return Kind::none;
    }

    int preampIndexFor (float normalised) noexcept
    {
        return juce::jlimit (0, (int) IR_list.size() - 1, ValueLaws::preampIndexFromNormalised (normalised));
    }

    /** A number with a fixed count of decimals, without scientific notation where it fits. */
    juce::String fixed (double x, int decimals)
    {
        if (decimals > 0)
            return juce::String (x, decimals);
        if (std::abs (x) < 1.0e15)
            return juce::String ((juce::int64) std::round (x));
        return juce::String (x);
    }

    juce::String decibelText (float dB)
    {
        const auto tenths = std::round ((double) dB * 10.0);
        if (tenths == 0.0)
            return "0.0 dB";
        return (tenths > 0.0 ? "+" : "") + juce::String (tenths / 10.0, 1) + " dB";
    }

    juce::String frequencyText (float hz)
    {
        if (hz == 0.0f)
            return "0 Hz";

        // Three significant digits; the unit is chosen after rounding, so 999.7 Hz reads "1.00 kHz".
        const auto magnitude = (int) std::floor (std::log10 (std::abs ((double) hz)));
        const auto scale = std::pow (10.0, 2 - magnitude);
        const auto rounded = std::round ((double) hz * scale) / scale;
        const auto digitsBeforePoint = (int) std::floor (std::log10 (std::abs (rounded))) + 1;

        if (std::abs (rounded) >= 1000.0)
            return fixed (rounded / 1000.0, 6 - digitsBeforePoint) + " kHz";
        return fixed (rounded, 3 - digitsBeforePoint) + " Hz";
    }

    /** Splits "+1.5 kHz" into 1.5 and "khz" (the unit lower-cased, without spaces). */
    std::optional<std::pair<double, juce::String>> splitNumberAndUnit (const juce::String& text)
    {
        // A typographic minus counts as a minus sign.
        const auto t = text.replace (juce::String::charToString ((juce::juce_wchar) 0x2212), "-");
        auto p = t.getCharPointer();
        int length = 0;

        const auto accept = [&] (auto predicate)
        {
            int count = 0;
            while (predicate (p[length]))
            {
                ++length;
                ++count;
            }
            return count;
        };
        const auto isDigit = [] (juce::juce_wchar c) { return c >= '0' && c <= '9'; };

        if (p[0] == '+' || p[0] == '-')
            ++length;

        int digits = accept (isDigit);
        if (p[length] == '.')
        {
            ++length;
            digits += accept (isDigit);
        }

        if (digits == 0)
            return std::nullopt;

        if (p[length] == 'e' || p[length] == 'E')
        {
            int exponentLength = 1;
            if (p[length + 1] == '+' || p[length + 1] == '-')
                ++exponentLength;
            if (isDigit (p[length + exponentLength]))
            {
                length += exponentLength;
                accept (isDigit);
            }
        }

        const auto number = NumberText::toDouble (t.substring (0, length));
        if (! std::isfinite (number))
            return std::nullopt;

        return std::make_pair (number, t.substring (length).removeCharacters (" ").toLowerCase());
    }

    std::optional<float> settingFromNumber (Kind kind, double number, const juce::String& unit)
    {
        const auto value = (float) number;

        switch (kind)
        {
            case Kind::frequency:
                if (unit == "hz")
                    return ValueLaws::normalisedFromFrequency (value);
                if (unit == "khz" || unit == "k")
                    return ValueLaws::normalisedFromFrequency ((float) (number * 1000.0));
                break;
            case Kind::gain:
                if (unit == "db")
                    return ValueLaws::normalisedFromGain (value);
                break;
            case Kind::level:
                if (unit == "db")
                    return ValueLaws::normalisedFromLevel (value);
                break;
            case Kind::q:
                if (unit.isEmpty())
                    return ValueLaws::normalisedFromQ (value);
                break;
            case Kind::onOff:
            case Kind::bandType:
            case Kind::preamp:
            case Kind::none:
                break;
        }

        if (unit.isEmpty())
            return value;

        return std::nullopt;
    }

    std::optional<float> valueForName (Kind kind, const juce::String& name)
    {
        switch (kind)
        {
            case Kind::onOff:
                if (name.equalsIgnoreCase ("On"))
                    return 1.0f;
                if (name.equalsIgnoreCase ("Off"))
                    return 0.0f;
                break;
            case Kind::bandType:
                // Only the types a value in 0..1 reaches: Peak, Lo-Shelf and Hi-Shelf.
                for (const int type : { BandType::Peak, BandType::LowShelf, BandType::HighShelf })
                    if (name.equalsIgnoreCase (BandType::getName (type)))
                        return (float) type * 0.5f;
                break;
            case Kind::preamp:
                for (size_t i = 0; i < IR_list.size(); ++i)
                    if (name.equalsIgnoreCase (IR_list[i].menuName))
                        return (float) i / (float) TrellaDSP::numPreampTypes;
                break;
            case Kind::level:
            case Kind::frequency:
            case Kind::gain:
            case Kind::q:
            case Kind::none:
                break;
        }
        return std::nullopt;
    }
} // namespace

juce::String ParameterText::format (int index, float v)
{
    if (! std::isfinite (v))
        return "-";

    switch (kindOf (index))
    {
        case Kind::onOff:
            return v > 0.0f ? "On" : "Off";
        case Kind::level:
            return decibelText (ValueLaws::levelFromNormalised (v));
        case Kind::frequency:
            return frequencyText (ValueLaws::frequencyFromNormalised (v));
        case Kind::gain:
            return decibelText (ValueLaws::gainFromNormalised (v));
        case Kind::q:
            return juce::String (juce::jmax (TrellaDSP::minimumQ, ValueLaws::qFromNormalised (v)), 2);
        case Kind::bandType:
            return BandType::getName (ValueLaws::bandTypeFromNormalised (v));
        case Kind::preamp:
            return IR_list[(size_t) preampIndexFor (v)].menuName;
        case Kind::none:
            break;
    }
    return juce::String (v, 2);
}

std::optional<float> ParameterText::parse (int index, const juce::String& text)
{
    const auto kind = kindOf (index);
    const auto trimmed = text.trim();

    auto value = valueForName (kind, trimmed);

    if (! value.has_value())
        if (const auto split = splitNumberAndUnit (trimmed))
            value = settingFromNumber (kind, split->first, split->second);

    if (! value.has_value() || ! std::isfinite (*value))
        return std::nullopt;

    return juce::jlimit (0.0f, 1.0f, *value);
}
