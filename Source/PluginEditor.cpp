#include "PluginEditor.h"

#include "ui/EQCurveEditor.h"
#include "ui/EQCurveGrid.h"
#include "ui/EQKnobPanel.h"

KroTrellaAudioProcessorEditor::KroTrellaAudioProcessorEditor (KroTrellaAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
    , trellaProcessor (p)
    , grid (std::make_unique<EQCurveGrid> (width, curveAreaHeight))
    , panel (std::make_unique<EQKnobPanel> (width, panelHeight, p.getEngine()))
    , curveEditor (std::make_unique<EQCurveEditor> (width, curveAreaHeight, nullptr))
{
    setSize (width, curveAreaHeight + panelHeight);
    addAndMakeVisible (*grid);
    panel->setBounds (0, curveAreaHeight, width, panelHeight);
    addAndMakeVisible (*panel);

    curveEditor->onBandChanged = [this] (int band, float frequency, float gain, bool active)
    { moveBand (band, frequency, gain, active); };
    // The interface's default options: no guide lines, band information on hover.
    curveEditor->showGuides = false;
    curveEditor->showBandInfo = true;

    curveEditor->onQChanged = [this] (int band, float q)
    {
        if (engine != nullptr)
            engine->setBandQ (band, q);
    };
    addAndMakeVisible (*curveEditor);

    bindEngine (trellaProcessor.getEngine());

    // The processor may replace its engine on the thread that starts the audio device; the window
    // follows on the message thread, before the old engine is destroyed there.
    trellaProcessor.setOnEngineChanged (
        [safeThis = juce::Component::SafePointer<KroTrellaAudioProcessorEditor> (this)]
        {
            juce::MessageManager::callAsync (
                [safeThis]
                {
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
    panel->setEngine (engine);

    if (engine != nullptr && engine->analyzer != nullptr)
    {
        auto& analyzer = *engine->analyzer;
        analyzer.markerColour = juce::Colours::steelblue.brighter (0.4f).withAlpha (0.5f);
        analyzer.lineColour = juce::Colours::lightgrey;
        analyzer.fillSpectrum = false; // the default analyser style: a plain line
        analyzer.roundedSpectrum = false;
        analyzer.setBounds (0, 0, width, curveAreaHeight);
        addAndMakeVisible (analyzer);
    }

    restackChildren();

    if (engine != nullptr)
        panel->syncFromEngine (engine->getParams());
}

void KroTrellaAudioProcessorEditor::restackChildren()
{
    // Bottom to top: grid, analyser, panel, curve editor.
    grid->toBack();
    curveEditor->toFront (false);
    panel->toBehind (curveEditor.get());
    if (engine != nullptr && engine->analyzer != nullptr)
        engine->analyzer->toBehind (panel.get());
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
