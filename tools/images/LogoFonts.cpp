#include "LogoFonts.h"

juce::String LogoFonts::findMissingFace()
{
    if (! juce::Font::findAllTypefaceNames().contains (family))
        return family;

    const auto styles = juce::Font::findAllTypefaceStyles (family);
    for (const auto* style : { book, bold, condensed, condensedBold })
        if (! styles.contains (style))
            return juce::String (family) + " " + style;

    return {};
}

juce::Font LogoFonts::make (const char* style, float height)
{
    return juce::Font (family, style, height);
}
