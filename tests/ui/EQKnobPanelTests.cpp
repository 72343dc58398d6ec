#include "UiTestSupport.h"
#include "engine/ValueLaws.h"

#include "engine/TrellaDSP.h"
#include "processor/PluginProcessor.h"
#include "support/MessagePump.h"
#include "ui/EQKnobPanel.h"

#include <climits>
#include <memory>

using ui_test::mouseEventAt;
using ui_test::pixelNear;
using ui_test::snapshotOf;

namespace
{
    const juce::Colour accent{ EQKnobPanel::accentColour };
    const juce::Colour grey{ EQKnobPanel::bypassColour };
    const juce::Colour panelBackground{ EQKnobPanel::backgroundColour };
    const juce::Colour meterBackground{ 0xff404040 };
    const juce::Colour buttonOff{ 0xff404244 };
    const juce::Colour buttonOn{ 0xfffffafa };
    const juce::Colour meterGreen = juce::Colours::green.withBrightness (0.7f);
    const juce::Colour meterYellow = juce::Colours::yellow.withBrightness (0.8f);

    /** A panel on its own engine, with a tick that runs the panel's timer callback once. */
    struct PanelOnEngine
    {
        TrellaDSP engine{ 44100.0, 256 };
        EQKnobPanel panel{ 800, 260, &engine };

        void tick() { panel.timerCallback(); }
    };

    /** The area of a knob where its disc, caption and pointer are drawn: the knob without its readout. */
    juce::Rectangle<int> discAreaOf (const juce::Component& knob)
    {
        return knob.getBounds().withTrimmedBottom (20);
    }

    bool showsColour (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour)
    {
        return ! ui_test::boundsOfColour (image, area, colour, 8).isEmpty();
    }

    /** Passes when the knob's caption and pointer are drawn in `expected` and nowhere in `other`. */
    testing::AssertionResult notchIs (const juce::Image& image, const juce::Component& knob, juce::Colour expected,
                                      juce::Colour other)
    {
        const auto area = discAreaOf (knob);
        if (! showsColour (image, area, expected))
            return testing::AssertionFailure() << knob.getName() << " shows no " << ui_test::toHex (expected);
        if (showsColour (image, area, other))
            return testing::AssertionFailure() << knob.getName() << " also shows " << ui_test::toHex (other);
        return testing::AssertionSuccess();
    }

    /** The centre of segment `index` (0 at the bottom) of a 20-segment meter, in panel coordinates. */
    juce::Point<int> segmentCentre (const juce::Component& meter, int index)
    {
        const auto segmentHeight = meter.getHeight() / 20.0;
        return { meter.getBounds().getCentreX(),
                 (int) (meter.getBottom() - segmentHeight * index - segmentHeight / 2.0) };
    }

    juce::Colour segmentColour (const juce::Image& image, const juce::Component& meter, int index)
    {
        const auto centre = segmentCentre (meter, index);
        return image.getPixelAt (centre.x, centre.y);
    }

    /** Passes when the pixels inside the area (away from rounded corners) are the same in both. */
    testing::AssertionResult sameInterior (const juce::Image& panelImage, juce::Rectangle<int> area,
                                           const juce::Image& reference)
    {
        for (auto y = 3; y < area.getHeight() - 3; ++y)
            for (auto x = 3; x < area.getWidth() - 3; ++x)
                if (panelImage.getPixelAt (area.getX() + x, area.getY() + y) != reference.getPixelAt (x, y))
                    return testing::AssertionFailure()
                           << "differs at (" << x << ", " << y << ") of " << area.toString();
        return testing::AssertionSuccess();
    }

    /** How a lone button with this caption and state looks. */
    juce::Image referenceButton (juce::Rectangle<int> size, const juce::String& caption, int state)
    {
        SquareButton button (caption);
        button.state = state;
        button.setBounds (size.withZeroOrigin());
        return snapshotOf (button);
    }

    /** Runs a constant level through the engine for a while, so that its meters settle. */
    void runConstant (TrellaDSP& engine, float left, float right, double seconds = 0.3)
    {
        juce::AudioBuffer<float> block (2, 256);
        for (auto done = 0; done < (int) (seconds * engine.getSampleRate()); done += block.getNumSamples())
        {
            juce::FloatVectorOperations::fill (block.getWritePointer (0), left, block.getNumSamples());
            juce::FloatVectorOperations::fill (block.getWritePointer (1), right, block.getNumSamples());
            engine.Process (block);
        }
    }

    juce::Label* readoutOf (MetalKnob& knob)
    {
        for (auto* child : knob.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
                return label;
        return nullptr;
    }

    /** Types into a knob's readout and presses return, as a user does after clicking the readout. */
    void typeInto (MetalKnob& knob, const juce::String& text)
    {
        auto* readout = readoutOf (knob);
        ASSERT_NE (readout, nullptr);
        readout->showEditor();
        auto* editor = readout->getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);
        editor->setText (text, true);
        juce::Component& editorComponent = *editor;
        editorComponent.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pumpMessagesUntil ([readout] { return readout->getCurrentTextEditor() == nullptr; }, 500);
    }

    void click (SquareButton& button)
    {
        button.mouseUp (mouseEventAt (button, { 5.0f, 5.0f }, {}));
    }

    struct ChangeCounter : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
        int count = 0;
    };

    /** Counts what the processor tells the host. */
    struct HostNotifications : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { ++count; }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        int count = 0;
    };
} // namespace

