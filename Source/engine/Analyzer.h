#pragma once

#include <juce_dsp/juce_dsp.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>

/** The spectrum behind the equaliser curve: gathers 2048-sample frames on the audio thread,
    transforms and smooths them 25 times a second on the message thread, and draws the result on a
    logarithmic frequency axis (20 Hz at the left edge, 20480 Hz at the right).

    Drawing. The timer repaints only when the picture changes: a spectrum that moved by a visible
    amount, a peak marker caught or dropped, a clear, or a display option written since the last
    paint. So a stopped or silent signal costs no drawing once its curve has come to rest. The
    peak hold counts timer ticks (25 per second), not paints, so its seconds stay exact however
    often the area is repainted for other reasons.

    Hand-over: the audio thread copies a completed frame into `frame` only while no frame waits
    (`frameReady` clear) and then sets the flag; the message thread copies the waiting frame out
    before it clears the flag, and transforms its own copy. So no frame is transformed while the
    audio thread writes it, and at most one frame per completed 2048-sample block is analysed.
*/
class Analyzer : public juce::Component, private juce::Timer
{
public:
    static constexpr int fftOrder = 11;
    static constexpr int fftSize = 1 << fftOrder; // 2048
    static constexpr int numPoints = fftSize / 2; // 1024
    static constexpr float defaultDecay = 0.91201085f;
    static constexpr float displayRangeDb = 72.0f;

    explicit Analyzer (double sampleRate);
    ~Analyzer() override;

    /** Audio thread: one sample (left + right) into the frame being gathered. */
    inline void pushSample (float sample) noexcept
    {
        if (fifoIndex == fftSize)
        {
            handOverFrame();
            fifoIndex = 0;
        }
        fifo[fifoIndex++] = sample;
    }

    /** Audio thread, at the start of each block: carries out a pending clear of the gathered samples. */
    void beginAudioBlock() noexcept;

    /** Any thread: zeroes the gathered samples, the frame and the displayed spectrum (the audio side
        at its next block, the display at its next update).
    */
    void clear() noexcept;

    /** Message thread: analyses a waiting frame, if any, advances the peak hold, and repaints if the
        picture changed; the timer calls it 25 times a second while the analyser is part of a window
        (added to a parent component).
    */
    void update();

    void parentHierarchyChanged() override;

    /** The smallest movement of the curve, in pixels, that is drawn. */
    static constexpr float visibleChangePixels = 0.05f;

    /** A display level below this (0.036 dB above the floor of the 72 dB range) shows as the floor
        itself, so that a fading spectrum reaches its rest in a few seconds instead of never.
    */
    static constexpr float restLevel = 5.0e-4f;

    /** Message thread: the smoothed display level of a point, 0..1. */
    float getSpectrum (int point) const noexcept { return spectrum[juce::jlimit (0, numPoints - 1, point)]; }

    float getBinWidth() const noexcept { return binWidth; }

    void paint (juce::Graphics& g) override;

    // Display options, written by the interface on the message thread.
    bool frozen = false;
    bool showPeak = false;
    bool fillSpectrum = true;
    bool roundedSpectrum = true;
    int peakHoldFrames = 25; // ticks a caught peak is held
    float decay = defaultDecay;
    juce::Colour markerColour{ 0xff0000ff };
    juce::Colour lineColour{ juce::Colours::white };

    // The held peak, as the last tick left it, and the marker's corner as the last paint placed it.
    float peakLevel = 0.0f;
    juce::String peakText;
    int peakX = -1, peakY = -1;
    int peakCounter = 0;

private:
    /** The display options a paint used; a change of any of them needs a new paint. */
    struct DrawnOptions
    {
        bool frozen = false, showPeak = false, fillSpectrum = true, roundedSpectrum = true;
        juce::Colour markerColour, lineColour;
        bool operator== (const DrawnOptions& other) const noexcept;
    };

    void timerCallback() override { update(); }
    void handOverFrame() noexcept;
    void analyseFrame();
    bool curveMovedVisibly() const noexcept;
    void repaintCurveArea();
    static float highestLevel (const float (&levels)[numPoints]) noexcept;
    bool advancePeakHold();
    bool isPeakMarkerShown() const noexcept;
    DrawnOptions currentOptions() const noexcept;
    void rebuildPath (float width, float height, float pixelsPerUnit);
    void drawPeakMarker (juce::Graphics& g, int width, int height);

    juce::dsp::FFT fft{ fftOrder };
    juce::dsp::WindowingFunction<float> window{ (size_t) fftSize, juce::dsp::WindowingFunction<float>::hann, true,
                                                0.0f };
    const float binWidth;

    // Audio thread.
    float fifo[fftSize]{};
    int fifoIndex = 0;
    std::uint32_t audioClears = 0;

    // Handed from the audio thread to the message thread.
    float frame[fftSize]{};
    std::atomic<bool> frameReady{ false };
    std::atomic<std::uint32_t> clearRequests{ 0 };

    // Message thread.
    float fftData[2 * fftSize]{};
    float spectrum[numPoints]{};
    std::uint32_t displayClears = 0;
    bool skipPeakMarker = false;
    int peakPoint = 0;                // the point whose level the held peak caught
    float drawnSpectrum[numPoints]{}; // the spectrum the current path shows
    bool pathStale = true;
    juce::Point<float> pathSize; // the size the current path was built for
    float pathScale = 1.0f;      // and the physical pixels per unit it was built for
    DrawnOptions drawnOptions;
    juce::Path path, roundedPath;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Analyzer)
};
