#include "PluginEditor.h"
#include "support/MessagePump.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQKnobPanel.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

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