//==============================================================================
struct ChildBounds
{
    const char* what;
    juce::Component* child;
    juce::Rectangle<int> bounds;
    const char* name; // component name, where the panel gives one
};

TEST (EQKnobPanel, ChildrenSitAtTheirLayoutBounds)
{
    PanelOnEngine p;
    auto& panel = p.panel;

    std::vector<ChildBounds> table = {
        { "knHiPass", panel.knHiPass.get(), { 5, 5, 70, 70 }, "knHiPass" },
        { "knLoPass", panel.knLoPass.get(), { 435, 5, 70, 70 }, "knLoPass" },
        { "knOutLevel", panel.knOutLevel.get(), { 605, 150, 70, 70 }, "knOutLevel" },
        { "lblInL", &panel.lblInL, { 5, 75, 32, 20 }, nullptr },
        { "lblInR", &panel.lblInR, { 35, 75, 32, 20 }, nullptr },
        { "meterInL", panel.meterInL.get(), { 10, 95, 28, 140 }, nullptr },
        { "meterInR", panel.meterInR.get(), { 40, 95, 28, 140 }, nullptr },
        { "lblInput", &panel.lblInput, { 10, 235, 60, 25 }, nullptr },
        { "lblOutL", &panel.lblOutL, { 435, 75, 32, 20 }, nullptr },
        { "lblOutR", &panel.lblOutR, { 465, 75, 32, 20 }, nullptr },
        { "meterOutL", panel.meterOutL.get(), { 440, 95, 28, 140 }, nullptr },
        { "meterOutR", panel.meterOutR.get(), { 470, 95, 28, 140 }, nullptr },
        { "lblOutput", &panel.lblOutput, { 440, 235, 60, 25 }, nullptr },
        { "btnFreeze", panel.btnFreeze.get(), { 520, 15, 32, 32 }, "" },
        { "btnFftSource", panel.btnFftSource.get(), { 560, 15, 32, 32 }, "" },
        { "lblPhaseValue", &panel.lblPhaseValue, { 520, 75, 60, 20 }, nullptr },
        { "meterPhase", panel.meterPhase.get(), { 525, 95, 60, 140 }, nullptr },
        { "lblPhase", &panel.lblPhase, { 525, 235, 60, 25 }, nullptr },
        { "btnEqActive", panel.btnEqActive.get(), { 610, 225, 60, 30 }, "Active" },
        { "lblPreampType", &panel.lblPreampType, { 690, 195, 100, 30 }, nullptr },
        { "IRselector", panel.IRselector.get(), { 690, 225, 100, 30 }, "IRselector" },
        { "btnHelp", panel.btnHelp.get(), { 670, 5, 60, 20 }, "HELP" },
        { "btnSettings", panel.btnSettings.get(), { 735, 5, 60, 20 }, "SETTINGS" },
    };

    static const char* const bandNames[4][3] = { { "knFrequency_b1", "knGain_b1", "knQ_b1" },
                                                 { "knFrequency_b2", "knGain_b2", "knQ_b2" },
                                                 { "knFrequency_b3", "knGain_b3", "knQ_b3" },
                                                 { "knFrequency_b4", "knGain_b4", "knQ_b4" } };
    for (int band = 0; band < 4; ++band)
    {
        auto& controls = panel.bands[(size_t) band];
        const auto x = 95 + 85 * band;
        table.push_back ({ bandNames[band][0], controls.knFrequency.get(), { x, 5, 70, 70 }, bandNames[band][0] });
        table.push_back ({ bandNames[band][1], controls.knGain.get(), { x, 75, 70, 70 }, bandNames[band][1] });
        table.push_back ({ bandNames[band][2], controls.knQ.get(), { x, 150, 70, 70 }, bandNames[band][2] });
        table.push_back ({ "btnOnOff", controls.btnOnOff.get(), { x, 225, 70, 30 }, "" });
    }

    EXPECT_EQ (panel.getBounds(), juce::Rectangle<int> (0, 0, 800, 260));
    for (const auto& row : table)
    {
        SCOPED_TRACE (row.what);
        ASSERT_NE (row.child, nullptr);
        EXPECT_EQ (row.child->getParentComponent(), &panel);
        EXPECT_TRUE (row.child->isVisible());
        EXPECT_EQ (row.child->getBounds(), row.bounds);
        if (row.name != nullptr)
        {
            EXPECT_EQ (row.child->getName(), row.name);
        }
    }

    const std::pair<juce::Label*, const char*> captions[] = { { &panel.lblInput, "INPUT" },
                                                              { &panel.lblOutput, "OUTPUT" },
                                                              { &panel.lblPhase, "PHASE" },
                                                              { &panel.lblPreampType, "PREAMP TYPE" } };
    for (const auto& [label, text] : captions)
    {
        EXPECT_EQ (label->getText(), text);
        EXPECT_TRUE (label->getFont().isBold());
        EXPECT_EQ (label->getFont().getHeight(), 14.0f);
        EXPECT_EQ (label->findColour (juce::Label::textColourId), accent);
    }

    // Knobs carry the kinds of their rows (range and double-click default).
    EXPECT_EQ (panel.bands[0].knFrequency->getDoubleClickReturnValue(), 120.0);
    EXPECT_EQ (panel.bands[3].knFrequency->getDoubleClickReturnValue(), 8500.0);
    EXPECT_EQ (panel.bands[2].knGain->getInterval(), 0.1);
    EXPECT_EQ (panel.bands[1].knQ->getDoubleClickReturnValue(), 1.0);
    EXPECT_EQ (panel.knLoPass->getDoubleClickReturnValue(), 20000.0);
    EXPECT_EQ (panel.knOutLevel->getMaximum(), 12.0);

    EXPECT_EQ (panel.btnFreeze->getTooltip(), "Freeze meters");
    EXPECT_EQ (panel.btnFftSource->getTooltip(), "FFT Pre or Post EQ");
    EXPECT_EQ (panel.btnSettings->getType(), SquareButton::pushType);
    EXPECT_EQ (panel.btnHelp->getType(), SquareButton::pushType);
    EXPECT_EQ (panel.IRselector->getNumItems(), 8);
    EXPECT_EQ (panel.IRselector->getItemText (7), "TLA50");
}

