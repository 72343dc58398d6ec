#include "AppIcon.h"

#include "ArtworkColours.h"

#include <cmath>

namespace
{
    const juce::Rectangle<float> tile{ 12.0f, 12.0f, 232.0f, 232.0f };
    constexpr float cornerSize = 46.0f;

    float bell (float x, float centre, float spread)
    {
        return std::exp (-((x - centre) / spread) * ((x - centre) / spread));
    }

    /** The equaliser curve of the icon: a low lift, a dip in the low mids and a presence bell. */
    float curveHeightAt (float x)
    {
        const float lowShelf = 1.0f / (1.0f + std::exp ((x - 62.0f) / 9.0f));
        return 136.0f - 26.0f * lowShelf + 22.0f * bell (x, 108.0f, 18.0f) - 48.0f * bell (x, 178.0f, 22.0f);
    }

    /** A soft spectrum-like hill at the bottom of the tile, as the analyser shows it. */
    float spectrumHeightAt (float x)
    {
        return 224.0f - 44.0f * bell (x, 70.0f, 50.0f) - 22.0f * bell (x, 150.0f, 40.0f) + 4.0f * std::sin (x * 0.21f);
    }

    void drawBackground (juce::Graphics& g)
    {
        g.setGradientFill (
            { ArtworkColours::gridTop, 0.0f, tile.getY(), ArtworkColours::gridBottom, 0.0f, tile.getBottom(), false });
        g.fillRoundedRectangle (tile, cornerSize);

        g.setColour (juce::Colour (0x70f0f0ff).withMultipliedAlpha (0.45f));
        for (float x = 56.0f; x < tile.getRight() - 20.0f; x += 44.0f)
            g.fillRect (juce::Rectangle<float> (x, tile.getY() + 6.0f, 1.5f, tile.getHeight() - 12.0f));
        g.fillRect (juce::Rectangle<float> (tile.getX() + 6.0f, 128.0f, tile.getWidth() - 12.0f, 1.5f));
    }

    juce::Path tracedPath (float (*heightAt) (float))
    {
        juce::Path path;
        path.startNewSubPath (tile.getX(), heightAt (tile.getX()));
        for (float x = tile.getX() + 2.0f; x <= tile.getRight(); x += 2.0f)
            path.lineTo (x, heightAt (x));
        return path;
    }

    void drawSpectrum (juce::Graphics& g)
    {
        auto hill = tracedPath (spectrumHeightAt);
        hill.lineTo (tile.getRight(), tile.getBottom());
        hill.lineTo (tile.getX(), tile.getBottom());
        hill.closeSubPath();

        g.setGradientFill ({ juce::Colours::steelblue.withAlpha (0.55f), 0.0f, 170.0f,
                             juce::Colours::steelblue.withAlpha (0.1f), 0.0f, tile.getBottom(), false });
        g.fillPath (hill);
    }

    void drawCurveAndDots (juce::Graphics& g)
    {
        const auto curve = tracedPath (curveHeightAt);
        g.setColour (ArtworkColours::curve.withAlpha (0.22f));
        g.strokePath (curve, juce::PathStrokeType (16.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        g.setColour (ArtworkColours::curve);
        g.strokePath (curve, juce::PathStrokeType (7.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        for (const float x : { 54.0f, 108.0f, 178.0f, 218.0f })
        {
            const auto dot = juce::Rectangle<float> (22.0f, 22.0f).withCentre ({ x, curveHeightAt (x) });
            g.setColour (juce::Colours::white);
            g.fillEllipse (dot);
            g.setColour (ArtworkColours::gridBottom.withAlpha (0.6f));
            g.drawEllipse (dot, 2.0f);
        }
    }
} // namespace

juce::Image AppIcon::render()
{
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);

    drawBackground (g);

    // Everything inside the tile is clipped to its rounded shape.
    juce::Path tileShape;
    tileShape.addRoundedRectangle (tile, cornerSize);
    g.reduceClipRegion (tileShape);
    drawSpectrum (g);
    drawCurveAndDots (g);

    g.setColour (juce::Colours::white.withAlpha (0.18f));
    g.drawRoundedRectangle (tile.reduced (1.0f), cornerSize - 1.0f, 2.0f);
    return image;
}
