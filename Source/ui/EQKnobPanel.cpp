#include "EQKnobPanel.h"

#include "BinaryData.h"
#include "engine/BandType.h"
#include "engine/IR_list.h"
#include "engine/ParameterIndex.h"
#include "engine/TrellaDSP.h"

#include <cmath>

namespace
{
    constexpr int knobSize = 70;
    constexpr int bandColumnX = 95;
    constexpr int bandColumnStep = 85;

    const juce::Colour accent{ EQKnobPanel::accentColour };
    const juce::Colour bypass{ EQKnobPanel::bypassColour };

    int bandColumn (int band)
    {
        return bandColumnX + bandColumnStep * band;
    }

    /** Shows a value in a knob without running its handler: the panel only displays what the
        engine holds. A knob rounds to its step, but the rounded value never goes back.
    */
    void showValue (MetalKnob& knob, float value)
    {
        // A value that is no number cannot be shown; the knob keeps what it had.
        if (! std::isnan (value))
            knob.setValue ((double) value, juce::dontSendNotification);
    }

    void setUpLabel (juce::Label& label, const juce::String& text, juce::Font font, juce::Rectangle<int> bounds)
    {
        label.setText (text, juce::dontSendNotification);
        label.setFont (font);
        label.setJustificationType (juce::Justification::centred);
        label.setColour (juce::Label::textColourId, accent);
        label.setBounds (bounds);
    }

    void setUpLevelMeter (vuMeter& meter)
    {
        const auto green = juce::Colours::green.withBrightness (0.7f);
        const auto yellow = juce::Colours::yellow.withBrightness (0.8f);
        const auto red = juce::Colours::red.withBrightness (1.1f);

        meter.segmentColours.clear();
        meter.segmentColours.insert (meter.segmentColours.end(), 14, green);
        meter.segmentColours.insert (meter.segmentColours.end(), 4, yellow);
        meter.segmentColours.insert (meter.segmentColours.end(), 2, red);
    }

    void setUpPhaseMeter (vuMeter& meter)
    {
        meter.segmentColours.assign (20, juce::Colours::yellow.withBrightness (0.8f));
        meter.linear = true;
    }

    juce::Image imageFrom (const void* data, int size)
    {
        return juce::ImageCache::getFromMemory (data, size);
    }
} // namespace

//==============================================================================
template <typename Change>
void EQKnobPanel::editParameter (int index, Change&& change)
{
    if (dsp == nullptr)
        return;

    auto& engine = *dsp;
    engine.beginChangeGesture (index);
    change (engine);
    engine.endChangeGesture (index);
}

//==============================================================================
EQKnobPanel::EQKnobPanel (int width, int height, TrellaDSP* engine)
    : dsp (engine)
{
    setSize (width, height);

    comboLookAndFeel.setColour (juce::ComboBox::backgroundColourId, juce::Colour (0xf0202020));
    comboLookAndFeel.setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xf0202020));
    comboLookAndFeel.setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0xf0606060));

    for (int band = 0; band < numBands; ++band)
        createBandControls (band);

    createPassAndLevelKnobs();
    createMeters();
    createButtons();
    createPreampSelector();
    createSettingsAndHelpButtons();

    makerLogo = imageFrom (BinaryData::logo_Kro_150x48_png, BinaryData::logo_Kro_150x48_pngSize);
    productLogo = imageFrom (BinaryData::Trella_logo_180x48_png, BinaryData::Trella_logo_180x48_pngSize);

    // The panel shows its engine's setting from the start; without one, the defaults.
    syncFromEngine (dsp != nullptr ? dsp->getParams() : TrellaDSP::DefaultParameters);

    startTimerHz (25);
}

EQKnobPanel::~EQKnobPanel()
{
    stopTimer();

    // The host must not be left with an edit that never ends.
    for (auto* knob : allKnobs())
        knob->endEdit();

    IRselector->setLookAndFeel (nullptr);
}