TEST (EQKnobPanel, FreshPanelShowsTheDefaultSetting)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    const auto image = snapshotOf (panel);
    ui_test::savePng (image, "EQKnobPanel-fresh");

    // Filters and level without effect: grey notches; every band knob: accent.
    EXPECT_TRUE (notchIs (image, *panel.knHiPass, grey, accent));
    EXPECT_TRUE (notchIs (image, *panel.knLoPass, grey, accent));
    EXPECT_TRUE (notchIs (image, *panel.knOutLevel, grey, accent));
    for (const auto& band : panel.bands)
        for (auto* knob : { band.knFrequency.get(), band.knGain.get(), band.knQ.get() })
            EXPECT_TRUE (notchIs (image, *knob, accent, grey));

    // Band buttons read their filter types and are off; so is Active.
    const char* const types[] = { "Lo-Shelf", "Peak", "Peak", "Hi-Shelf" };
    for (int band = 0; band < 4; ++band)
    {
        SCOPED_TRACE (types[band]);
        auto& button = *panel.bands[(size_t) band].btnOnOff;
        EXPECT_FALSE (button.isOn());
        EXPECT_TRUE (sameInterior (image, button.getBounds(), referenceButton (button.getBounds(), types[band], 0)));
    }
    EXPECT_FALSE (panel.btnEqActive->isOn());
    EXPECT_TRUE (sameInterior (image, panel.btnEqActive->getBounds(),
                               referenceButton (panel.btnEqActive->getBounds(), "Active", 0)));

    // The FFT button shows the off caption, on two lines.
    EXPECT_FALSE (panel.btnFftSource->isOn());
    EXPECT_EQ (ui_test::countInkRowBands (image, panel.btnFftSource->getBounds().reduced (2), buttonOff), 2);
    SquareButton fft ({});
    fft.setText ("FFT\nPOST", "FFT\nPRE");
    fft.state = 0;
    fft.setBounds (0, 0, 32, 32);
    EXPECT_TRUE (sameInterior (image, panel.btnFftSource->getBounds(), snapshotOf (fft)));

    // The freeze button is off and carries its icon.
    EXPECT_FALSE (panel.btnFreeze->isOn());
    EXPECT_TRUE (panel.btnFreeze->icon.isValid());
    EXPECT_EQ (panel.btnFreeze->icon.getBounds(), juce::Rectangle<int> (0, 0, 32, 32));

    EXPECT_EQ (panel.IRselector->getSelectedId(), 1);
    EXPECT_EQ (panel.IRselector->getText(), "Neutral");

    // Meters unlit before the first tick; background and both logos drawn.
    for (auto* meter : { panel.meterInL.get(), panel.meterOutR.get(), panel.meterPhase.get() })
        EXPECT_EQ (segmentColour (image, *meter, 0), meterBackground);
    EXPECT_TRUE (pixelNear (image, 595, 100, panelBackground));
    EXPECT_FALSE (ui_test::inkBounds (image, { 635, 40, 150, 48 }, panelBackground, 30).isEmpty());
    EXPECT_FALSE (ui_test::inkBounds (image, { 620, 90, 180, 48 }, panelBackground, 30).isEmpty());
    EXPECT_TRUE (ui_test::inkBounds (image, { 600, 30, 200, 8 }, panelBackground, 30).isEmpty())
        << "nothing between the buttons and the logos";

    // No tick has anything to change on a default engine.
    const auto reportsBefore = p.engine.getParams();
    p.tick();
    EXPECT_TRUE (p.engine.getParams().sameBytesAs (reportsBefore));
    EXPECT_TRUE (panel.getLastParameters().sameBytesAs (TrellaDSP::DefaultParameters));
}

//==============================================================================
struct NotchCase
{
    const char* what;
    int knob; // 0 high-pass, 1 low-pass, 2 level
    float value;
    bool hasEffect;
};

