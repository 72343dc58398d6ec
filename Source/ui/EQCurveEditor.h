#pragma once

#include "engine/EQParameters.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>

class TrellaDSP;

/** The interactive layer of the curve area: the combined frequency response of the equaliser, one
    dot per band, an information bubble and guide lines, and the gestures that edit the bands.

    It holds no audio state. On every paint it compares the engine's parameter record (and solo
    state) with the copy it last drew and recomputes the curve only when they differ, so it follows
    host automation, the control panel and its own gestures without listeners. It never asks for a
    repaint itself: the analyser beneath it repaints the whole area 25 times a second.

    Gestures are reported through onBandChanged and onQChanged; the context menu calls the engine's
    type and solo setters directly. Everything runs on the message thread. Without an engine the
    editor draws neither curve nor dots and ignores gestures.
*/
class EQCurveEditor : public juce::Component
{
public:
    static constexpr int numBands = 4;
    static constexpr int numProbes = 600;
    static constexpr int dotSize = 10;
    static constexpr int hitRadius = 9;
    static constexpr float bubbleWidth = 128.0f, bubbleHeight = 60.0f, bubbleMargin = 3.0f;
    static constexpr float bubbleAlphaClear = 0.8f, bubbleAlphaCovering = 0.25f;
    static constexpr float curveOffset = 5.0f;     // the curve is drawn this far right of the dots
    static constexpr float curveFloorDb = -124.0f; // where silence and anything below -100 dB is drawn
    static constexpr float minimumQ = 0.1f, maximumQ = 10.0f;

    enum MenuItem
    {
        soloItem = 1,
        shelfItem = 2,
        peakItem = 3
    };

    /** What is drawn and shown for one band. */
    struct BandView
    {
        float frequency = 0.0f, gain = 0.0f, q = 1.0f;
        int x = 0, y = 0;
    };

    EQCurveEditor (int width, int height, TrellaDSP* engine);
    ~EQCurveEditor() override;

    /** A band dragged (active = true) or reset by a double-click (active = false). */
    std::function<void (int band, float frequency, float gain, bool active)> onBandChanged;
    /** A new Q from the wheel or a double-click reset. */
    std::function<void (int band, float q)> onQChanged;

    bool showGuides = true;
    bool showBandInfo = true;

    /** Points the editor at another engine (or none) and recomputes at the next paint. */
    void setEngine (TrellaDSP* newEngine);
    TrellaDSP* getEngine() const noexcept { return engine; }

    /** Takes over the engine's settings and rebuilds the curve if they changed or a recompute is
        pending; returns whether it recomputed. Paint calls this first.
    */
    bool refreshFromEngine();
    void requestRecompute() noexcept { recomputePending = true; }
    bool isRecomputePending() const noexcept { return recomputePending; }
    int getRecomputeCount() const noexcept { return recomputeCount; }

    /** The context menu of a band: Solo or UnSolo, and for bands 1 and 4 their shelf and peak types. */
    juce::PopupMenu createBandMenu (int band);
    /** Applies a context-menu choice (0 = dismissed) to a band and schedules a recompute. */
    void applyBandMenuResult (int band, int result);

    /** The band whose dot lies within reach of a position; the highest band among overlapping dots. */
    int bandAt (juce::Point<int> position) const noexcept;

    int getHoveredBand() const noexcept { return hoveredBand; }
    int getDraggedBand() const noexcept { return draggedBand; }
    juce::Point<int> getMousePosition() const noexcept { return mousePosition; }
    const BandView& getBandView (int band) const noexcept { return bandViews[(size_t) band]; }
    juce::Rectangle<float> getBubbleBounds() const noexcept { return bubble; }
    float getBubbleAlpha() const noexcept { return bubbleAlpha; }
    const std::array<float, numProbes>& getMagnitudes() const noexcept { return magnitudes; }
    const juce::Path& getCurvePath() const noexcept { return curvePath; }

    /** The frequencies the response is evaluated at: from 1 Hz in steps of 19999/600 Hz. */
    static const std::array<float, numProbes>& getProbeFrequencies();

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void mouseExit (const juce::MouseEvent& e) override;

private:
    void updateBandViews();
    void computeMagnitudes();
    void buildCurve();
    void updateCurveXs();

    void paintDots (juce::Graphics& g) const;
    void paintHoveredBand (juce::Graphics& g);
    void paintBubble (juce::Graphics& g, int band);
    void paintGuides (juce::Graphics& g) const;
    juce::String bubbleText (int band) const;

    void showBandMenu (int band, juce::Point<int> screenPosition);
    bool isInside (juce::Point<int> position) const noexcept;

    TrellaDSP* engine = nullptr;
    EQParameters cachedParams;
    int cachedSoloBand = -1;
    double cachedSampleRate = 0.0;

    juce::Path curvePath, roundedCurve;
    std::array<float, numProbes> magnitudes{};
    std::array<float, numProbes> curveXs{}; // x of every curve point, for the current width

    int draggedBand = -1;
    int hoveredBand = -1;
    juce::Point<int> mousePosition;
    int maxBubbleX = 0, maxBubbleY = 0;
    juce::Rectangle<float> bubble{ 0.0f, 0.0f, bubbleWidth, bubbleHeight };
    float bubbleAlpha = bubbleAlphaClear;
    bool recomputePending = true;
    int recomputeCount = 0;
    std::array<BandView, numBands> bandViews{};

    juce::LookAndFeel_V4 menuLook;
    bool menuOpen = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EQCurveEditor)
};
