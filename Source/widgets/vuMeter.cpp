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

    float newLevel = value;
    if (! linear)
    {
        const auto dB = value > 0.0f ? 20.0f * std::log10 (value) : minDb;
        newLevel = (juce::jlimit (minDb, maxDb, dB) - minDb) / (maxDb - minDb);
    }

    const bool barMoved = litSteps (newLevel) != litSteps (level);
    level = newLevel;
    const bool peakMoved = showPeak && holdPeak();

    // The meter covers its whole area with its background, so nothing beneath needs drawing.
    setOpaque (backgroundColour.isOpaque());

    if (barMoved || peakMoved)
        repaint();
}

int vuMeter::litSteps (float fillFraction) const noexcept
{
    // The bar as drawn: whole segments and the opacity of the partly lit one, in 1/255 steps.
    return (int) std::lround ((double) fillFraction * (double) segmentColours.size() * 255.0);
}

int vuMeter::peakSegmentFor (float fillFraction) const noexcept
{
    // The segment above the lit ones, or the top one when all are lit.
    const auto numSegments = (int) segmentColours.size();
    if (numSegments == 0)
        return -1;

    const auto numLit = juce::jlimit (0, numSegments, (int) ((float) numSegments * fillFraction));
    return juce::jmin (numLit, numSegments - 1);
}

bool vuMeter::holdPeak()
{
    const auto shownBefore = shownPeakSegment;

    if (level > peakLevel)
    {
        peakHoldCounter = 0;
        peakLevel = level;
        peakSegment = peakSegmentFor (level);
    }

    shownPeakSegment = peakLevel > 0.0001f ? peakSegment : -1;

    // When the hold runs out the peak is dropped to 0, so the next reading catches the current
    // level again: the peak jumps down to the bar instead of falling slowly.
    if (++peakHoldCounter > peakHoldTicks)
    {
        peakHoldCounter = 0;
        peakLevel = 0.0f;
    }

    return shownPeakSegment != shownBefore;
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
        if (numLit < numSegments)
        {
            top -= segmentHeight;
            fillSegment (g, top, segmentHeight, segmentColours[(size_t) numLit].withAlpha (filled - (float) numLit));
        }

        if (showPeak && shownPeakSegment >= 0 && shownPeakSegment < numSegments)
            fillSegment (g, height - (float) (shownPeakSegment + 1) * segmentHeight, segmentHeight,
                         segmentColours[(size_t) shownPeakSegment].withAlpha (1.0f));
    }

    g.setColour (backgroundColour.brighter (0.4f));
    g.drawRect (0, 0, getWidth(), getHeight(), 1);
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
