#include "EQCurveGrid.h"

#include "CurveAxes.h"

#include <cstdio>

namespace
{
    constexpr int tickLength = 5;
    constexpr float labelFontSize = 10.0f;

    juce::String printed (const char* format, double value)
    {
        char text[64];
        std::snprintf (text, sizeof (text), format, value);
        return text;
    }

    juce::String signedDecibels (int dB)
    {
        char text[16];
        std::snprintf (text, sizeof (text), "%+d", dB);
        return text;
    }
} // namespace

EQCurveGrid::EQCurveGrid (int width, int height)
{
    // The grid never changes: it is drawn once into an image and copied from there whenever the
    // spectrum or the curve above it repaints. It covers its area, so nothing beneath is drawn.
    setOpaque (true);
    setBufferedToImage (true);
    setSize (width, height);
}

void EQCurveGrid::paint (juce::Graphics& g)
{
    const int width = getWidth();
    const int height = getHeight();

    g.setGradientFill (
        juce::ColourGradient::vertical (juce::Colour (topColour), 0.0f, juce::Colour (bottomColour), (float) height));
    g.fillAll();

    g.setColour (juce::Colour (scaleColour));
    g.setFont (juce::Font (labelFontSize));

    paintFrequencyLines (g, width, height);
    paintGainScale (g, width, height);
    paintAnalyserScale (g, width, height);
}

void EQCurveGrid::paintFrequencyLines (juce::Graphics& g, int width, int height) const
{
    // The A notes of the 440 Hz series, one octave apart.
    float frequency = firstNoteFrequency;
    for (int i = 0; i < numNoteLines; ++i, frequency *= 2.0f)
    {
        const int x = CurveAxes::toPixel (CurveAxes::xForFrequency (frequency, (float) width));
        g.drawVerticalLine (x, 0.0f, (float) (height - 1));
        g.drawText (printed ("%.0f Hz", frequency), x + 1, 0, 100, 12, juce::Justification::topLeft, true);
    }
}

void EQCurveGrid::paintGainScale (juce::Graphics& g, int width, int height) const
{
    for (int dB = 23; dB >= -23; --dB)
    {
        if (dB == 0)
        {
            g.drawHorizontalLine (height / 2, 0.0f, (float) width);
            continue;
        }

        const float y = CurveAxes::yForGain ((float) dB, (float) height);
        g.drawHorizontalLine ((int) y, 0.0f, (float) tickLength);

        if (dB % 4 == 0)
            g.drawText (signedDecibels (dB), 10, (int) (y - 5.0f), 100, 12, juce::Justification::topLeft, true);
    }
}

void EQCurveGrid::paintAnalyserScale (juce::Graphics& g, int width, int height) const
{
    for (int dB = -1; dB >= -71; --dB)
    {
        const float y = CurveAxes::yForAnalyserLevel ((float) dB, (float) height);
        g.drawHorizontalLine ((int) y, (float) (width - tickLength), (float) width);

        if (dB % 4 == 0)
            g.drawText (signedDecibels (dB), width - 50, (int) (y - 5.0f), 40, 12, juce::Justification::topRight, true);
    }
}
