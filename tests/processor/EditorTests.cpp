#include "PluginEditor.h"
#include "support/MessagePump.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQKnobPanel.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    /** Counts every value change the processor's parameters tell their listeners (and so a host). */
    struct ParameterNotifications : juce::AudioProcessorParameter::Listener
    {
        explicit ParameterNotifications (Processor& p)
            : processor (p)
        {
            for (auto* parameter : processor.getParameters())
                parameter->addListener (this);
        }

        ~ParameterNotifications() override
        {
            for (auto* parameter : processor.getParameters())
                parameter->removeListener (this);
        }

        void parameterValueChanged (int, float) override { ++count; }
        void parameterGestureChanged (int, bool) override { ++count; }

        Processor& processor;
        int count = 0;
    };

    std::array<float, TrellaDSP::numParameters> hostValues (const Processor& p)
    {
        std::array<float, TrellaDSP::numParameters> values{};
        for (int i = 0; i < TrellaDSP::numParameters; ++i)
            values[(size_t) i] = p.getKroParameter (i)->getValue();
        return values;
    }

    TEST (Editor, StacksGridAnalyserAndCurveEditor)
    {
        Processor p;
        KroTrellaAudioProcessorEditor editor (p);
        auto* analyzer = p.getEngine()->analyzer.get();

        ASSERT_EQ (analyzer->getParentComponent(), &editor);
        EXPECT_EQ (analyzer->getBounds(), juce::Rectangle<int> (0, 0, 800, 300));
        EXPECT_LT (editor.getIndexOfChildComponent (analyzer),
                   editor.getIndexOfChildComponent (&editor.getCurveEditor()));
        EXPECT_EQ (editor.getIndexOfChildComponent (analyzer), 1); // just above the grid
        EXPECT_EQ (editor.getIndexOfChildComponent (&editor.getPanel()), 2);
        EXPECT_EQ (editor.getPanel().getBounds(), juce::Rectangle<int> (0, 300, 800, 260));
        EXPECT_EQ (editor.getBounds().getHeight(), 560);
    }

    TEST (Editor, FollowsAnEngineRebuiltOnAnotherThread)
    {
        Processor p;
        p.prepareToPlay (44100.0, 256);
        KroTrellaAudioProcessorEditor editor (p);
        auto* oldEngine = p.getEngine();

        std::thread device ([&] { p.prepareToPlay (96000.0, 512); });
        device.join();

        auto* newEngine = p.getEngine();
        ASSERT_NE (newEngine, oldEngine);
        // Until the message thread has re-attached the window, the old engine is kept alive.
        EXPECT_EQ (editor.getBoundEngine(), oldEngine);
        EXPECT_EQ (p.dsp.getNumRetired(), 1u);

        ASSERT_TRUE (
            pumpMessagesUntil ([&] { return editor.getBoundEngine() == newEngine && p.dsp.getNumRetired() == 0; }));
        EXPECT_EQ (editor.getCurveEditor().getEngine(), newEngine);
        EXPECT_EQ (newEngine->analyzer->getParentComponent(), &editor);
        EXPECT_EQ (editor.getIndexOfChildComponent (newEngine->analyzer.get()), 1);
    }

    TEST (Editor, ClosingLeavesNoCallbackBehind)
    {
        Processor p;
        {
            KroTrellaAudioProcessorEditor editor (p);
        }
        // A rebuild after the window closed must not reach the destroyed window.
        p.prepareToPlay (48000.0, 128);
        pumpMessages (50);
        EXPECT_EQ (p.getEngine()->analyzer->getParentComponent(), nullptr);
    }

    TEST (Editor, OpeningTheWindowOnValuesBetweenTheKnobStepsChangesNothing)
    {
        // A session saved with band 2 at +3.14159 dB and band 3 at Q 0.7071 (values the knobs show
        // as 3.1 dB and 0.71).
        juce::MemoryBlock session;
        {
            Processor saved;
            saved.getKroParameter (7)->setValue (TrellaDSP::normalisedFromGain (3.14159f));
            saved.getKroParameter (12)->setValue (TrellaDSP::normalisedFromQ (0.7071f));
            saved.getStateInformation (session);
        }

        Processor p;
        p.setStateInformation (session.getData(), (int) session.getSize());
        const auto valuesBefore = hostValues (p);
        const auto recordBefore = p.getEngine()->getParams();
        ASSERT_NEAR (recordBefore.band[1].gain, 3.14159f, 1.0e-5f);
        ASSERT_NEAR (recordBefore.band[2].q, 0.7071f, 1.0e-5f);

        ParameterNotifications host (p);
        {
            KroTrellaAudioProcessorEditor editor (p);
            pumpMessages (300); // several ticks of every poller
            EXPECT_NEAR (editor.getPanel().bands[1].knGain->getValue(), 3.1, 1.0e-9);
            EXPECT_NEAR (editor.getPanel().bands[2].knQ->getValue(), 0.71, 1.0e-9);
        }
        pumpMessages (50);

        EXPECT_EQ (host.count, 0);
        EXPECT_EQ (hostValues (p), valuesBefore);
        EXPECT_TRUE (p.getEngine()->getParams().sameBytesAs (recordBefore));
    }

    TEST (Editor, HostAutomationIsNeverEchoedWhileTheWindowIsOpen)
    {
        Processor p;
        KroTrellaAudioProcessorEditor editor (p);
        ParameterNotifications host (p);
        juce::Random random (3);

        // Random values on every continuous parameter, as a host's automation plays them (through
        // setValue, which tells no listener): whatever the window shows, it sends nothing back.
        const int continuous[] = { 1, 3, 7, 11, 12, 20, 21 };
        for (int round = 0; round < 20; ++round)
        {
            for (const auto index : continuous)
                p.getKroParameter (index)->setValue (random.nextFloat());
            pumpMessages (50);
        }

        EXPECT_EQ (host.count, 0);
        EXPECT_NEAR (editor.getPanel().bands[1].knGain->getValue(), p.getEngine()->getParams().band[1].gain, 0.051);
    }

    TEST (Editor, DraggingABandWhileTheEqualiserIsOffSwitchesItOn)
    {
        Processor p;
        KroTrellaAudioProcessorEditor editor (p);
        auto& curve = editor.getCurveEditor();
        ASSERT_TRUE (curve.onBandChanged != nullptr);

        curve.onBandChanged (1, 2000.0f, 6.0f, true);
        const auto params = p.getEngine()->getParams();
        EXPECT_EQ (params.eqActive, 1);
        EXPECT_NEAR (params.band[1].frequency, 2000.0f, 0.01f);
        EXPECT_NEAR (params.band[1].gain, 6.0f, 1.0e-4f);
        EXPECT_EQ (params.band[1].active, 1);
        EXPECT_EQ (p.getKroParameter (0)->getValue(), 1.0f); // and the host hears of it

        curve.onQChanged (1, 2.5f);
        EXPECT_NEAR (p.getEngine()->getParams().band[1].q, 2.5f, 1.0e-4f);
    }
} // namespace
