#pragma once

#include "CurveResponse.h"
#include "engine/EQParameters.h"
#include "widgets/WheelGesture.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>

class TrellaDSP;

/** The interactive layer of the curve area: the combined frequency response of the equaliser, one
    dot per band, an information bubble and guide lines, and the gestures that edit the bands.

    It holds no audio state. A 25 Hz timer compares the engine's parameter record (and solo state)
    with the copy it last drew and, only when they differ, recomputes the curve and repaints; so it
    follows host automation, the control panel and its own gestures without listeners, and an
    unchanged curve costs no drawing. Mouse movements that change what is shown (hover, guides,
    a dragged dot) repaint at once. Every paint compares as well, so a paint caused by anything
    else never shows a stale curve.

    Gestures are reported through onBandChanged and onQChanged; the context menu calls the engine's
    type and solo setters directly. Each gesture is one edit for the host, bracketed with the
    engine's change gestures on the parameters it moves: a drag from its first movement to the
    release (the band's frequency, gain and switch, and the equaliser's switch when the drag finds
    it off, since the drag switches it on), a run of wheel turns until the wheel rests (the band's
    Q), a double-click reset (frequency, gain, switch, Q and, when off, the equaliser's switch) and
    a menu choice of type. Everything runs on the message thread. Without an engine the editor
    draws neither curve nor dots and ignores gestures.
*/
class EQCurveEditor : public juce::Component, private juce::Timer
{
public:
    static constexpr int numBands = 4;
    static constexpr int numProbes = CurveResponse::numProbes;
    static constexpr int dotSize = 10;
    static constexpr int hitRadius = 9;
    static constexpr float bubbleWidth = 128.0f, bubbleHeight = 60.0f, bubbleMargin = 3.0f;
    static constexpr float bubbleAlphaClear = 0.8f, bubbleAlphaCovering = 0.25f;
    static constexpr float curveOffset = 5.0f; // the curve is drawn this far right of the dots
    static constexpr float curveFloorDb = CurveResponse::floorDb;
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
    void buildCurve();
    void updateCurveXs();

    void paintDots (juce::Graphics& g) const;
    void paintHoveredBand (juce::Graphics& g);
    void paintBubble (juce::Graphics& g, int band);
    void paintGuides (juce::Graphics& g) const;
    juce::String bubbleText (int band) const;

    void showBandMenu (int band, juce::Point<int> screenPosition);
    bool isInside (juce::Point<int> position) const noexcept;

    void timerCallback() override;

    /** Opens the edit of a band's position and switch, with its Q if asked (and of the equaliser's
        switch when it is off, as moving a band switches it on); the parameters go into `indices`.
    */
    void beginBandEdit (int band, bool withQ, juce::Array<int>& indices);
    void endEdit (juce::Array<int>& indices);

    TrellaDSP* engine = nullptr;
    EQParameters cachedParams;
    int cachedSoloBand = -1;
    double cachedSampleRate = 0.0;

    juce::Path curvePath, roundedCurve, strokedCurve;
    float strokedCurveScale = 0.0f; // pixels per unit the outline was made for; 0 = none yet
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

    juce::Array<int> dragEdit;   // parameters of the drag's open edit
    WheelGesture wheelRun;       // the open edit of a run of wheel turns
    int wheelBand = -1;          // the band whose Q the run of wheel turns edits
    bool paintedGuides = true;   // showGuides as last drawn
    bool paintedBandInfo = true; // showBandInfo as last drawn

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EQCurveEditor)
};
