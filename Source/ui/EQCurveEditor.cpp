#include "EQCurveEditor.h"

#include "CurveAxes.h"
#include "CurveResponse.h"
#include "engine/BandType.h"
#include "engine/ParameterIndex.h"
#include "engine/TrellaDSP.h"

#include <cmath>
#include <cstdio>

namespace
{
    constexpr juce::uint32 guideColour = 0x80a0a0af;
    constexpr juce::uint32 menuBackground = 0xf0234567;
    constexpr juce::uint32 menuHighlight = 0xffa0a0a0;
    constexpr juce::uint32 menuHighlightedText = 0xff000000;
    constexpr float curveCornerSize = 20.0f;
    constexpr float curveThickness = 2.0f;
    constexpr float hoverRingThickness = 3.0f;
    constexpr float bubbleCornerSize = 5.0f;
    constexpr float bubbleOutlineThickness = 2.0f;
    constexpr float bubbleFontSize = 14.0f;
    constexpr int bubbleOffset = 10; // from the dot's centre to the bubble's corner

    bool isBand (int band) noexcept
    {
        return band >= 0 && band < EQCurveEditor::numBands;
    }
} // namespace

//==============================================================================
EQCurveEditor::EQCurveEditor (int width, int height, TrellaDSP* engineToShow)
    : engine (engineToShow)
    , cachedParams (TrellaDSP::DefaultParameters)
{
    menuLook.setColour (juce::PopupMenu::backgroundColourId, juce::Colour (menuBackground));
    menuLook.setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (menuHighlight));
    menuLook.setColour (juce::PopupMenu::highlightedTextColourId, juce::Colour (menuHighlightedText));

    setSize (width, height);

    wheelRun.onStart = [this]
    {
        if (engine != nullptr)
            engine->beginChangeGesture (ParameterIndex::bandQ (wheelBand));
    };
    wheelRun.onEnd = [this]
    {
        if (engine != nullptr)
            engine->endChangeGesture (ParameterIndex::bandQ (wheelBand));
    };

    startTimerHz (25);
}

EQCurveEditor::~EQCurveEditor()
{
    stopTimer();

    // The host must not be left with an edit that never ends.
    endEdit (dragEdit);
    wheelRun.finish();

    // The open menu uses this editor's look and feel; it must not outlive it.
    if (menuOpen)
        juce::PopupMenu::dismissAllActiveMenus();
}

void EQCurveEditor::setEngine (TrellaDSP* newEngine)
{
    // Edits still open belong to the previous engine, which ends them when it goes.
    if (newEngine != engine)
    {
        dragEdit.clearQuick();
        wheelRun.forget();
    }

    engine = newEngine;
    draggedBand = -1;
    hoveredBand = -1;
    requestRecompute();
    repaint();
}

void EQCurveEditor::timerCallback()
{
    const bool optionsChanged = showGuides != paintedGuides || showBandInfo != paintedBandInfo;

    if (refreshFromEngine() || optionsChanged)
        repaint();
}

//==============================================================================
void EQCurveEditor::beginBandEdit (int band, bool withQ, juce::Array<int>& indices)
{
    if (engine == nullptr || ! isBand (band))
        return;

    // Moving or resetting a band switches the equaliser on when it is off.
    if (engine->getParams().eqActive == 0)
        indices.add (ParameterIndex::eqActive);

    indices.add (ParameterIndex::bandFrequency (band));
    indices.add (ParameterIndex::bandGain (band));
    indices.add (ParameterIndex::bandActive (band));

    if (withQ)
        indices.add (ParameterIndex::bandQ (band));

    for (const auto index : indices)
        engine->beginChangeGesture (index);
}

void EQCurveEditor::endEdit (juce::Array<int>& indices)
{
    if (engine != nullptr)
        for (const auto index : indices)
            engine->endChangeGesture (index);

    indices.clearQuick();
}

void EQCurveEditor::resized()
{
    maxBubbleX = (int) ((float) getWidth() - bubbleWidth - bubbleMargin);
    maxBubbleY = (int) ((float) getHeight() - bubbleHeight - bubbleMargin);
    updateCurveXs();
    requestRecompute();
}

const std::array<float, EQCurveEditor::numProbes>& EQCurveEditor::getProbeFrequencies()
{
    return CurveResponse::getProbeFrequencies();
}

void EQCurveEditor::updateCurveXs()
{
    CurveResponse::curvePointXs ((float) getWidth(), curveOffset, curveXs);
}

