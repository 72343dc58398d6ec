#include "Analyzer.h"

#include "ComponentThreadCheck.h"

#include <algorithm>
#include <cmath>

namespace
{
    constexpr float frameNormalisationDb = 66.22659f; // 20 log10 (2048)
    constexpr int reservedPathElements = 3078;
} // namespace

Analyzer::Analyzer (double sampleRate)
    : binWidth ((float) sampleRate * 0.5f / 1023.0f)
{
    ComponentThreadCheck::notePlace();
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
    ComponentThreadCheck::notePlace();
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

bool Analyzer::DrawnOptions::operator== (const DrawnOptions& other) const noexcept
{
    return frozen == other.frozen && showPeak == other.showPeak && fillSpectrum == other.fillSpectrum &&
           roundedSpectrum == other.roundedSpectrum && markerColour == other.markerColour &&
           lineColour == other.lineColour;
}

Analyzer::DrawnOptions Analyzer::currentOptions() const noexcept
{
    return { frozen, showPeak, fillSpectrum, roundedSpectrum, markerColour, lineColour };
}

void Analyzer::update()
{
    bool pictureChanged = false; // anything else than the curve: the whole area is drawn
    bool curveMoved = false;

    const auto requests = clearRequests.load (std::memory_order_acquire);
    if (requests != displayClears)
    {
        displayClears = requests;
        std::fill (std::begin (fftData), std::end (fftData), 0.0f);
        std::fill (std::begin (spectrum), std::end (spectrum), 0.0f);
        frameReady.store (false, std::memory_order_release); // a frame gathered before the clear is stale
        pathStale = true;
        pictureChanged = true;
    }

    if (frameReady.load (std::memory_order_acquire))
    {
        std::copy (std::begin (frame), std::end (frame), std::begin (fftData));
        std::fill (std::begin (fftData) + fftSize, std::end (fftData), 0.0f);
        frameReady.store (false, std::memory_order_release);
        analyseFrame();
    }

    // While frozen the picture stands still: the curve is not redrawn and the hold does not count.
    if (! frozen)
    {
        if (curveMovedVisibly())
        {
            pathStale = true;
            curveMoved = true;
        }

        if (showPeak && advancePeakHold())
            pictureChanged = true;
    }

    if (pictureChanged || ! (currentOptions() == drawnOptions))
        repaint();
    else if (curveMoved)
        repaintCurveArea();
}

void Analyzer::repaintCurveArea()
{
    // The curve and everything under it lie between its highest point, before or after the
    // change, and the bottom edge; above that nothing changes.
    const auto highest = juce::jmax (highestLevel (spectrum), highestLevel (drawnSpectrum));
    const auto height = (float) getHeight();
    const auto top = juce::jmax (0, (int) std::floor (height - height * highest) - 2);
    repaint (0, top, getWidth(), getHeight() - top);
}

float Analyzer::highestLevel (const float (&levels)[numPoints]) noexcept
{
    // The curve starts at point 1; point 0 (DC) is not drawn.
    return *std::max_element (std::begin (levels) + 1, std::end (levels));
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

        // A rising level shows at once; a falling one keeps `decay` of its distance per frame, and
        // comes to rest at the floor once it is less than a fraction of a pixel above it.
        const float next = level > spectrum[j] ? level : decay * (spectrum[j] - level) + level;
        spectrum[j] = next < restLevel ? 0.0f : next;
    }
}

bool Analyzer::curveMovedVisibly() const noexcept
{
    // Below this change of level no point of the curve moves by a visible fraction of a pixel, so
    // a curve decaying toward silence comes to rest instead of being redrawn for ever.
    const float threshold = visibleChangePixels / (float) juce::jmax (1, getHeight());

    for (int j = 0; j < numPoints; ++j)
        if (std::abs (spectrum[j] - drawnSpectrum[j]) >= threshold)
            return true;

    return false;
}

bool Analyzer::isPeakMarkerShown() const noexcept
{
    return showPeak && peakLevel > 0.001f && ! skipPeakMarker;
}

bool Analyzer::advancePeakHold()
{
    const bool wasShown = isPeakMarkerShown();
    const int previousPoint = peakPoint;
    const float previousLevel = peakLevel;

    bool raised = false;
    for (int j = 1; j < numPoints; ++j)
    {
        if (spectrum[j] > peakLevel)
        {
            peakLevel = spectrum[j];
            peakPoint = j;
            raised = true;
        }
    }

    if (raised)
    {
        peakCounter = 0;
        peakText = juce::String::formatted ("%.2f dB @ %.2f Hz", (double) (displayRangeDb * peakLevel - displayRangeDb),
                                            (double) ((float) peakPoint * binWidth));
    }

    // When the hold runs out the marker disappears for one tick and the next one catches the
    // current loudest point.
    skipPeakMarker = false;
    if (++peakCounter >= peakHoldFrames)
    {
        peakCounter = 0;
        peakLevel = 0.0f;
        skipPeakMarker = true;
    }

    const bool shown = isPeakMarkerShown();
    return shown != wasShown || (shown && (peakPoint != previousPoint || peakLevel != previousLevel));
}