TEST (EQKnobPanel, PassAndLevelNotchesTurnAccentOnlyWhereTheStageActs)
{
    const NotchCase cases[] = {
        { "HP 20 Hz", 0, 20.0f, false },      { "HP 21 Hz", 0, 21.0f, true }, { "LP 20000 Hz", 1, 20000.0f, false },
        { "LP 19999 Hz", 1, 19999.0f, true }, { "OUT 0 dB", 2, 0.0f, false }, { "OUT 0.1 dB", 2, 0.1f, true },
        { "OUT -0.1 dB", 2, -0.1f, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        PanelOnEngine p;
        auto& panel = p.panel;
        MetalKnob* knobs[] = { panel.knHiPass.get(), panel.knLoPass.get(), panel.knOutLevel.get() };
        auto& knob = *knobs[c.knob];
        const auto expected = c.hasEffect ? accent : grey;
        const auto other = c.hasEffect ? grey : accent;

        // From the engine (automation, curve editor): one tick later.
        const auto setOnEngine = [&] (float value)
        {
            if (c.knob == 0)
                p.engine.setHiPass (value);
            else if (c.knob == 1)
                p.engine.setLoPass (value);
            else
                p.engine.setLevel (value);
        };
        setOnEngine (c.hasEffect ? c.value : (c.knob == 2 ? 3.0f : 1000.0f)); // move off first
        p.tick();
        setOnEngine (c.value);
        p.tick();
        EXPECT_FLOAT_EQ ((float) knob.getValue(), c.value);
        EXPECT_TRUE (notchIs (snapshotOf (panel), knob, expected, other));

        // From the user: the knob's handler sets the engine and the notch.
        knob.setValue (c.knob == 2 ? 5.0 : 500.0, juce::sendNotificationSync);
        EXPECT_TRUE (notchIs (snapshotOf (panel), knob, accent, grey));
        knob.setValue (c.value, juce::sendNotificationSync);
        EXPECT_TRUE (notchIs (snapshotOf (panel), knob, expected, other));
        const auto params = p.engine.getParams();
        const float engineValue[] = { params.hiPassFreq, params.loPassFreq, params.level };
        EXPECT_FLOAT_EQ (engineValue[c.knob], c.value);
    }
}

//==============================================================================
TEST (EQKnobPanel, KnobsShowRoundedValuesButNeverWriteThemBack)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    std::vector<int> reported;
    p.engine.onParameterChanged = [&reported] (int index, float) { reported.push_back (index); };

    // As the curve editor or a host leaves them: values between the knobs' steps.
    p.engine.setBandGain (1, 3.14159f);
    p.engine.setBandQ (2, 0.7071f);
    p.engine.setBandFrequency (0, 123.456f);
    p.engine.setLevel (-0.04f);
    reported.clear();
    const auto before = p.engine.getParams();

    for (int tick = 0; tick < 3; ++tick)
        p.tick();

    // The knobs show them rounded to their steps; frequencies are not rounded.
    EXPECT_NEAR (panel.bands[1].knGain->getValue(), 3.1, 1e-9);
    EXPECT_EQ (panel.bands[1].knGain->getTextFromValue (panel.bands[1].knGain->getValue()), "3.1 dB");
    EXPECT_NEAR (panel.bands[2].knQ->getValue(), 0.71, 1e-9);
    EXPECT_EQ ((float) panel.bands[0].knFrequency->getValue(), 123.456f);

    // The engine keeps exactly what it had, and nothing was reported.
    EXPECT_TRUE (p.engine.getParams().sameBytesAs (before));
    EXPECT_TRUE (panel.getLastParameters().sameBytesAs (before));
    EXPECT_TRUE (reported.empty());

    // The output level shows as 0.0 dB; a double-click reset still reaches the engine, which held
    // -0.04 dB, although the knob already showed the default.
    auto& level = *panel.knOutLevel;
    EXPECT_EQ (level.getTextFromValue (level.getValue()), "-0.0 dB");
    juce::Component& levelComponent = level;
    levelComponent.mouseDoubleClick (mouseEventAt (level, { 35.0f, 25.0f }, {}, 2));
    EXPECT_EQ (p.engine.getParams().level, 0.0f);
    EXPECT_EQ (reported, std::vector<int>{ 1 });
}

TEST (EQKnobPanel, SeveralChangesAtOnceAreShownAfterOneTick)
{
    PanelOnEngine p;
    auto& panel = p.panel;

    p.engine.setHiPass (80.0f);
    p.engine.setLoPass (12000.0f);
    p.engine.setLevel (-3.5f);
    p.engine.setEqActive (true);
    p.engine.setBandFrequency (3, 6000.0f);
    p.engine.setBandGain (3, -4.5f);
    p.engine.setBandQ (3, 2.5f);
    p.engine.setBandActive (3, true);
    p.engine.setBandType (3, BandType::Peak);
    p.engine.setBandActive (0, true);
    p.engine.setPreampType (5);

    p.tick();

    EXPECT_FLOAT_EQ ((float) panel.knHiPass->getValue(), 80.0f);
    EXPECT_FLOAT_EQ ((float) panel.knLoPass->getValue(), 12000.0f);
    EXPECT_FLOAT_EQ ((float) panel.knOutLevel->getValue(), -3.5f);
    EXPECT_TRUE (panel.btnEqActive->isOn());
    EXPECT_FLOAT_EQ ((float) panel.bands[3].knFrequency->getValue(), 6000.0f);
    EXPECT_FLOAT_EQ ((float) panel.bands[3].knGain->getValue(), -4.5f);
    EXPECT_FLOAT_EQ ((float) panel.bands[3].knQ->getValue(), 2.5f);
    EXPECT_TRUE (panel.bands[3].btnOnOff->isOn());
    EXPECT_EQ (panel.bands[3].btnOnOff->getTextOff(), "Peak");
    EXPECT_TRUE (panel.bands[0].btnOnOff->isOn());
    EXPECT_FALSE (panel.bands[1].btnOnOff->isOn());
    EXPECT_EQ (panel.IRselector->getText(), "MP1");
    EXPECT_TRUE (panel.getLastParameters().sameBytesAs (p.engine.getParams()));

    const auto image = snapshotOf (panel);
    ui_test::savePng (image, "EQKnobPanel-after-sync");
    for (auto* knob : { panel.knHiPass.get(), panel.knLoPass.get(), panel.knOutLevel.get() })
        EXPECT_TRUE (notchIs (image, *knob, accent, grey));
    EXPECT_TRUE (pixelNear (image, panel.btnEqActive->getX() + 3, panel.btnEqActive->getY() + 3, buttonOn));
    EXPECT_TRUE (sameInterior (image, panel.bands[3].btnOnOff->getBounds(),
                               referenceButton (panel.bands[3].btnOnOff->getBounds(), "Peak", 1)));
}