//==============================================================================
void EQKnobPanel::createBandControls (int band)
{
    auto& controls = bands[(size_t) band];
    const auto& defaults = TrellaDSP::DefaultParameters.band[band];
    const auto suffix = juce::String (band + 1);
    const auto x = bandColumn (band);

    controls.btnOnOff = std::make_unique<SquareButton> (juce::String());
    controls.knGain = std::make_unique<MetalKnob> ("knGain_b" + suffix);
    controls.knFrequency = std::make_unique<MetalKnob> ("knFrequency_b" + suffix);
    controls.knQ = std::make_unique<MetalKnob> ("knQ_b" + suffix);

    auto& frequency = *controls.knFrequency;
    frequency.setBounds (x, 5, knobSize, knobSize);
    frequency.setUpAs (MetalKnob::Kind::bandFrequency, defaults.frequency);
    frequency.setCaption ("F", accent);
    frequency.onValueChange = [this, band]
    {
        const auto value = (float) bands[(size_t) band].knFrequency->getValue();
        editParameter (ParameterIndex::bandFrequency (band), [&] (TrellaDSP& e) { e.setBandFrequency (band, value); });
    };
    bindEdits (frequency, ParameterIndex::bandFrequency (band));
    addAndMakeVisible (frequency);

    auto& gain = *controls.knGain;
    gain.setBounds (x, 75, knobSize, knobSize);
    gain.setUpAs (MetalKnob::Kind::bandGain, defaults.gain);
    gain.setCaption ("G", accent);
    gain.onValueChange = [this, band]
    {
        const auto value = (float) bands[(size_t) band].knGain->getValue();
        editParameter (ParameterIndex::bandGain (band), [&] (TrellaDSP& e) { e.setBandGain (band, value); });
    };
    bindEdits (gain, ParameterIndex::bandGain (band));
    addAndMakeVisible (gain);

    auto& q = *controls.knQ;
    q.setBounds (x, 150, knobSize, knobSize);
    q.setUpAs (MetalKnob::Kind::bandQ, defaults.q);
    q.setCaption ("Q", accent);
    q.onValueChange = [this, band]
    {
        const auto value = (float) bands[(size_t) band].knQ->getValue();
        editParameter (ParameterIndex::bandQ (band), [&] (TrellaDSP& e) { e.setBandQ (band, value); });
    };
    bindEdits (q, ParameterIndex::bandQ (band));
    addAndMakeVisible (q);

    auto& onOff = *controls.btnOnOff;
    onOff.setBounds (x, 225, knobSize, 30);
    onOff.onMouseUp = [this, band] (const juce::MouseEvent&)
    {
        const auto on = bands[(size_t) band].btnOnOff->isOn();
        editParameter (ParameterIndex::bandActive (band), [&] (TrellaDSP& e) { e.setBandActive (band, on); });
    };
    addAndMakeVisible (onOff);
}

void EQKnobPanel::createPassAndLevelKnobs()
{
    const auto& defaults = TrellaDSP::DefaultParameters;

    knHiPass = std::make_unique<MetalKnob> ("knHiPass");
    knHiPass->setBounds (5, 5, knobSize, knobSize);
    knHiPass->setUpAs (MetalKnob::Kind::hiPass, defaults.hiPassFreq);
    knHiPass->setCaption ("HP", bypass);
    knHiPass->onValueChange = [this]
    {
        const auto value = (float) knHiPass->getValue();
        editParameter (ParameterIndex::hiPass, [&] (TrellaDSP& e) { e.setHiPass (value); });
        refreshPassAndLevelNotches();
    };
    bindEdits (*knHiPass, ParameterIndex::hiPass);
    addAndMakeVisible (*knHiPass);

    knLoPass = std::make_unique<MetalKnob> ("knLoPass");
    knLoPass->setBounds (435, 5, knobSize, knobSize);
    knLoPass->setUpAs (MetalKnob::Kind::loPass, defaults.loPassFreq);
    knLoPass->setCaption ("LP", bypass);
    knLoPass->onValueChange = [this]
    {
        const auto value = (float) knLoPass->getValue();
        editParameter (ParameterIndex::loPass, [&] (TrellaDSP& e) { e.setLoPass (value); });
        refreshPassAndLevelNotches();
    };
    bindEdits (*knLoPass, ParameterIndex::loPass);
    addAndMakeVisible (*knLoPass);

    knOutLevel = std::make_unique<MetalKnob> ("knOutLevel");
    knOutLevel->setBounds (605, 150, knobSize, knobSize);
    knOutLevel->setUpAs (MetalKnob::Kind::outputLevel, defaults.level);
    knOutLevel->setCaption ("OUT", bypass);
    knOutLevel->onValueChange = [this]
    {
        const auto value = (float) knOutLevel->getValue();
        editParameter (ParameterIndex::level, [&] (TrellaDSP& e) { e.setLevel (value); });
        refreshPassAndLevelNotches();
    };
    bindEdits (*knOutLevel, ParameterIndex::level);
    addAndMakeVisible (*knOutLevel);
}

