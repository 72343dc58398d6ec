#pragma once

#include "PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

class EQCurveGrid;
class EQCurveEditor;
class EQKnobPanel;

/** The plug-in's window: the curve area (grid, the engine's spectrum analyser and the curve editor
    stacked over the same 800 x 300 pixels) above the control panel (800 x 260).

    When the processor replaces its engine (a new sample rate or block size), the window re-attaches
    to the new engine on the message thread; the old engine stays alive until that has happened.
*/
class KroTrellaAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int width = 800;
    static constexpr int curveAreaHeight = 300;
    static constexpr int panelHeight = 260;

    explicit KroTrellaAudioProcessorEditor (KroTrellaAudioProcessor& processor);
    ~KroTrellaAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

    /** Attaches every part of the window to an engine (the processor's current one). */
    void bindEngine (TrellaDSP* engine);

    TrellaDSP* getBoundEngine() const noexcept { return engine; }
    EQCurveEditor& getCurveEditor() noexcept { return *curveEditor; }
    EQKnobPanel& getPanel() noexcept { return *panel; }

private:
    void restackChildren();
    void moveBand (int band, float frequency, float gain, bool active);

    KroTrellaAudioProcessor& trellaProcessor;
    TrellaDSP* engine = nullptr;
    std::unique_ptr<EQCurveGrid> grid;
    std::unique_ptr<EQKnobPanel> panel;
    std::unique_ptr<EQCurveEditor> curveEditor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroTrellaAudioProcessorEditor)
};