TEST (EQKnobPanel, BandTypesOutsideTheListGiveAnEmptyCaption)
{
    PanelOnEngine p;
    auto record = TrellaDSP::DefaultParameters;
    record.band[0].type = BandType::HighPass;
    record.band[1].type = BandType::BandPass;
    record.band[2].type = 6;
    record.band[3].type = -1;
    p.panel.syncFromEngine (record);

    EXPECT_EQ (p.panel.bands[0].btnOnOff->getTextOff(), "Hi-Pass");
    EXPECT_EQ (p.panel.bands[1].btnOnOff->getTextOn(), "BandPass");
    EXPECT_EQ (p.panel.bands[2].btnOnOff->getTextOff(), "");
    EXPECT_EQ (p.panel.bands[3].btnOnOff->getTextOn(), "");
}

//==============================================================================
TEST (EQKnobPanel, HostAutomationReachesTheKnobsWithinOneTickAndIsNotEchoed)
{
    KroTrellaAudioProcessor processor;
    EQKnobPanel panel (800, 260, processor.getEngine());
    HostNotifications host;
    processor.addListener (&host);

    // Band 2 gain (parameter 7) to 6 dB: the knob follows at the next tick, and the host hears
    // nothing back because the knob shows the value as it is.
    processor.getKroParameter (7)->setValueNotifyingHost (ValueLaws::normalisedFromGain (6.0f));
    host.count = 0;
    panel.timerCallback();
    EXPECT_DOUBLE_EQ (panel.bands[1].knGain->getValue(), 6.0);
    EXPECT_EQ (host.count, 0);

    // Hi-pass (parameter 21) and band 4 on (parameter 19) in the same tick.
    processor.getKroParameter (21)->setValueNotifyingHost (ValueLaws::normalisedFromFrequency (250.0f));
    processor.getKroParameter (19)->setValueNotifyingHost (1.0f);
    panel.timerCallback();
    EXPECT_NEAR (panel.knHiPass->getValue(), 250.0, 0.01);
    EXPECT_TRUE (panel.bands[3].btnOnOff->isOn());
    EXPECT_TRUE (notchIs (snapshotOf (panel), *panel.knHiPass, accent, grey));

    processor.removeListener (&host);
}

TEST (EQKnobPanel, HostAutomationBetweenTheKnobStepsIsNeverEchoed)
{
    KroTrellaAudioProcessor processor;
    EQKnobPanel panel (800, 260, processor.getEngine());
    HostNotifications host;
    processor.addListener (&host);
    auto& gainParameter = *processor.getKroParameter (7);
    juce::Random random (11);

    // Twenty values of band 2's gain that lie between the knob's 0.1 dB steps, as a host's
    // automation sends them: each is shown within one tick, and none comes back to the host.
    for (int i = 0; i < 20; ++i)
    {
        const auto normalised = 0.05f + 0.9f * random.nextFloat();
        gainParameter.setValue (normalised);
        panel.timerCallback();
        panel.timerCallback();

        SCOPED_TRACE (normalised);
        EXPECT_NEAR (panel.bands[1].knGain->getValue(), ValueLaws::gainFromNormalised (normalised), 0.051);
        EXPECT_EQ (gainParameter.getValue(), normalised);
        EXPECT_EQ (processor.getEngine()->getParams().band[1].gain, ValueLaws::gainFromNormalised (normalised));
    }

    pumpMessages (100); // nothing is pending either
    EXPECT_EQ (host.count, 0);
    processor.removeListener (&host);
}

