#include "ProductLogo.h"

#include "ArtworkColours.h"
#include "LogoFonts.h"

#include <cmath>

namespace
{
    constexpr float baseline = 30.0f;

    /** A flat line with a gentle dip and a bell, like a band being pulled up in the curve area. */
    float curveHeightAt (float x)
    {
        const auto bell = [x] (float centre, float spread)
        { return std::exp (-((x - centre) / spread) * ((x - centre) / spread)); };

        return 41.0f + 2.0f * bell (58.0f, 14.0f) - 6.5f * bell (122.0f, 15.0f);
    }

    void drawLettering (juce::Graphics& g)
    {
        const auto kroFont = LogoFonts::make (LogoFonts::book, 27.0f);
        const auto trellaFont = LogoFonts::make (LogoFonts::bold, 27.0f);
        const float kroWidth = kroFont.getStringWidthFloat ("Kro ");
        const float totalWidth = kroWidth + trellaFont.getStringWidthFloat ("Trella");
        const float left = std::round ((ProductLogo::width - totalWidth) * 0.5f);

        g.setColour (ArtworkColours::accent);
        g.setFont (kroFont);
        g.drawSingleLineText ("Kro", (int) left, (int) baseline);

        g.setGradientFill (
            { ArtworkColours::lettering, 0.0f, 10.0f, ArtworkColours::accent.brighter (0.2f), 0.0f, baseline, false });
        g.setFont (trellaFont);
        g.drawSingleLineText ("Trella", (int) (left + kroWidth), (int) baseline);
    }

    void drawCurve (juce::Graphics& g)
    {
        juce::Path curve;
        curve.startNewSubPath (4.0f, curveHeightAt (4.0f));
        for (float x = 5.0f; x <= ProductLogo::width - 4.0f; x += 1.0f)
            curve.lineTo (x, curveHeightAt (x));

        // The line fades in and out at its ends instead of stopping short.
        juce::ColourGradient fade (ArtworkColours::accent.withAlpha (0.0f), 4.0f, 0.0f,
                                   ArtworkColours::accent.withAlpha (0.0f), ProductLogo::width - 4.0f, 0.0f, false);
        fade.addColour (0.25, ArtworkColours::accent);
        fade.addColour (0.85, ArtworkColours::accent);
        g.setGradientFill (fade);
        g.strokePath (curve, juce::PathStrokeType (1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        const juce::Point<float> dot (122.0f, curveHeightAt (122.0f));
        g.setColour (ArtworkColours::lettering);
        g.fillEllipse (juce::Rectangle<float> (5.0f, 5.0f).withCentre (dot));
    }
} // namespace

juce::Image ProductLogo::render()
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    drawLettering (g);
    drawCurve (g);
    return image;
}