void EQKnobPanel::createMeters()
{
    const auto makeMeter = [this] (juce::Rectangle<int> bounds, bool isPhase)
    {
        auto meter = std::make_unique<vuMeter>();
        if (isPhase)
            setUpPhaseMeter (*meter);
        else
            setUpLevelMeter (*meter);
        meter->backgroundColour = juce::Colour (0xff404040);
        meter->setBounds (bounds);
        addAndMakeVisible (*meter);
        return meter;
    };

    meterInL = makeMeter ({ 10, 95, 28, 140 }, false);
    meterInR = makeMeter ({ 40, 95, 28, 140 }, false);
    meterOutL = makeMeter ({ 440, 95, 28, 140 }, false);
    meterOutR = makeMeter ({ 470, 95, 28, 140 }, false);
    meterPhase = makeMeter ({ 525, 95, 60, 140 }, true);

    const auto readoutFont = juce::Font (11.0f, juce::Font::plain);
    setUpLabel (lblInL, {}, readoutFont, { 5, 75, 32, 20 });
    setUpLabel (lblInR, {}, readoutFont, { 35, 75, 32, 20 });
    setUpLabel (lblOutL, {}, readoutFont, { 435, 75, 32, 20 });
    setUpLabel (lblOutR, {}, readoutFont, { 465, 75, 32, 20 });
    setUpLabel (lblPhaseValue, {}, readoutFont, { 520, 75, 60, 20 });

    const auto captionFont = juce::Font (14.0f, juce::Font::bold);
    setUpLabel (lblInput, "INPUT", captionFont, { 10, 235, 60, 25 });
    setUpLabel (lblOutput, "OUTPUT", captionFont, { 440, 235, 60, 25 });
    setUpLabel (lblPhase, "PHASE", captionFont, { 525, 235, 60, 25 });

    for (auto* label : { &lblInL, &lblInR, &lblOutL, &lblOutR, &lblPhaseValue, &lblInput, &lblOutput, &lblPhase })
        addAndMakeVisible (*label);
}

void EQKnobPanel::createButtons()
{
    btnEqActive = std::make_unique<SquareButton> ("Active");
    btnEqActive->setBounds (610, 225, 60, 30);
    btnEqActive->onMouseUp = [this] (const juce::MouseEvent&)
    {
        const auto on = btnEqActive->isOn();
        editParameter (ParameterIndex::eqActive, [&] (TrellaDSP& e) { e.setEqActive (on); });
        sendChangeMessage();
    };

    btnFreeze = std::make_unique<SquareButton> (juce::String());
    btnFreeze->setBounds (520, 15, 32, 32);
    btnFreeze->icon = imageFrom (BinaryData::snow_png, BinaryData::snow_pngSize);
    btnFreeze->state = 0;
    btnFreeze->setTooltip ("Freeze meters");
    btnFreeze->onMouseUp = [this] (const juce::MouseEvent&)
    {
        frozen = btnFreeze->isOn();
        if (dsp != nullptr)
            dsp->makeAnalyzer().frozen = frozen;
    };

    btnFftSource = std::make_unique<SquareButton> (juce::String());
    btnFftSource->setBounds (560, 15, 32, 32);
    btnFftSource->setText ("FFT\nPOST", "FFT\nPRE");
    btnFftSource->state = 0;
    btnFftSource->setTooltip ("FFT Pre or Post EQ");
    btnFftSource->onMouseUp = [this] (const juce::MouseEvent&)
    {
        // On ("FFT PRE"): the analyser reads the signal before the equaliser.
        if (dsp != nullptr)
            dsp->analyzerPreEQ = btnFftSource->isOn();
    };

    for (auto* button : { btnEqActive.get(), btnFreeze.get(), btnFftSource.get() })
        addAndMakeVisible (*button);
}