//==============================================================================
TEST (EQKnobPanel, KnobGesturesReachTheEngine)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    const juce::Point<float> onTheDisc{ 35.0f, 25.0f };

    // Drag up on band 1's frequency knob.
    {
        auto& knob = *panel.bands[0].knFrequency;
        juce::Component& component = knob;
        component.mouseDown (mouseEventAt (knob, onTheDisc));
        component.mouseDrag (mouseEventAt (knob, onTheDisc.translated (0.0f, -40.0f)));
        component.mouseUp (mouseEventAt (knob, onTheDisc.translated (0.0f, -40.0f), {}));
        EXPECT_GT (knob.getValue(), 120.0);
        EXPECT_EQ (p.engine.getParams().band[0].frequency, (float) knob.getValue());
    }

    // Wheel up on band 3's gain knob.
    {
        auto& knob = *panel.bands[2].knGain;
        juce::Component& component = knob;
        juce::MouseWheelDetails wheel{};
        wheel.deltaY = 0.2f;
        component.mouseWheelMove (mouseEventAt (knob, onTheDisc, {}), wheel);
        EXPECT_GT (knob.getValue(), 0.0);
        EXPECT_EQ (p.engine.getParams().band[2].gain, (float) knob.getValue());
    }

    // Double-click resets band 2's Q, Alt-click resets the low-pass.
    {
        auto& q = *panel.bands[1].knQ;
        q.setValue (4.0, juce::sendNotificationSync);
        EXPECT_EQ (p.engine.getParams().band[1].q, 4.0f);
        juce::Component& component = q;
        component.mouseDoubleClick (mouseEventAt (q, onTheDisc, {}, 2));
        EXPECT_EQ (p.engine.getParams().band[1].q, 1.0f);

        auto& loPass = *panel.knLoPass;
        loPass.setValue (3000.0, juce::sendNotificationSync);
        EXPECT_EQ (p.engine.getParams().loPassFreq, 3000.0f);
        juce::Component& loPassComponent = loPass;
        const auto altClick = juce::ModifierKeys::altModifier | juce::ModifierKeys::leftButtonModifier;
        loPassComponent.mouseDown (mouseEventAt (loPass, onTheDisc, altClick));
        loPassComponent.mouseUp (mouseEventAt (loPass, onTheDisc, juce::ModifierKeys::altModifier));
        EXPECT_EQ (p.engine.getParams().loPassFreq, 20000.0f);
        EXPECT_TRUE (notchIs (snapshotOf (panel), loPass, grey, accent));
    }
}

struct TypedCase
{
    const char* typed;
    int knob; // 0 band 4 gain, 1 band 2 frequency, 2 output level
    float expected;
};

TEST (EQKnobPanel, TypedValuesReachTheEngineWithOrWithoutTheUnit)
{
    const TypedCase cases[] = {
        { "3.5 dB", 0, 3.5f }, { "-2", 0, -2.0f },      { "2500 Hz", 1, 2500.0f },
        { "880", 1, 880.0f },  { "-1.5 dB", 2, -1.5f }, { "40", 2, 12.0f },
    };

    PanelOnEngine p;
    auto& panel = p.panel;
    MetalKnob* knobs[] = { panel.bands[3].knGain.get(), panel.bands[1].knFrequency.get(), panel.knOutLevel.get() };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.typed);
        typeInto (*knobs[c.knob], c.typed);
        const auto params = p.engine.getParams();
        const float engineValue[] = { params.band[3].gain, params.band[1].frequency, params.level };
        EXPECT_FLOAT_EQ (engineValue[c.knob], c.expected);
    }
}

//==============================================================================
TEST (EQKnobPanel, ButtonsSwitchTheEngineAndReport)
{
    PanelOnEngine p;
    auto& panel = p.panel;

    // A band the engine has on: the click turns the button off, then the band.
    p.engine.setBandActive (2, true);
    p.tick();
    auto& bandButton = *panel.bands[2].btnOnOff;
    EXPECT_TRUE (pixelNear (snapshotOf (panel), bandButton.getX() + 3, bandButton.getY() + 3, buttonOn));
    click (bandButton);
    EXPECT_FALSE (bandButton.isOn());
    EXPECT_EQ (p.engine.getParams().band[2].active, 0);
    EXPECT_TRUE (pixelNear (snapshotOf (panel), bandButton.getX() + 3, bandButton.getY() + 3, buttonOff));
    click (bandButton);
    EXPECT_EQ (p.engine.getParams().band[2].active, 1);

    // Active switches the equaliser and sends a change message.
    ChangeCounter listener;
    panel.addChangeListener (&listener);
    click (*panel.btnEqActive);
    EXPECT_EQ (p.engine.getParams().eqActive, 1);
    EXPECT_TRUE (pumpMessagesUntil ([&] { return listener.count == 1; }, 500));
    click (*panel.btnEqActive);
    EXPECT_EQ (p.engine.getParams().eqActive, 0);
    panel.removeChangeListener (&listener);

    // FFT PRE/POST writes the analyser's source and flips its caption.
    click (*panel.btnFftSource);
    EXPECT_TRUE (p.engine.analyzerPreEQ.load());
    EXPECT_EQ (panel.btnFftSource->getTextOn(), "FFT\nPRE");
    click (*panel.btnFftSource);
    EXPECT_FALSE (p.engine.analyzerPreEQ.load());

    // SETTINGS and HELP run their callbacks, and do nothing while none is set.
    click (*panel.btnSettings);
    click (*panel.btnHelp);
    int settings = 0, help = 0;
    panel.onSettingsClicked = [&settings] { ++settings; };
    panel.onHelpClicked = [&help] { ++help; };
    click (*panel.btnSettings);
    click (*panel.btnHelp);
    click (*panel.btnHelp);
    EXPECT_EQ (settings, 1);
    EXPECT_EQ (help, 2);
    EXPECT_TRUE (panel.btnSettings->isOn()) << "push buttons keep their look";
}

