#pragma once

#include "engine/EQParameters.h"
#include "widgets/MetalKnob.h"
#include "widgets/SquareButton.h"
#include "widgets/vuMeter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>

class TrellaDSP;

/** The lower half of the main screen: the knobs of the high-pass filter, the four bands, the
    output level and the low-pass filter, one on/off button per band, the master "Active" button,
    the input, output and phase meters, the freeze and FFT PRE/POST buttons, the preamp selector,
    the SETTINGS and HELP buttons and the two logos.

    User actions go straight into the engine through its setters, each wrapped in the engine's
    change gestures so that the host can record and group the edit: a knob drag or a run of wheel
    turns is one edit from its first change to its release or pause, a click, a reset, a typed
    value or a preamp choice one edit each. The panel never listens to the engine: a 25 Hz timer
    compares the engine's parameter record with the panel's copy and, when they differ, brings
    every control to the engine's values. Host automation, the curve editor and loaded states
    therefore reach the panel within one tick. Showing a value never writes it back: a knob shows
    a gain of 3.14159 dB as 3.1 dB while the engine keeps 3.14159, and only a user's edit sets a
    value.

    Everything runs on the message thread. The engine is not owned; its owner re-points the panel
    with setEngine() when the engine is replaced, and a null engine leaves the panel inert.
*/
class EQKnobPanel : public juce::Component, public juce::Timer, public juce::ChangeBroadcaster
{
public:
    static constexpr juce::uint32 accentColour = 0xff9ecbe8;     // band notches and all labels
    static constexpr juce::uint32 bypassColour = 0xff808080;     // notch of a filter or level with no effect
    static constexpr juce::uint32 backgroundColour = 0xff2a232d; // panel background
    static constexpr int numBands = 4;

    /** One band's controls. */
    struct BandStruct
    {
        std::unique_ptr<MetalKnob> knGain, knFrequency, knQ;
        std::unique_ptr<SquareButton> btnOnOff; // on/off, captioned with the band's filter type
    };

    EQKnobPanel (int width, int height, TrellaDSP* engine);
    ~EQKnobPanel() override;

    /** Run by the SETTINGS button, the HELP button and a click on the logo area. */
    std::function<void()> onSettingsClicked;
    std::function<void()> onHelpClicked;
    std::function<void()> onAboutClicked;

    /** Points the panel at another engine (or none) and shows that engine's setting. The freeze
        and FFT PRE/POST choices shown on the buttons are handed to the new engine, so what the
        buttons say stays true after an engine rebuild.
    */
    void setEngine (TrellaDSP* engine);
    TrellaDSP* getEngine() const noexcept { return dsp; }

    /** Stores the record as the panel's copy and brings every control to it, without running any
        handler: nothing is written to the engine. Knobs show values rounded to their steps.
    */
    void syncFromEngine (const EQParameters& record);

    /** The panel's copy of the engine's parameter record. */
    const EQParameters& getLastParameters() const noexcept { return lastParameters; }

    /** True while the meters (and the spectrum) are frozen. */
    bool isFrozen() const noexcept { return frozen; }

    /** The caption of a band button for a band type; empty for a type outside the list. */
    static juce::String captionForBandType (int type);

    void mouseUp (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;
    void resized() override {}
    void timerCallback() override;

    // The controls. Reachable so that the main screen can set the meters' peak options.
    std::array<BandStruct, numBands> bands;
    std::unique_ptr<MetalKnob> knHiPass, knLoPass, knOutLevel;
    std::unique_ptr<SquareButton> btnEqActive, btnFreeze, btnFftSource, btnSettings, btnHelp;
    std::unique_ptr<vuMeter> meterInL, meterInR, meterOutL, meterOutR, meterPhase;
    juce::LookAndFeel_V4 comboLookAndFeel; // declared before the selector that uses it
    std::unique_ptr<juce::ComboBox> IRselector;
    juce::Label lblInput, lblOutput, lblPhase;                   // meter captions
    juce::Label lblInL, lblInR, lblOutL, lblOutR, lblPhaseValue; // meter readouts
    juce::Label lblPreampType;                                   // caption of the preamp selector

private:
    void createBandControls (int band);
    void createPassAndLevelKnobs();
    void createMeters();
    void createButtons();
    void createPreampSelector();
    void createSettingsAndHelpButtons();

    void refreshPassAndLevelNotches();
    void showBandState (int band, const EQParameters& record);
    static void showButtonState (SquareButton& button, bool on);
    std::array<MetalKnob*, 15> allKnobs() const;
    void bindEdits (MetalKnob& knob, int index);

    /** Runs a change of the engine as one user edit of a parameter; inside an edit that is already
        open (a knob drag) it becomes part of that one. Does nothing without an engine.
    */
    template <typename Change>
    void editParameter (int index, Change&& change);
    void showPreamp (int preampType);
    void feedMeters();
    void preampSelected();

    TrellaDSP* dsp = nullptr;
    bool frozen = false;
    EQParameters lastParameters{};
    juce::Image makerLogo, productLogo;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EQKnobPanel)
};
