#include "ParameterTextReader.h"

namespace
{
    constexpr int samplePoints = 1024; // enough to meet every step of the stepped parameters

    juce::String unitOf (const juce::String& text, int numberLength)
    {
        return text.substring (numberLength).trim();
    }

    bool isUnit (const juce::String& suffix)
    {
        return suffix.containsOnly ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ%");
    }
} // namespace

int ParameterTextReader::numberLength (const juce::String& text)
{
    const auto* start = text.toRawUTF8();
    const auto* p = start;
    const auto isDigit = [] (char c) { return c >= '0' && c <= '9'; };

    if (*p == '+' || *p == '-')
        ++p;

    const auto* digitsStart = p;
    while (isDigit (*p))
        ++p;
    if (*p == '.')
        ++p;
    while (isDigit (*p))
        ++p;

    const bool hasDigits = std::any_of (digitsStart, p, isDigit);
    if (! hasDigits)
        return 0;

    // An exponent counts only when digits follow it ("1e3"); "1e" leaves the "e" to the unit.
    if (*p == 'e' || *p == 'E')
    {
        const auto* q = p + 1;
        if (*q == '+' || *q == '-')
            ++q;
        if (isDigit (*q))
        {
            while (isDigit (*q))
                ++q;
            p = q;
        }
    }

    return (int) (p - start);
}

ParameterTextReader::Vocabulary ParameterTextReader::vocabularyOf (const juce::AudioProcessorParameter& parameter)
{
    Vocabulary vocabulary;

    for (int i = 0; i <= samplePoints; ++i)
    {
        const auto text = parameter.getText ((float) i / (float) samplePoints, 1024).trim();
        const int length = numberLength (text);

        vocabulary.texts.addIfNotAlreadyThere (text);

        if (length == 0)
            vocabulary.words.addIfNotAlreadyThere (text);
        else if (const auto unit = unitOf (text, length); isUnit (unit))
            vocabulary.units.addIfNotAlreadyThere (unit, true);
    }

    return vocabulary;
}

ParameterTextReader::Reading ParameterTextReader::read (const juce::AudioProcessorParameter& parameter,
                                                        const juce::String& typed)
{
    const auto text = typed.trim();
    if (text.isEmpty())
        return { std::nullopt, "the value is empty" };

    const auto vocabulary = vocabularyOf (parameter);
    auto understood = juce::String();

    const int shownIndex = vocabulary.texts.indexOf (text, true);
    const bool shown = shownIndex >= 0;

    if (shown)
    {
        understood = vocabulary.texts[shownIndex]; // the parameter's own spelling
    }
    else if (const int length = numberLength (text); length > 0)
    {
        const auto unit = unitOf (text, length);
        if (unit.isEmpty() || vocabulary.units.contains (unit, true))
            understood = text;
    }

    if (understood.isEmpty())
    {
        auto examples = vocabulary.words;
        if (examples.isEmpty())
            examples.add (parameter.getText (parameter.getDefaultValue(), 1024));
        return { std::nullopt, "'" + text + "' is not a value of this parameter (for example " +
                                   examples.joinIntoString (", ") + ")" };
    }

    const float value = parameter.getValueForText (understood);
    if (! std::isfinite (value) || value < 0.0f || value > 1.0f)
        return { std::nullopt, "'" + text + "' is outside the parameter's range" };

    // A text the parameter shows must come back as itself, or the parameter took it another way.
    if (shown && ! parameter.getText (value, 1024).trim().equalsIgnoreCase (understood))
        return { std::nullopt, "'" + text + "' is not understood by this parameter" };

    return { value, {} };
}
