#include "vuMeter.h"

#include <cmath>
#include <cstdio>

vuMeter::vuMeter()
{
    const auto green = juce::Colours::green.withBrightness (0.7f);
    const auto yellow = juce::Colours::yellow.withBrightness (0.8f);
    const auto red = juce::Colours::red.withBrightness (1.1f);

    segmentColours.insert (segmentColours.end(), 7, green);
    segmentColours.insert (segmentColours.end(), 2, yellow);
    segmentColours.push_back (red);
}

void vuMeter::setLevel (float value)
{
    // A broken reading must not stick in the held peak, so it shows as silence.
    if (! std::isfinite (value))
        value = 0.0f;

    value = juce::jlimit (0.0f, 1.0f, value);

    if (linear)
    {
        level = value;
    }
    else
    {
        const auto dB = value > 0.0f ? 20.0f * std::log10 (value) : minDb;
        level = (juce::jlimit (minDb, maxDb, dB) - minDb) / (maxDb - minDb);
    }

    repaint();
}

void vuMeter::fillSegment (juce::Graphics& g, float top, float segmentHeight, juce::Colour colour) const
{
    const auto width = (float) getWidth();

    g.setColour (colour);
    g.fillRect (juce::Rectangle<float> (0.0f, top, width, segmentHeight));

    // Separator on the segment's top edge.
    g.setColour (backgroundColour);
    g.drawLine (1.0f, top, width - 1.0f, top, 2.0f);
}

void vuMeter::paint (juce::Graphics& g)
{
    g.setColour (backgroundColour);
    g.fillRect (getLocalBounds());

    const auto numSegments = (int) segmentColours.size();

    if (numSegments > 0)
    {
        const auto height = (float) getHeight();
        const auto segmentHeight = height / (float) numSegments;
        const auto filled = (float) numSegments * level;
        const auto numLit = juce::jlimit (0, numSegments, (int) filled);

        auto top = height;
        for (auto j = 0; j < numLit; ++j)
        {
            top = height - (float) (j + 1) * segmentHeight;
            fillSegment (g, top, segmentHeight, segmentColours[(size_t) j]);
        }

        // The segment above the lit ones shows the fractional part as its opacity.
        auto peakIndex = numSegments - 1;
        if (numLit < numSegments)
        {
            top -= segmentHeight;
            fillSegment (g, top, segmentHeight, segmentColours[(size_t) numLit].withAlpha (filled - (float) numLit));
            peakIndex = numLit;
        }

        if (showPeak)
            drawHeldPeak (g, segmentHeight, peakIndex, top);
    }

    g.setColour (backgroundColour.brighter (0.4f));
    g.drawRect (0, 0, getWidth(), getHeight(), 1);
}

void vuMeter::drawHeldPeak (juce::Graphics& g, float segmentHeight, int segmentIndex, float segmentTop)
{
    if (level > peakLevel)
    {
        peakHoldCounter = 0;
        peakLevel = level;
        peakColour = segmentColours[(size_t) segmentIndex];
        peakY = segmentTop;
    }

    if (peakLevel > 0.0001f)
        fillSegment (g, peakY, segmentHeight, peakColour.withAlpha (1.0f));

    // When the hold runs out the peak is dropped to 0, so the next paint catches the current
    // level again: the peak jumps down to the bar instead of falling slowly.
    if (++peakHoldCounter > peakHoldTicks)
    {
        peakHoldCounter = 0;
        peakLevel = 0.0f;
    }
}

juce::String vuMeter::levelReadoutText (float envelope)
{
    constexpr auto floorDb = -100.0f;
    auto dB = floorDb;

    if (std::isfinite (envelope) && envelope > 0.0f)
        dB = juce::jmax (floorDb, 20.0f * std::log10 (envelope));

    char text[32];
    std::snprintf (text, sizeof (text), "%.1f", (double) dB);
    return text;
}

juce::String vuMeter::phaseReadoutText (float phase)
{
    if (! std::isfinite (phase))
        phase = 0.0f;

    const auto degrees = (int) (180.0f * juce::jlimit (0.0f, 1.0f, phase));

    char text[32];
    std::snprintf (text, sizeof (text), "%d deg", degrees);
    return text;
}
