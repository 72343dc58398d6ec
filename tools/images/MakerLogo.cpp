#include "MakerLogo.h"

#include "ArtworkColours.h"
#include "LogoFonts.h"

#include <cmath>

namespace
{
    const juce::Point<float> emblemCentre{ 22.0f, 24.0f };
    constexpr float emblemRadius = 16.0f;
    constexpr float textLeft = 45.0f;

    /** A ring holding five level bars: the maker's sign on every product. */
    void drawEmblem (juce::Graphics& g)
    {
        g.setColour (ArtworkColours::accent);
        g.drawEllipse (juce::Rectangle<float> (2.0f * emblemRadius, 2.0f * emblemRadius).withCentre (emblemCentre),
                       2.0f);

        const float barHeights[] = { 8.0f, 14.0f, 19.0f, 12.0f, 6.0f };
        const float barWidth = 3.0f, gap = 2.0f;
        float x = emblemCentre.x - 2.5f * barWidth - 2.0f * gap;

        g.setColour (ArtworkColours::lettering);
        for (const float h : barHeights)
        {
            g.fillRoundedRectangle (x, emblemCentre.y - h * 0.5f, barWidth, h, 1.0f);
            x += barWidth + gap;
        }
    }

    /** The largest font up to the given height at which the text fits the given width. */
    juce::Font fitted (const char* style, float maxHeight, const juce::String& text, float maxWidth)
    {
        auto font = LogoFonts::make (style, maxHeight);
        while (font.getStringWidthFloat (text) > maxWidth && font.getHeight() > 6.0f)
            font.setHeight (font.getHeight() - 0.5f);
        return font;
    }

    void drawName (juce::Graphics& g)
    {
        const float available = MakerLogo::width - textLeft - 2.0f;

        g.setColour (ArtworkColours::lettering);
        g.setFont (fitted (LogoFonts::condensedBold, 20.0f, "Palvenmark", available));
        g.drawSingleLineText ("Palvenmark", (int) textLeft, 27);

        auto subtitle = LogoFonts::make (LogoFonts::condensed, 9.5f);
        subtitle.setExtraKerningFactor (0.22f);
        g.setColour (ArtworkColours::accent);
        g.setFont (subtitle);
        g.drawSingleLineText ("AUDIO SOFTWARE", (int) textLeft + 1, 39);
    }
} // namespace

juce::Image MakerLogo::render()
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    drawEmblem (g);
    drawName (g);
    return image;
}
