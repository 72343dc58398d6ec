#include "PluginEditor.h"

#include "ui/EQCurveEditor.h"
#include "ui/EQCurveGrid.h"

KroTrellaAudioProcessorEditor::KroTrellaAudioProcessorEditor (KroTrellaAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
    , trellaProcessor (p)
    , grid (std::make_unique<EQCurveGrid> (width, curveAreaHeight))
    , curveEditor (std::make_unique<EQCurveEditor> (width, curveAreaHeight, nullptr))
{
    setSize (width, curveAreaHeight);
    addAndMakeVisible (*grid);

    curveEditor->onBandChanged = [this] (int band, float frequency, float gain, bool active) {
        moveBand (band, frequency, gain, active);
    };
    curveEditor->onQChanged = [this] (int band, float q) {
        if (engine != nullptr)
            engine->setBandQ (band, q);
    };
    addAndMakeVisible (*curveEditor);

    bindEngine (trellaProcessor.getEngine());

    // The processor may replace its engine on the thread that starts the audio device; the window
    // follows on the message thread, before the old engine is destroyed there.
    trellaProcessor.setOnEngineChanged ([safeThis = juce::Component::SafePointer<KroTrellaAudioProcessorEditor> (this)] {
        juce::MessageManager::callAsync ([safeThis] {
            if (safeThis != nullptr)
                safeThis->bindEngine (safeThis->trellaProcessor.getEngine());
        });
    });
}

KroTrellaAudioProcessorEditor::~KroTrellaAudioProcessorEditor()
{
    trellaProcessor.setOnEngineChanged (nullptr);

    if (engine != nullptr && engine->analyzer != nullptr)
        removeChildComponent (engine->analyzer.get());
}

void KroTrellaAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void KroTrellaAudioProcessorEditor::bindEngine (TrellaDSP* newEngine)
{
    if (engine != nullptr && engine != newEngine && engine->analyzer != nullptr)
        removeChildComponent (engine->analyzer.get());

    engine = newEngine;
    curveEditor->setEngine (engine);

    if (engine != nullptr && engine->analyzer != nullptr)
    {
        auto& analyzer = *engine->analyzer;
        analyzer.markerColour = juce::Colours::steelblue.brighter (0.4f).withAlpha (0.5f);
        analyzer.lineColour = juce::Colours::lightgrey;
        analyzer.setBounds (0, 0, width, curveAreaHeight);
        addAndMakeVisible (analyzer);
    }

    restackChildren();
}

void KroTrellaAudioProcessorEditor::restackChildren()
{
    // Bottom to top: grid, analyser, curve editor.
    grid->toBack();
    if (engine != nullptr && engine->analyzer != nullptr)
        engine->analyzer->toBehind (curveEditor.get());
    curveEditor->toFront (false);
}

void KroTrellaAudioProcessorEditor::moveBand (int band, float frequency, float gain, bool active)
{
    if (engine == nullptr)
        return;

    // Dragging a band while the equaliser is off switches it on.
    if (engine->getParams().eqActive == 0)
        engine->setEqActive (true);

    engine->setBandFrequency (band, frequency);
    engine->setBandGain (band, gain);
    engine->setBandActive (band, active);
}
