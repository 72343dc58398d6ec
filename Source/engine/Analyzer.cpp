#include "Analyzer.h"

#include <cmath>

namespace
{
    constexpr float frameNormalisationDb = 66.22659f; // 20 log10 (2048)
    constexpr int reservedPathElements = 3078;
} // namespace

Analyzer::Analyzer (double sampleRate)
    : binWidth ((float) sampleRate * 0.5f / 1023.0f)
{
    path.preallocateSpace (reservedPathElements);
    roundedPath.preallocateSpace (reservedPathElements);
}

void Analyzer::parentHierarchyChanged()
{
    if (getParentComponent() != nullptr)
        startTimerHz (25);
    else
        stopTimer();
}

Analyzer::~Analyzer()
{
    stopTimer();
}

void Analyzer::handOverFrame() noexcept
{
    // A frame completed while the previous one still waits is dropped.
    if (frameReady.load (std::memory_order_acquire))
        return;

    std::copy (std::begin (fifo), std::end (fifo), std::begin (frame));
    frameReady.store (true, std::memory_order_release);
}

void Analyzer::beginAudioBlock() noexcept
{
    const auto requests = clearRequests.load (std::memory_order_acquire);
    if (requests == audioClears)
        return;

    audioClears = requests;
    std::fill (std::begin (fifo), std::end (fifo), 0.0f);
}

void Analyzer::clear() noexcept
{
    clearRequests.fetch_add (1, std::memory_order_acq_rel);
}

void Analyzer::update()
{
    const auto requests = clearRequests.load (std::memory_order_acquire);
    if (requests != displayClears)
    {
        displayClears = requests;
        std::fill (std::begin (fftData), std::end (fftData), 0.0f);
        std::fill (std::begin (spectrum), std::end (spectrum), 0.0f);
        frameReady.store (false, std::memory_order_release); // a frame gathered before the clear is stale
    }

    if (frameReady.load (std::memory_order_acquire))
    {
        std::copy (std::begin (frame), std::end (frame), std::begin (fftData));
        std::fill (std::begin (fftData) + fftSize, std::end (fftData), 0.0f);
        frameReady.store (false, std::memory_order_release);
        analyseFrame();
    }

    repaint();
}

void Analyzer::analyseFrame()
{
    window.multiplyWithWindowingTable (fftData, (size_t) fftSize);
    fft.performFrequencyOnlyForwardTransform (fftData);

    for (int j = 0; j < numPoints; ++j)
    {
        const float magnitude = fftData[j];
        float level = 0.0f;

        if (magnitude > 0.0f && std::isfinite (magnitude))
        {
            float dB = 20.0f * std::log10 (magnitude);
            if (dB > -100.0f)
            {
                dB -= frameNormalisationDb;
                if (dB >= -displayRangeDb)
                    level = dB > 0.0f ? 1.0f : (dB + displayRangeDb) / displayRangeDb;
            }
        }

        // A rising level shows at once; a falling one keeps `decay` of its distance per frame.
        spectrum[j] = level > spectrum[j] ? level : decay * (spectrum[j] - level) + level;
    }
}

void Analyzer::rebuildPath (float w, float h)
{
    path.clear();
    path.startNewSubPath (0.0f, h);

    for (int j = 1; j < numPoints; ++j)
    {
        const float f = (float) j * binWidth;
        const float x = (std::log (f / 20.0f) / 0.6931472f / 10.0f) * w;
        const float y = h - h * spectrum[j];
        path.lineTo (x, y);

        if (showPeak && spectrum[j] > peakLevel)
        {
            peakCounter = 0;
            peakLevel = spectrum[j];
            peakX = (int) (x - 5.0f);
            peakY = (int) (y - 5.0f);
            peakText = juce::String::formatted ("%.2f dB @ %.2f Hz",
                                                (double) (displayRangeDb * peakLevel - displayRangeDb), (double) f);
        }
    }

    path.lineTo (w, h);

    if (roundedSpectrum)
        roundedPath = path.createPathWithRoundedCorners (20.0f);

    skipPeakMarker = false;
    if (++peakCounter >= peakHoldFrames)
    {
        peakCounter = 0;
        peakLevel = 0.0f;
        skipPeakMarker = true;
    }
}

void Analyzer::drawPeakMarker (juce::Graphics& g, int w)
{
    g.fillEllipse ((float) peakX, (float) peakY, 10.0f, 10.0f);

    // Near the right edge the label flips to the left of the marker.
    const int labelX = peakX + 10 < w - 169 ? peakX + 10 : peakX - 160;
    g.drawText (peakText, labelX, peakY - 10, 170, 20, juce::Justification::topLeft, true);
}

void Analyzer::paint (juce::Graphics& g)
{
    const auto w = getWidth(), h = getHeight();
    g.setColour (markerColour);

    if (! frozen)
        rebuildPath ((float) w, (float) h);

    if (showPeak && peakLevel > 0.001f && ! skipPeakMarker)
        drawPeakMarker (g, w);

    const auto& shape = roundedSpectrum ? roundedPath : path;

    if (fillSpectrum)
    {
        g.setGradientFill (juce::ColourGradient (juce::Colour (0x80ff1a1a), 0.0f, 0.0f, juce::Colour (0x801aff1a), 0.0f,
                                                 (float) h, false));
        g.fillPath (shape);
    }

    g.setColour (lineColour);
    g.strokePath (shape, juce::PathStrokeType (1.0f));
}
