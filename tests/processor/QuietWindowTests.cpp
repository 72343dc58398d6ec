// The window on the screen repaints only what changed: nothing while nothing changes, the parts
// that show a host's change, and the spectrum only until a fading signal has come to rest.

#include "plugin/PluginEditor.h"
#include "support/DesktopAtoms.h"
#include "support/MessagePump.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQKnobPanel.h"
#include "ui/TrellaUI2.h"

#include <gtest/gtest.h>

namespace
{
    /** A window holding the plug-in's editor that records every area the screen repaints. */
    struct RecordingWindow : juce::Component
    {
        explicit RecordingWindow (KroTrellaAudioProcessor& processor)
            : editor (processor)
        {
            setSize (editor.getWidth(), editor.getHeight());
            addAndMakeVisible (editor);
            addToDesktop (juce::ComponentPeer::windowHasTitleBar);
            setVisible (true);

            // The first full paint, however late a busy machine shows the window, then the moment
            // the screen needs to settle after it.
            pumpMessagesUntil ([this] { return repainted.containsRectangle (getLocalBounds()); }, 5000);
            pumpMessages (400);
        }

        ~RecordingWindow() override { removeFromDesktop(); }

        void paintOverChildren (juce::Graphics& g) override { repainted.add (g.getClipBounds()); }

        /** The areas repainted while the host runs for a while. */
        juce::RectangleList<int> repaintsDuring (int milliseconds)
        {
            repainted.clear();
            pumpMessages (milliseconds);
            return repainted;
        }

        KroTrellaAudioProcessorEditor editor;
        juce::RectangleList<int> repainted;
    };

    class QuietWindow : public ::testing::Test
    {
    protected:
        void SetUp() override { ASSERT_TRUE (makeWindowManagerAtoms()) << "no X display (run under xvfb-run)"; }
    };

    TEST_F (QuietWindow, NothingIsRepaintedWhileNothingChanges)
    {
        KroTrellaAudioProcessor processor;
        RecordingWindow window (processor);

        EXPECT_TRUE (window.repaintsDuring (600).isEmpty());
    }

    TEST_F (QuietWindow, AHostChangeIsRepaintedWithinATick)
    {
        KroTrellaAudioProcessor processor;
        RecordingWindow window (processor);
        auto& panel = window.editor.getMainScreen().getPanel();
        const auto knob = panel.bands[1].knGain->getBounds() + panel.getPosition();

        processor.getKroParameter (7)->setValue (0.75f); // band 2 gain to +12 dB
        const auto repainted = window.repaintsDuring (100);

        EXPECT_TRUE (repainted.intersects (knob));
        EXPECT_TRUE (repainted.intersects (juce::Rectangle<int> (0, 0, 800, 300))) << "the curve";
        EXPECT_DOUBLE_EQ (panel.bands[1].knGain->getValue(), 12.0);
        EXPECT_EQ (window.editor.getMainScreen().getCurveEditor().getBandView (1).gain, 12.0f);
    }

    TEST_F (QuietWindow, AFadingSpectrumComesToRestAndThenCostsNoPaint)
    {
        KroTrellaAudioProcessor processor;
        processor.prepareToPlay (44100.0, 512);
        RecordingWindow window (processor);
        juce::AudioBuffer<float> block (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (5);

        // Loud noise, then silence keeps flowing: the spectrum decays, repainted while it moves.
        const auto play = [&] (float amplitude, int milliseconds)
        {
            juce::RectangleList<int> repainted;
            for (int elapsed = 0; elapsed < milliseconds; elapsed += 12)
            {
                for (int i = 0; i < block.getNumSamples(); ++i)
                    for (int c = 0; c < 2; ++c)
                        block.setSample (c, i, amplitude * (random.nextFloat() - 0.5f));
                processor.processBlock (block, midi);
                repainted.add (window.repaintsDuring (12));
            }
            return repainted;
        };

        ASSERT_FALSE (play (0.5f, 300).isEmpty());
        const juce::Rectangle<int> curveArea (0, 0, 800, 300);
        EXPECT_TRUE (play (0.0f, 300).intersects (curveArea)) << "the fall is shown";

        // Within a few seconds the curve lies still at the bottom, and the area is left alone.
        play (0.0f, 4000);
        EXPECT_FALSE (play (0.0f, 500).intersects (curveArea));
        EXPECT_EQ (processor.getEngine()->getAnalyzer()->getSpectrum (100), 0.0f);
    }
} // namespace