void EQKnobPanel::createPreampSelector()
{
    IRselector = std::make_unique<juce::ComboBox> ("IRselector");
    IRselector->setLookAndFeel (&comboLookAndFeel);
    IRselector->setEditableText (false);

    for (size_t i = 0; i < IR_list.size(); ++i)
        IRselector->addItem (IR_list[i].menuName, (int) i + 1);

    IRselector->setSelectedId (1, juce::dontSendNotification);
    IRselector->onChange = [this] { preampSelected(); };
    IRselector->setBounds (690, 225, 100, 30);
    addAndMakeVisible (*IRselector);

    setUpLabel (lblPreampType, "PREAMP TYPE", juce::Font (14.0f, juce::Font::bold), { 690, 195, 100, 30 });
    addAndMakeVisible (lblPreampType);
}

void EQKnobPanel::createSettingsAndHelpButtons()
{
    const auto width = getWidth();

    btnHelp = std::make_unique<SquareButton> ("HELP");
    btnHelp->setBounds (width - 130, 5, 60, 20);
    btnHelp->setType (SquareButton::pushType);
    btnHelp->onMouseUp = [this] (const juce::MouseEvent&)
    {
        if (onHelpClicked)
            onHelpClicked();
    };

    btnSettings = std::make_unique<SquareButton> ("SETTINGS");
    btnSettings->setBounds (width - 65, 5, 60, 20);
    btnSettings->setType (SquareButton::pushType);
    btnSettings->onMouseUp = [this] (const juce::MouseEvent&)
    {
        if (onSettingsClicked)
            onSettingsClicked();
    };

    addAndMakeVisible (*btnSettings);
    addAndMakeVisible (*btnHelp);
}

//==============================================================================
juce::String EQKnobPanel::captionForBandType (int type)
{
    return BandType::getName (type);
}

void EQKnobPanel::setEngine (TrellaDSP* engine)
{
    // An edit still open belongs to the previous engine, which ends it when it goes; the rest of a
    // drag in progress becomes an edit of the new engine.
    if (engine != dsp)
        for (auto* knob : allKnobs())
            knob->forgetEdit();

    dsp = engine;

    if (dsp == nullptr)
        return;

    dsp->analyzerPreEQ = btnFftSource->isOn();
    dsp->makeAnalyzer().frozen = frozen; // the panel is on screen: this is the message thread

    syncFromEngine (dsp->getParams());
}

void EQKnobPanel::syncFromEngine (const EQParameters& record)
{
    lastParameters = record;

    showValue (*knHiPass, record.hiPassFreq);
    showValue (*knLoPass, record.loPassFreq);
    showValue (*knOutLevel, record.level);
    refreshPassAndLevelNotches();

    showButtonState (*btnEqActive, record.eqActive != 0);

    for (int band = 0; band < numBands; ++band)
    {
        auto& controls = bands[(size_t) band];
        const auto& values = record.band[band];

        showValue (*controls.knGain, values.gain);
        showValue (*controls.knFrequency, values.frequency);
        showValue (*controls.knQ, values.q);
        showBandState (band, record);
    }

    showPreamp (record.preampType);
}

void EQKnobPanel::showBandState (int band, const EQParameters& record)
{
    auto& button = *bands[(size_t) band].btnOnOff;
    const auto caption = captionForBandType (record.band[band].type);

    if (button.getTextOff() != caption || button.getTextOn() != caption)
    {
        button.setText (caption);
        button.repaint();
    }

    showButtonState (button, record.band[band].active != 0);
}