namespace
{
    /** Collects the points of the curve that fall into one pixel column and adds them to a path as
        the lowest and the highest of them, in the order they came. Above a few kHz several points
        share a column; drawn this way they cover the same pixels with far fewer edges to fill.
    */
    class ColumnMerger
    {
    public:
        ColumnMerger (juce::Path& p, float pixelsPerUnit)
            : path (p)
            , scale (pixelsPerUnit)
        {
        }

        void add (float x, float y)
        {
            const auto column = (int) std::floor (x * scale);

            if (count > 0 && column != currentColumn)
                flush();

            // y grows downwards: `top` is the point highest on screen, `bottom` the lowest.
            if (count == 0 || y < top.y)
            {
                top = { x, y };
                topOrder = count;
            }
            if (count == 0 || y > bottom.y)
            {
                bottom = { x, y };
                bottomOrder = count;
            }

            currentColumn = column;
            ++count;
        }

        void flush()
        {
            if (count == 0)
                return;

            if (topOrder == bottomOrder)
            {
                path.lineTo (top);
            }
            else
            {
                const auto& earlier = topOrder < bottomOrder ? top : bottom;
                const auto& later = topOrder < bottomOrder ? bottom : top;
                path.lineTo (earlier);
                path.lineTo (later);
            }

            count = 0;
        }

    private:
        juce::Path& path;
        const float scale;
        int currentColumn = 0;
        int count = 0;
        juce::Point<float> top, bottom;
        int topOrder = 0, bottomOrder = 0;
    };
} // namespace

void Analyzer::rebuildPath (float w, float h, float pixelsPerUnit)
{
    path.clear();
    path.startNewSubPath (0.0f, h);

    ColumnMerger columns (path, pixelsPerUnit);
    for (int j = 1; j < numPoints; ++j)
    {
        const float f = (float) j * binWidth;
        const float x = (std::log (f / 20.0f) / 0.6931472f / 10.0f) * w;
        const float y = h - h * spectrum[j];
        columns.add (x, y);
    }
    columns.flush();

    path.lineTo (w, h);

    if (roundedSpectrum)
        roundedPath = path.createPathWithRoundedCorners (20.0f);

    std::copy (std::begin (spectrum), std::end (spectrum), std::begin (drawnSpectrum));
    pathStale = false;
}

void Analyzer::drawPeakMarker (juce::Graphics& g, int w, int h)
{
    const float f = (float) peakPoint * binWidth;
    const float x = (std::log (f / 20.0f) / 0.6931472f / 10.0f) * (float) w;
    const float y = (float) h - (float) h * peakLevel;
    peakX = (int) (x - 5.0f);
    peakY = (int) (y - 5.0f);

    g.fillEllipse ((float) peakX, (float) peakY, 10.0f, 10.0f);

    // Near the right edge the label flips to the left of the marker.
    const int labelX = peakX + 10 < w - 169 ? peakX + 10 : peakX - 160;
    g.drawText (peakText, labelX, peakY - 10, 170, 20, juce::Justification::topLeft, true);
}

void Analyzer::paint (juce::Graphics& g)
{
    const auto w = getWidth(), h = getHeight();
    g.setColour (markerColour);

    // The path is built for the pixels it lands on, which a scaled window makes larger.
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto size = juce::Point<float> ((float) w, (float) h);
    const bool shapeOptionChanged = roundedSpectrum != drawnOptions.roundedSpectrum;
    if (! frozen && (pathStale || size != pathSize || scale != pathScale || shapeOptionChanged))
    {
        rebuildPath ((float) w, (float) h, scale);
        pathSize = size;
        pathScale = scale;
    }

    if (isPeakMarkerShown())
        drawPeakMarker (g, w, h);

    const auto& shape = roundedSpectrum ? roundedPath : path;

    if (fillSpectrum)
    {
        g.setGradientFill (juce::ColourGradient (juce::Colour (0x80ff1a1a), 0.0f, 0.0f, juce::Colour (0x801aff1a), 0.0f,
                                                 (float) h, false));
        g.fillPath (shape);
    }

    g.setColour (lineColour);
    g.strokePath (shape, juce::PathStrokeType (1.0f));

    drawnOptions = currentOptions();
}