//==============================================================================
bool EQCurveEditor::refreshFromEngine()
{
    if (engine == nullptr)
        return false;

    const auto current = engine->getParams();
    const int soloBand = engine->getSoloBand();
    const double sampleRate = engine->getSampleRate();

    if (! recomputePending && current.sameBytesAs (cachedParams) && soloBand == cachedSoloBand &&
        sampleRate == cachedSampleRate)
        return false;

    cachedParams = current;
    cachedSoloBand = soloBand;
    cachedSampleRate = sampleRate;
    recomputePending = false;

    updateBandViews();
    // The very designs and run rules the audio thread uses. While a band is soloed the curve shows
    // that band alone, to picture the region it acts on.
    CurveResponse::computeMagnitudes (*engine, magnitudes);
    buildCurve();
    ++recomputeCount;
    return true;
}

void EQCurveEditor::updateBandViews()
{
    const auto width = (float) getWidth();
    const auto height = (float) getHeight();

    for (int b = 0; b < numBands; ++b)
    {
        const auto& source = cachedParams.band[b];
        auto& view = bandViews[(size_t) b];
        view.frequency = source.frequency;
        view.gain = source.gain;
        view.q = source.q;
        view.x = CurveAxes::toPixel (CurveAxes::xForFrequency (source.frequency, width));
        view.y = CurveAxes::toPixel (CurveAxes::yForGain (source.gain, height));
    }
}

void EQCurveEditor::buildCurve()
{
    const auto height = (float) getHeight();

    curvePath.clear();
    curvePath.preallocateSpace (3 * (numProbes + 1));
    curvePath.startNewSubPath (0.0f, (float) (getHeight() / 2));

    for (size_t j = 0; j < magnitudes.size(); ++j)
        curvePath.lineTo (curveXs[j], CurveAxes::yForGain (CurveResponse::decibelsAsDrawn (magnitudes[j]), height));

    roundedCurve = curvePath.createPathWithRoundedCorners (curveCornerSize);
    strokedCurveScale = 0.0f; // the outline is made anew at the next paint
}

//==============================================================================
void EQCurveEditor::paint (juce::Graphics& g)
{
    // A paint of part of the area (a menu closing over it) may be the first to see a new setting;
    // the whole area is then painted again, or the rest of it would keep the old curve.
    if (refreshFromEngine() && ! g.getClipBounds().contains (getLocalBounds()))
        repaint();

    if (engine != nullptr)
    {
        // The curve's outline is kept between paints: the spectrum beneath repaints the whole area
        // many times a second while the curve stays the same. It is made for the pixels it lands
        // on, as stroking does.
        const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
        if (scale != strokedCurveScale)
        {
            juce::PathStrokeType (curveThickness).createStrokedPath (strokedCurve, roundedCurve, {}, scale);
            strokedCurveScale = scale;
        }

        g.setColour (juce::Colours::lightblue);
        g.fillPath (strokedCurve);

        paintDots (g);
        paintHoveredBand (g);
    }

    paintGuides (g);

    paintedGuides = showGuides;
    paintedBandInfo = showBandInfo;
}

void EQCurveEditor::paintDots (juce::Graphics& g) const
{
    for (int b = 0; b < numBands; ++b)
    {
        const auto& view = bandViews[(size_t) b];

        if (engine->isBandSoloed (b))
            g.setColour (juce::Colours::red);
        else if (cachedParams.band[b].active != 0)
            g.setColour (juce::Colours::white);
        else
            g.setColour (juce::Colours::lightblue.brighter (0.4f));

        g.fillEllipse ((float) (view.x - dotSize / 2), (float) (view.y - dotSize / 2), (float) dotSize,
                       (float) dotSize);
    }
}

void EQCurveEditor::paintHoveredBand (juce::Graphics& g)
{
    if (! isBand (hoveredBand))
        return;

    const auto& view = bandViews[(size_t) hoveredBand];
    g.setColour (juce::Colours::white);
    g.drawEllipse ((float) (view.x - dotSize / 2), (float) (view.y - dotSize / 2), (float) dotSize, (float) dotSize,
                   hoverRingThickness);

    if (showBandInfo)
        paintBubble (g, hoveredBand);
}