void EQKnobPanel::showButtonState (SquareButton& button, bool on)
{
    if (button.isOn() == on && (button.state == 0 || button.state == 1))
        return;

    button.state = on ? 1 : 0;
    button.repaint();
}

std::array<MetalKnob*, 15> EQKnobPanel::allKnobs() const
{
    std::array<MetalKnob*, 15> knobs{ knHiPass.get(), knLoPass.get(), knOutLevel.get() };
    for (size_t band = 0; band < bands.size(); ++band)
    {
        knobs[3 + 3 * band] = bands[band].knFrequency.get();
        knobs[4 + 3 * band] = bands[band].knGain.get();
        knobs[5 + 3 * band] = bands[band].knQ.get();
    }
    return knobs;
}

void EQKnobPanel::bindEdits (MetalKnob& knob, int index)
{
    knob.onEditStarted = [this, index]
    {
        if (dsp != nullptr)
            dsp->beginChangeGesture (index);
    };
    knob.onEditEnded = [this, index]
    {
        if (dsp != nullptr)
            dsp->endChangeGesture (index);
    };
}

void EQKnobPanel::showPreamp (int preampType)
{
    // A type outside the list selects no item: the selector shows nothing.
    const auto isListed = preampType >= 0 && preampType < (int) IR_list.size();
    IRselector->setSelectedId (isListed ? preampType + 1 : 0, juce::dontSendNotification);
}

void EQKnobPanel::preampSelected()
{
    // Id 0 means no item is selected (a type outside the list was shown); it selects nothing.
    const auto id = IRselector->getSelectedId();
    if (dsp == nullptr || id < 1 || id > (int) IR_list.size())
        return;

    if (dsp->getParams().preampType != id - 1)
        editParameter (ParameterIndex::preampType, [id] (TrellaDSP& e) { e.setPreampType (id - 1); });
}

void EQKnobPanel::refreshPassAndLevelNotches()
{
    // A notch turns accent only while its stage has an effect.
    knHiPass->setCaption ("HP", knHiPass->getValue() > TrellaDSP::hiPassInertFrequency ? accent : bypass);
    knLoPass->setCaption ("LP", knLoPass->getValue() < TrellaDSP::loPassInertFrequency ? accent : bypass);
    knOutLevel->setCaption ("OUT", knOutLevel->getValue() != 0.0 ? accent : bypass);
}

//==============================================================================
void EQKnobPanel::timerCallback()
{
    if (dsp == nullptr)
        return;

    const auto current = dsp->getParams();
    if (! current.sameBytesAs (lastParameters))
        syncFromEngine (current);

    if (! frozen)
        feedMeters();
}

void EQKnobPanel::feedMeters()
{
    float inLeft = 0.0f, inRight = 0.0f, outLeft = 0.0f, outRight = 0.0f, phase = 0.0f;
    dsp->getEnv (inLeft, inRight, outLeft, outRight, phase);

    meterInL->setLevel (inLeft);
    meterInR->setLevel (inRight);
    meterOutL->setLevel (outLeft);
    meterOutR->setLevel (outRight);
    meterPhase->setLevel (phase);

    lblInL.setText (vuMeter::levelReadoutText (inLeft), juce::dontSendNotification);
    lblInR.setText (vuMeter::levelReadoutText (inRight), juce::dontSendNotification);
    lblOutL.setText (vuMeter::levelReadoutText (outLeft), juce::dontSendNotification);
    lblOutR.setText (vuMeter::levelReadoutText (outRight), juce::dontSendNotification);
    lblPhaseValue.setText (vuMeter::phaseReadoutText (phase), juce::dontSendNotification);
}

void EQKnobPanel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (backgroundColour));

    const auto width = getWidth();
    g.drawImageAt (makerLogo, width - 165, 40);
    g.drawImageAt (productLogo, width - 180, 90);
}

void EQKnobPanel::mouseUp (const juce::MouseEvent& event)
{
    const auto position = event.getPosition();
    const auto width = getWidth();
    const auto onLogos = position.x >= width - 180 && position.x < width && position.y >= 40 && position.y <= 129;

    if (onLogos && onAboutClicked)
        onAboutClicked();
}