TEST (EQKnobPanel, AboutRunsOnlyForReleasesOnTheLogoArea)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    panel.mouseUp (mouseEventAt (panel, { 700.0f, 100.0f }, {})); // no callback set: nothing happens

    int about = 0;
    panel.onAboutClicked = [&about] { ++about; };

    const std::pair<juce::Point<float>, bool> releases[] = {
        { { 700.0f, 129.0f }, true },  { { 700.0f, 130.0f }, false }, { { 619.0f, 100.0f }, false },
        { { 620.0f, 40.0f }, true },   { { 799.0f, 129.0f }, true },  { { 700.0f, 39.0f }, false },
        { { 400.0f, 100.0f }, false },
    };

    for (const auto& [position, runs] : releases)
    {
        SCOPED_TRACE (position.toString());
        about = 0;
        panel.mouseUp (mouseEventAt (panel, position, {}));
        EXPECT_EQ (about, runs ? 1 : 0);
    }
}

//==============================================================================
TEST (EQKnobPanel, PreampSelectorSetsTheEngineAndIgnoresTypesOutsideTheList)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    std::vector<int> reported;
    p.engine.onParameterChanged = [&reported] (int index, float) { reported.push_back (index); };

    // A choice from the menu arrives asynchronously, as the framework sends it.
    panel.IRselector->setSelectedId (4, juce::sendNotificationAsync);
    EXPECT_TRUE (pumpMessagesUntil ([&] { return p.engine.getParams().preampType == 3; }, 500));
    EXPECT_EQ (reported, std::vector<int>{ 22 });
    p.tick();
    EXPECT_EQ (panel.IRselector->getText(), "D1960");

    // A record with a type outside the list shows no item, and the selector then sends nothing:
    // the engine keeps its preamp.
    for (const auto outside : { 8, -1, INT_MAX, INT_MIN })
    {
        SCOPED_TRACE (outside);
        reported.clear();
        auto record = p.engine.getParams();
        record.preampType = outside;
        panel.syncFromEngine (record);
        EXPECT_EQ (panel.IRselector->getSelectedId(), 0);
        EXPECT_EQ (panel.IRselector->getText(), "");

        panel.IRselector->onChange(); // as if the framework reported the empty selection
        pumpMessages (20);
        EXPECT_EQ (p.engine.getParams().preampType, 3);
        EXPECT_TRUE (reported.empty());

        // The next tick brings the real choice back.
        p.tick();
        EXPECT_EQ (panel.IRselector->getText(), "D1960");
    }
}

//==============================================================================
TEST (EQKnobPanel, MeterFeedShowsLevelsAndPhase)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    p.engine.setEqActive (true);

    // Equal channels at half scale: -6.0 dBFS everywhere, in phase.
    runConstant (p.engine, 0.5f, 0.5f);
    p.tick();
    for (auto* readout : { &panel.lblInL, &panel.lblInR, &panel.lblOutL, &panel.lblOutR })
        EXPECT_EQ (readout->getText(), "-6.0");
    EXPECT_EQ (panel.lblPhaseValue.getText(), "0 deg");

    auto image = snapshotOf (panel);
    ui_test::savePng (image, "EQKnobPanel-meters-half-scale");
    for (auto* meter : { panel.meterInL.get(), panel.meterInR.get(), panel.meterOutL.get(), panel.meterOutR.get() })
    {
        EXPECT_EQ (segmentColour (image, *meter, 0), meterGreen);
        EXPECT_EQ (segmentColour (image, *meter, 15), meterYellow);
        EXPECT_EQ (segmentColour (image, *meter, 19), meterBackground);
    }
    EXPECT_EQ (segmentColour (image, *panel.meterPhase, 0), meterBackground);

    // Opposite channels: the phase meter full at 180 degrees.
    runConstant (p.engine, 0.5f, -0.5f);
    p.tick();
    EXPECT_EQ (panel.lblInR.getText(), "-6.0");
    // The phase follower approaches 1 from below and the readout truncates, so it may stop at 179.
    const auto phaseText = panel.lblPhaseValue.getText();
    EXPECT_TRUE (phaseText == "180 deg" || phaseText == "179 deg") << phaseText;
    image = snapshotOf (panel);
    ui_test::savePng (image, "EQKnobPanel-meters-opposite");
    EXPECT_EQ (segmentColour (image, *panel.meterPhase, 0), meterYellow);
    EXPECT_EQ (segmentColour (image, *panel.meterPhase, 19), meterYellow);

    // The right channel silent for long: its readout at the floor, its meter dark.
    runConstant (p.engine, 0.5f, 0.0f, 8.0);
    p.tick();
    EXPECT_EQ (panel.lblInL.getText(), "-6.0");
    EXPECT_EQ (panel.lblInR.getText(), "-100.0");
    EXPECT_EQ (segmentColour (snapshotOf (panel), *panel.meterInR, 0), meterBackground);
}

TEST (EQKnobPanel, FreezeHoldsMetersAndReadoutsUntilSwitchedOff)
{
    PanelOnEngine p;
    auto& panel = p.panel;
    runConstant (p.engine, 0.25f, 0.25f);
    p.tick();
    ASSERT_EQ (panel.lblInL.getText(), "-12.0");

    click (*panel.btnFreeze);
    EXPECT_TRUE (panel.isFrozen());
    EXPECT_TRUE (p.engine.getAnalyzer()->frozen);
    const auto meters = panel.meterInL->getBounds().getUnion (panel.meterPhase->getBounds());
    const auto before = snapshotOf (panel).getClippedImage (meters);

    runConstant (p.engine, 0.5f, 0.5f);
    p.tick();
    p.tick();
    EXPECT_EQ (panel.lblInL.getText(), "-12.0");
    EXPECT_TRUE (ui_test::sameImage (snapshotOf (panel).getClippedImage (meters), before));

    // Knobs keep following the engine while frozen.
    p.engine.setBandGain (0, 5.0f);
    p.tick();
    EXPECT_DOUBLE_EQ (panel.bands[0].knGain->getValue(), 5.0);

    click (*panel.btnFreeze);
    EXPECT_FALSE (panel.isFrozen());
    EXPECT_FALSE (p.engine.getAnalyzer()->frozen);
    p.tick();
    EXPECT_EQ (panel.lblInL.getText(), "-6.0");
    EXPECT_FALSE (ui_test::sameImage (snapshotOf (panel).getClippedImage (meters), before));
}