void EQCurveEditor::paintBubble (juce::Graphics& g, int band)
{
    const auto& view = bandViews[(size_t) band];

    // Next to the dot, but never past the right or bottom edge, nor left of or above the origin.
    const auto place = [] (int dot, int largest)
    {
        const int wanted = dot + bubbleOffset;
        return wanted < 0 ? 0 : juce::jmin (wanted, largest);
    };
    bubble.setPosition ((float) place (view.x, maxBubbleX), (float) place (view.y, maxBubbleY));

    g.drawRoundedRectangle (bubble, bubbleCornerSize, bubbleOutlineThickness);
    g.setColour (juce::Colours::mintcream.withAlpha (bubbleAlpha));
    g.fillRoundedRectangle (bubble, bubbleCornerSize);

    g.setColour (juce::Colours::black);
    g.setFont (juce::Font (bubbleFontSize));
    g.drawFittedText (bubbleText (band), bubble.getSmallestIntegerContainer(), juce::Justification::centred, 3, 0.0f);
}

juce::String EQCurveEditor::bubbleText (int band) const
{
    const auto& view = bandViews[(size_t) band];
    char values[160];
    std::snprintf (values, sizeof (values), "Freq = %5.2f Hz\nGain = %2.2f dB\nQ = %.2f", (double) view.frequency,
                   (double) view.gain, (double) view.q);

    return "Band " + juce::String (band + 1) + ": " + BandType::getName (cachedParams.band[band].type) + "\n" +
           juce::String (values);
}

void EQCurveEditor::paintGuides (juce::Graphics& g) const
{
    if (! showGuides || mousePosition.x < 0)
        return;

    g.setColour (juce::Colour (guideColour));
    g.drawHorizontalLine (mousePosition.y, 0.0f, (float) getWidth());
    g.drawVerticalLine (mousePosition.x, 0.0f, (float) getHeight());
}

//==============================================================================
int EQCurveEditor::bandAt (juce::Point<int> position) const noexcept
{
    if (engine == nullptr)
        return -1;

    int hit = -1;
    for (int b = 0; b < numBands; ++b)
    {
        const auto& view = bandViews[(size_t) b];
        const double distance = std::hypot ((double) position.x - view.x, (double) position.y - view.y);
        if ((int) std::fmin (distance, 1.0e9) <= hitRadius)
            hit = b; // a later band wins among overlapping dots
    }
    return hit;
}

bool EQCurveEditor::isInside (juce::Point<int> position) const noexcept
{
    // An editor without area has no inside: the axis laws divide by its size.
    return getWidth() > 0 && getHeight() > 0 && position.x >= 0 && position.x <= getWidth() && position.y >= 0 &&
           position.y <= getHeight();
}

void EQCurveEditor::mouseMove (const juce::MouseEvent& e)
{
    const int previousBand = hoveredBand;
    const float previousAlpha = bubbleAlpha;

    hoveredBand = bandAt (e.getPosition());
    if (hoveredBand >= 0)
        bubbleAlpha = bubbleAlphaClear;

    mousePosition = e.getPosition();

    // The guides follow the pointer; otherwise only a change of the hovered band shows.
    if (showGuides || hoveredBand != previousBand || bubbleAlpha != previousAlpha)
        repaint();
}

void EQCurveEditor::mouseDown (const juce::MouseEvent& e)
{
    // A press on a dot takes that band, so a quick drag whose first movement already lands
    // beyond the dot's reach still moves it. A press on empty space takes nothing: the drag then
    // picks up the first dot the pointer passes within reach of (see mouseDrag).
    if (engine == nullptr || ! e.mods.isLeftButtonDown() || ! isInside (e.getPosition()))
        return;

    draggedBand = bandAt (e.getPosition());
}

void EQCurveEditor::mouseDrag (const juce::MouseEvent& e)
{
    const auto position = e.getPosition();
    if (engine == nullptr || ! isInside (position))
        return;

    mousePosition = position;

    if (draggedBand < 0)
        draggedBand = bandAt (position);
    if (draggedBand < 0)
        return;

    const float frequency = CurveAxes::frequencyForX ((float) position.x, (float) getWidth());
    const float gain = CurveAxes::gainForY ((float) position.y, (float) getHeight());

    // The edit starts with the drag's first movement of a band.
    if (dragEdit.isEmpty())
        beginBandEdit (draggedBand, false, dragEdit);

    auto& view = bandViews[(size_t) draggedBand];
    view.x = position.x;
    view.y = position.y;
    view.frequency = frequency;
    view.gain = gain;

    // Let the dot show through where the bubble, held at the edge, covers it.
    const auto dotCorner = position.toFloat() - juce::Point<float> ((float) dotSize / 2, (float) dotSize / 2);
    bubbleAlpha = bubble.contains (dotCorner) ? bubbleAlphaCovering : bubbleAlphaClear;

    if (onBandChanged)
        onBandChanged (draggedBand, frequency, gain, true);

    repaint();
}

void EQCurveEditor::mouseUp (const juce::MouseEvent& e)
{
    draggedBand = -1;
    endEdit (dragEdit);

    if (engine == nullptr)
        return;

    repaint();

    if (e.mods.isRightButtonDown())
    {
        if (hoveredBand >= 0)
            showBandMenu (hoveredBand, e.getScreenPosition());
        return;
    }

    if (e.getNumberOfClicks() == 2 && hoveredBand >= 0)
    {
        const int band = hoveredBand;
        const auto& defaults = TrellaDSP::DefaultParameters.band[band];

        juce::Array<int> reset;
        beginBandEdit (band, true, reset);

        if (onBandChanged)
            onBandChanged (band, defaults.frequency, defaults.gain, false);
        if (onQChanged)
            onQChanged (band, defaults.q);

        endEdit (reset);
    }
}

void EQCurveEditor::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    // The wheel is consumed here in any case, so the host does not scroll under a band edit.
    if (engine == nullptr || ! isBand (hoveredBand) || ! std::isfinite (wheel.deltaY))
        return;

    const int band = hoveredBand;
    const float q = juce::jlimit (minimumQ, maximumQ, engine->getParams().band[band].q + wheel.deltaY);
    bandViews[(size_t) band].q = q;

    // One edit per run of turns on one band, ended when the wheel rests.
    if (wheelRun.isOpen() && wheelBand != band)
        wheelRun.finish();
    wheelBand = band;
    wheelRun.touch();

    if (onQChanged)
        onQChanged (band, q);

    repaint();
}

void EQCurveEditor::mouseExit (const juce::MouseEvent&)
{
    // Hides the guides; the hovered band keeps its ring and bubble until the mouse returns.
    mousePosition = { -1, -1 };

    if (showGuides)
        repaint();
}

//==============================================================================
juce::PopupMenu EQCurveEditor::createBandMenu (int band)
{
    juce::PopupMenu menu;
    if (! isBand (band))
        return menu;

    menu.setLookAndFeel (&menuLook);

    const bool soloed = engine != nullptr && engine->isBandSoloed (band);
    menu.addItem (soloItem, soloed ? "UnSolo" : "Solo");

    if (band == 0 || band == numBands - 1)
    {
        menu.addSeparator();
        menu.addItem (shelfItem, band == 0 ? "Low Shelf" : "High Shelf");
        menu.addItem (peakItem, "Peak");
    }

    return menu;
}

void EQCurveEditor::applyBandMenuResult (int band, int result)
{
    if (engine != nullptr && isBand (band))
    {
        const bool hasTypeItems = band == 0 || band == numBands - 1;

        if (result == soloItem)
            engine->setBandSolo (band, ! engine->isBandSoloed (band));
        else if ((result == shelfItem || result == peakItem) && hasTypeItems)
        {
            const int shelf = band == 0 ? BandType::LowShelf : BandType::HighShelf;
            const int index = ParameterIndex::bandType (band);
            engine->beginChangeGesture (index);
            engine->setBandType (band, result == shelfItem ? shelf : BandType::Peak);
            engine->endChangeGesture (index);
        }
    }

    // Solo is not part of the parameter record, so a menu action always forces a recompute.
    requestRecompute();
    repaint();
}

void EQCurveEditor::showBandMenu (int band, juce::Point<int> screenPosition)
{
    auto menu = createBandMenu (band);
    hoveredBand = -1;
    menuOpen = true;
    repaint();

    // Asynchronous: a plug-in must not run a modal loop inside the host's event handling. The menu
    // lives inside the plug-in's own window, so it scales with the interface and needs no extra
    // native window from the host's window manager. The choice goes to the band that was hovered
    // when the menu opened.
    const auto options = juce::PopupMenu::Options()
                             .withParentComponent (getTopLevelComponent())
                             .withTargetScreenArea ({ screenPosition.x, screenPosition.y, 1, 1 });
    menu.showMenuAsync (options,
                        [editor = juce::Component::SafePointer<EQCurveEditor> (this), band] (int result)
                        {
                            if (editor == nullptr)
                                return;
                            editor->menuOpen = false;
                            editor->applyBandMenuResult (band, result);
                        });
}