//==============================================================================
TEST (EQKnobPanel, SetEngineRepointsThePanelAndANullEngineIsSafe)
{
    auto first = std::make_unique<TrellaDSP> (44100.0, 256);
    EQKnobPanel panel (800, 260, first.get());
    first->setBandGain (1, 4.0f);
    // The panel's own timer picks it up.
    EXPECT_TRUE (pumpMessagesUntil ([&] { return panel.bands[1].knGain->getValue() == 4.0; }, 500));
    EXPECT_DOUBLE_EQ (panel.bands[1].knGain->getValue(), 4.0);

    // The freeze and FFT choices on screen go with the panel to the next engine.
    click (*panel.btnFftSource);
    click (*panel.btnFreeze);

    auto second = std::make_unique<TrellaDSP> (48000.0, 512);
    second->setBandGain (1, -7.0f);
    second->setHiPass (300.0f);
    panel.setEngine (second.get());
    first.reset(); // the old engine is gone while the timer keeps running

    EXPECT_EQ (panel.getEngine(), second.get());
    EXPECT_DOUBLE_EQ (panel.bands[1].knGain->getValue(), -7.0);
    EXPECT_TRUE (second->analyzerPreEQ.load());
    EXPECT_TRUE (second->getAnalyzer()->frozen);
    pumpMessages (100);

    click (*panel.btnFreeze);
    runConstant (*second, 0.5f, 0.5f);
    pumpMessagesUntil ([&] { return panel.lblInL.getText() == "-6.0"; }, 500);
    EXPECT_EQ (panel.lblInL.getText(), "-6.0");

    // No engine: the timer idles, and every control can still be used.
    panel.setEngine (nullptr);
    second.reset();
    pumpMessages (100);
    panel.knHiPass->setValue (20.0, juce::sendNotificationSync);
    EXPECT_TRUE (notchIs (snapshotOf (panel), *panel.knHiPass, grey, accent)) << "captions still follow";
    panel.bands[0].knGain->setValue (3.0, juce::sendNotificationSync);
    for (auto* button : { panel.bands[0].btnOnOff.get(), panel.btnEqActive.get(), panel.btnFreeze.get(),
                          panel.btnFftSource.get(), panel.btnSettings.get(), panel.btnHelp.get() })
        click (*button);
    panel.IRselector->setSelectedId (6, juce::sendNotificationSync);
    panel.syncFromEngine (TrellaDSP::DefaultParameters);
    pumpMessages (60);
    EXPECT_EQ (panel.lblInL.getText(), "-6.0") << "the meters keep their last reading";

    // And back to an engine: it shows that engine's setting at once.
    TrellaDSP third (44100.0, 256);
    third.setBandGain (1, 2.0f);
    panel.setEngine (&third);
    EXPECT_DOUBLE_EQ (panel.bands[1].knGain->getValue(), 2.0);
    EXPECT_EQ (third.getAnalyzer()->frozen, panel.isFrozen());
    pumpMessages (60);
    panel.setEngine (nullptr);
}

TEST (EQKnobPanel, FollowsTheProcessorThroughAnEngineRebuild)
{
    KroTrellaAudioProcessor processor;
    EQKnobPanel panel (800, 260, processor.getEngine());
    juce::Component::SafePointer<EQKnobPanel> safePanel (&panel);

    // The owner re-points the panel on the message thread, as the processor asks.
    processor.setOnEngineChanged (
        [&processor, safePanel]
        {
            juce::MessageManager::callAsync (
                [&processor, safePanel]
                {
                    if (safePanel != nullptr)
                        safePanel->setEngine (processor.getEngine());
                });
        });

    processor.getKroParameter (8)->setValueNotifyingHost (ValueLaws::normalisedFromGain (-9.0f));
    auto* oldEngine = processor.getEngine();
    processor.prepareToPlay (48000.0, 512);
    ASSERT_NE (processor.getEngine(), oldEngine);

    EXPECT_TRUE (pumpMessagesUntil ([&] { return panel.getEngine() == processor.getEngine(); }, 1000));
    pumpMessagesUntil ([&] { return processor.dsp.getNumRetired() == 0; }, 1000);
    pumpMessages (100);
    EXPECT_NEAR (panel.bands[2].knGain->getValue(), -9.0, 1e-6);

    processor.getKroParameter (8)->setValueNotifyingHost (ValueLaws::normalisedFromGain (4.0f));
    pumpMessagesUntil ([&] { return panel.bands[2].knGain->getValue() == 4.0; }, 500);
    EXPECT_NEAR (panel.bands[2].knGain->getValue(), 4.0, 1e-6);

    processor.setOnEngineChanged (nullptr);
    panel.setEngine (nullptr);
}
