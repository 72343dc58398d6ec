// The editor window: saved window size, free resizing, scaling of the main screen, the message
// dialog, and staying on the processor's current engine.

#include "ScreenTestSupport.h"
#include "engine/ValueLaws.h"
#include "pages/KroDialogWindow.h"
#include "pages/KroSettings.h"
#include "plugin/PluginEditor.h"
#include "support/ImageDump.h"
#include "support/MessagePump.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQKnobPanel.h"
#include "ui/TrellaUI2.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;
    using Editor = KroTrellaAudioProcessorEditor;
    using screen_test::FreshDataFolder;

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

    float screenScale (Editor& editor)
    {
        return editor.getMainScreen().getTransform().mat00;
    }

    //==============================================================================
    struct SizeCase
    {
        juce::var saved; // the saved "win_size" value; void: the row has none
        int width, height;
    };

    void PrintTo (const SizeCase& c, std::ostream* out)
    {
        *out << "win_size " << (c.saved.isVoid() ? juce::String ("missing") : c.saved.toString().quoted());
    }

    class SavedWindowSize : public testing::TestWithParam<SizeCase>
    {
    };

    TEST_P (SavedWindowSize, OpensTheWindowAtThatSize)
    {
        const auto& c = GetParam();
        FreshDataFolder dataFolder;
        screen_test::saveOptions ({ { "win_size", c.saved } });

        Processor p;
        Editor editor (p);

        EXPECT_EQ (editor.getWidth(), c.width);
        EXPECT_EQ (editor.getHeight(), c.height);
        EXPECT_FLOAT_EQ (screenScale (editor), (float) c.width / 800.0f);
        EXPECT_EQ (editor.getMainScreen().getBounds(), juce::Rectangle<int> (0, 0, 800, 580));
        // The scaled screen fills the window.
        EXPECT_EQ (editor.getMainScreen().getBoundsInParent(), editor.getLocalBounds());
    }

    INSTANTIATE_TEST_SUITE_P (Editor, SavedWindowSize,
                              testing::Values (SizeCase{ 0, 640, 464 }, SizeCase{ 1, 720, 522 },
                                               SizeCase{ 2, 800, 580 }, SizeCase{ 3, 880, 638 },
                                               SizeCase{ 4, 1040, 754 }, SizeCase{ 5, 1200, 870 },
                                               // Outside the list: the settings page keeps "Normal".
                                               SizeCase{ -1, 800, 580 }, SizeCase{ 6, 800, 580 },
                                               SizeCase{ 1000, 800, 580 },
                                               // Read through their text, missing and non-numbers are 0.
                                               SizeCase{ juce::var(), 640, 464 }, SizeCase{ "big", 640, 464 }));

    TEST (Editor, OpensAtTheNaturalSizeWithoutASettingsFile)
    {
        FreshDataFolder noSettingsFile;
        Processor p;
        Editor editor (p);
        EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 800, 580));
        EXPECT_FLOAT_EQ (screenScale (editor), 1.0f);
    }

    TEST (Editor, WindowSizeRuleClampsTheIndexAndFallsBackToTheNaturalSize)
    {
        FreshDataFolder dataFolder;
        KroSettings page (800, 580);
        const auto tree = page.settingsTree.createCopy();

        const auto sizeFor = [] (const juce::ValueTree& t, int index)
        {
            const auto size = TrellaUI2::windowSizeFor (t, index);
            return juce::String (size.x) + "x" + juce::String (size.y);
        };

        EXPECT_EQ (sizeFor (tree, -1), "640x464");
        EXPECT_EQ (sizeFor (tree, -100), "640x464");
        EXPECT_EQ (sizeFor (tree, 6), "1200x870"); // Max is 5
        EXPECT_EQ (sizeFor (tree, 1000), "1200x870");

        auto withoutList = tree.createCopy();
        withoutList.removeChild (withoutList.getChildWithProperty ("For", "win_size"), nullptr);
        EXPECT_EQ (sizeFor (withoutList, 2), "800x580");
        EXPECT_EQ (TrellaUI2::savedWindowSize (withoutList), juce::Point<int> (800, 580));

        auto badScale = tree.createCopy();
        badScale.getChildWithProperty ("For", "win_size").getChild (3).setProperty ("Value", 0, nullptr);
        badScale.getChildWithProperty ("For", "win_size").getChild (4).setProperty ("Value", -1.5, nullptr);
        EXPECT_EQ (sizeFor (badScale, 3), "800x580");
        EXPECT_EQ (sizeFor (badScale, 4), "800x580");

        EXPECT_EQ (TrellaUI2::savedWindowSize (juce::ValueTree()), juce::Point<int> (800, 580));
    }

    TEST (Editor, WindowSizeOptionResizesAndRescalesTheOpenWindow)
    {
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);

        editor.getMainScreen().SetGlobalOption ("win_size", 4);
        EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 1040, 754));
        EXPECT_FLOAT_EQ (screenScale (editor), 1.3f);

        editor.getMainScreen().SetGlobalOption ("win_size", 0);
        EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 640, 464));
        EXPECT_FLOAT_EQ (screenScale (editor), 0.8f);
    }

    //==============================================================================
    TEST (Editor, FreeResizingKeepsTheRatioWithinTheLimits)
    {
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);
        ASSERT_TRUE (editor.isResizable());
        EXPECT_EQ (editor.resizableCorner, nullptr); // the host's window frame resizes it
        auto* constrainer = editor.getConstrainer();
        ASSERT_NE (constrainer, nullptr);

        // Sizes a user might drag the window's corner to.
        const juce::Rectangle<int> requests[] = { { 0, 0, 1000, 600 }, { 0, 0, 900, 900 },   { 0, 0, 300, 200 },
                                                  { 0, 0, 5000, 700 }, { 0, 0, 3000, 3000 }, { 0, 0, 700, 1000 },
                                                  { 0, 0, 1399, 1014 } };

        for (const auto& request : requests)
        {
            constrainer->setBoundsForComponent (&editor, request, false, false, true, true);
            const auto w = editor.getWidth();
            const auto h = editor.getHeight();

            EXPECT_TRUE (w >= 639 && w <= 1400 && h >= 463 && h <= 1015) << w << "x" << h;
            EXPECT_NEAR ((double) w / (double) h, 800.0 / 580.0, 1.0 / h) << w << "x" << h;
            // The ratio holds to the pixel, so the screen fills the window to within a pixel.
            EXPECT_FLOAT_EQ (screenScale (editor), juce::jmin ((float) w / 800.0f, (float) h / 580.0f));
            EXPECT_NEAR (editor.getMainScreen().getBoundsInParent().getBottom(), h, 1);
            EXPECT_NEAR (editor.getMainScreen().getBoundsInParent().getRight(), w, 1);
        }
    }

    TEST (Editor, ASizeForcedOffTheRatioShowsTheWholeScreenCentred)
    {
        // A host or a window manager may set any size. The screen is scaled to fit and centred; the
        // four corners of the control panel and both ends of the footer's line are where that puts
        // them, and the rest of the window is black.
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);
        const juce::Colour panel (EQKnobPanel::backgroundColour), footer (TrellaUI2::footerColour);
        constexpr int panelTop = TrellaUI2::curveAreaHeight;
        constexpr int footerTop = TrellaUI2::naturalHeight - TrellaUI2::footerHeight;

        for (const auto& [width, height] : { std::pair{ 1000, 580 }, std::pair{ 800, 800 }, std::pair{ 1200, 1200 } })
        {
            editor.setBounds (0, 0, width, height);
            ASSERT_EQ (editor.getLocalBounds(), juce::Rectangle<int> (0, 0, width, height));
            const auto image = editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
            dumpImage ("editor-forced-" + juce::String (width) + "x" + juce::String (height), image);

            const float scale = juce::jmin ((float) width / 800.0f, (float) height / 580.0f);
            const float left = ((float) width - 800.0f * scale) / 2.0f, top = ((float) height - 580.0f * scale) / 2.0f;
            // A point of the screen (in its own 800 x 580 layout) in the window's image.
            const auto check = [&] (float x, float y, juce::Colour expected, const char* what)
            {
                EXPECT_TRUE (ui_test::pixelNear (image, juce::roundToInt (left + x * scale),
                                                 juce::roundToInt (top + y * scale), expected, 8))
                    << width << "x" << height << ": " << what << " at " << x << ", " << y;
            };

            for (const auto& corner : { juce::Point<float> (2.0f, panelTop + 2.0f),
                                        { 797.0f, panelTop + 2.0f },
                                        { 2.0f, footerTop - 3.0f },
                                        { 797.0f, footerTop - 3.0f } })
                check (corner.x, corner.y, panel, "panel corner");

            for (const float x : { 1.0f, 798.0f })
                check (x, (float) footerTop, footer, "footer line");

            // The bars beside or above and below the screen.
            const juce::Point<int> outside = left >= 1.0f ? juce::Point<int> ((int) left / 2, height / 2)
                                                          : juce::Point<int> (width / 2, (int) top / 2);
            if (left >= 1.0f || top >= 1.0f)
            {
                EXPECT_TRUE (ui_test::pixelNear (image, outside.x, outside.y, juce::Colours::black))
                    << width << "x" << height;
            }
        }
    }

    TEST (Editor, MessageDialogIsAHiddenUnscaledChildOfTheWindow)
    {
        FreshDataFolder dataFolder;
        screen_test::saveOptions ({ { "win_size", 5 } });
        Processor p;
        Editor editor (p);
        auto& dialog = editor.getMessageDialog();

        EXPECT_EQ (dialog.getParentComponent(), &editor);
        EXPECT_FALSE (dialog.isVisible());
        EXPECT_TRUE (dialog.getTransform().isIdentity());
        EXPECT_GT (editor.getIndexOfChildComponent (&dialog),
                   editor.getIndexOfChildComponent (&editor.getMainScreen()));

        dialog.Open (KroDialogWindow::messageForm, "Title", "Message");
        EXPECT_TRUE (dialog.isVisible());
        EXPECT_EQ (dialog.getBounds().getCentre(), editor.getLocalBounds().getCentre());
        pumpMessages (300);
    }

    TEST (Editor, VersionCheckOutcomesOpenTheDialogOfTheOpenWindowOnly)
    {
        FreshDataFolder dataFolder;
        Processor p;
        auto& checker = p.getUpdateChecker();
        {
            Editor editor (p);
            ASSERT_NE (checker.onOutcome, nullptr);
            checker.onOutcome ("Version check", "You're up to date.\nVersion: 1.0.0");

            const auto& dialog = editor.getMessageDialog();
            EXPECT_TRUE (dialog.isVisible());
            EXPECT_EQ (dialog.getTitle(), "Version check");
            EXPECT_EQ (dialog.getMessage(), "You're up to date.\nVersion: 1.0.0");
        }

        // A check that ends after the window has closed has nobody to tell.
        EXPECT_EQ (checker.onOutcome, nullptr);
    }

    //==============================================================================
    TEST (Editor, ClosingAndReopeningLeavesNoCallbackBehind)
    {
        FreshDataFolder dataFolder;
        Processor p;
        EXPECT_FALSE (p.hasOnEngineChanged());

        for (int round = 0; round < 2; ++round)
        {
            {
                Editor editor (p);
                EXPECT_TRUE (p.hasOnEngineChanged());
                EXPECT_EQ (editor.getBoundEngine(), p.getEngine());
                EXPECT_EQ (p.getEngine()->getAnalyzer()->getParentComponent(), &editor.getMainScreen());
            }
            EXPECT_FALSE (p.hasOnEngineChanged());
            EXPECT_EQ (p.getEngine()->getAnalyzer()->getParentComponent(), nullptr);

            // A rebuild after closing, here and on another thread, reaches no window.
            p.prepareToPlay (round == 0 ? 48000.0 : 44100.0, 128);
            std::thread device ([&p, round] { p.prepareToPlay (round == 0 ? 96000.0 : 88200.0, 256); });
            device.join();
            pumpMessagesUntil ([&p] { return p.dsp.getNumRetired() == 0; });
            EXPECT_EQ (p.getEngine()->getAnalyzer()->getParentComponent(), nullptr);
        }
    }

    TEST (Editor, FollowsAnEngineRebuiltOnAnotherThread)
    {
        FreshDataFolder dataFolder;
        Processor p;
        p.prepareToPlay (44100.0, 256);
        Editor editor (p);
        auto* oldEngine = p.getEngine();

        std::thread device ([&] { p.prepareToPlay (96000.0, 512); });
        device.join();

        auto* newEngine = p.getEngine();
        ASSERT_NE (newEngine, oldEngine);
        // Until the message thread has bound the window to the new engine, the old one stays alive.
        EXPECT_EQ (editor.getBoundEngine(), oldEngine);
        EXPECT_EQ (p.dsp.getNumRetired(), 1u);

        ASSERT_TRUE (
            pumpMessagesUntil ([&] { return editor.getBoundEngine() == newEngine && p.dsp.getNumRetired() == 0; }));
        auto& screen = editor.getMainScreen();
        EXPECT_EQ (screen.getCurveEditor().getEngine(), newEngine);
        EXPECT_EQ (screen.getPanel().getEngine(), newEngine);
        EXPECT_EQ (newEngine->getAnalyzer()->getParentComponent(), &screen);
        EXPECT_EQ (screen.getIndexOfChildComponent (newEngine->getAnalyzer()), 1);
    }

    TEST (Editor, ARebuildOnTheMessageThreadBindsAtOnce)
    {
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);

        p.prepareToPlay (48000.0, 64);
        EXPECT_EQ (editor.getBoundEngine(), p.getEngine());
        EXPECT_EQ (p.getEngine()->getAnalyzer()->getParentComponent(), &editor.getMainScreen());
    }

    TEST (Editor, KnobsShowTheRestoredValuesAfterARebuild)
    {
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);
        auto& panel = editor.getMainScreen().getPanel();

        // A setting made by the host: band 1 at 2 kHz, band 2 at +6 dB and Q 4.06, output level +3 dB.
        p.getKroParameter (2)->setValueNotifyingHost (ValueLaws::normalisedFromFrequency (2000.0f));
        p.getKroParameter (7)->setValueNotifyingHost (ValueLaws::normalisedFromGain (6.0f));
        p.getKroParameter (11)->setValueNotifyingHost (ValueLaws::normalisedFromQ (4.06f));
        p.getKroParameter (1)->setValueNotifyingHost (ValueLaws::normalisedFromLevel (3.0f));
        pumpMessages (60);

        const auto expectRestoredKnobs = [&] (const char* when)
        {
            EXPECT_NEAR (panel.bands[1].knGain->getValue(), 6.0, 0.05) << when;
            EXPECT_NEAR (panel.bands[1].knQ->getValue(), 4.06, 0.01) << when;
            EXPECT_NEAR (panel.knOutLevel->getValue(), 3.0, 0.05) << when;
            EXPECT_NEAR (panel.bands[0].knFrequency->getValue(), 2000.0, 1.0) << when;
        };

        // A rebuild on the device thread: the binding follows on the message thread.
        std::thread device ([&] { p.prepareToPlay (96000.0, 512); });
        device.join();
        ASSERT_TRUE (pumpMessagesUntil ([&] { return editor.getBoundEngine() == p.getEngine(); }));
        expectRestoredKnobs ("right after a binding posted from the device thread");

        // A rebuild on the message thread binds at once, inside prepareToPlay.
        p.prepareToPlay (44100.0, 128);
        ASSERT_EQ (editor.getBoundEngine(), p.getEngine());
        expectRestoredKnobs ("right after a binding inside prepareToPlay");

        pumpMessages (45); // one tick of the panel's timer changes nothing
        expectRestoredKnobs ("one tick later");
        EXPECT_TRUE (panel.getLastParameters().sameBytesAs (p.getEngine()->getParams()));
    }

    TEST (Editor, EveryOptionAndThePanelChoicesHoldAfterARebuild)
    {
        FreshDataFolder dataFolder;
        Processor p;
        Editor editor (p);
        auto& screen = editor.getMainScreen();

        for (const auto& [id, value] : std::initializer_list<std::pair<const char*, int>>{ { "show_fft", 0 },
                                                                                           { "fill_fft", 1 },
                                                                                           { "rounded", 1 },
                                                                                           { "show_peak", 1 },
                                                                                           { "peak_time", 0 },
                                                                                           { "meters_time", 3 } })
            screen_test::setOption (screen.getSettingsTree(), id, value);

        auto& panel = screen.getPanel();
        for (auto* button : { panel.btnFreeze.get(), panel.btnFftSource.get() })
            button->mouseUp (ui_test::mouseEventAt (*button, { 5.0f, 5.0f }));
        p.getEngine()->setBandSolo (2, true);

        std::thread device ([&] { p.prepareToPlay (22050.0, 1024); });
        device.join();
        ASSERT_TRUE (pumpMessagesUntil ([&] { return editor.getBoundEngine() == p.getEngine(); }));

        const auto& engine = *p.getEngine();
        const auto& analyzer = *engine.getAnalyzer();
        EXPECT_FALSE (engine.showAnalyzer);
        EXPECT_TRUE (analyzer.fillSpectrum && analyzer.roundedSpectrum && analyzer.showPeak);
        EXPECT_EQ (analyzer.peakHoldFrames, 25);
        EXPECT_EQ (engine.getMeterReleaseTime(), 2000.0f);
        EXPECT_EQ (engine.phaseFollower.loadCoefficients().release,
                   EnvelopeFollower::coefficientFor (2000.0f, 22050.0f));
        EXPECT_TRUE (analyzer.frozen);
        EXPECT_TRUE (engine.analyzerPreEQ);
        EXPECT_EQ (engine.getSoloBand(), 2);
        EXPECT_TRUE (panel.isFrozen());
    }
    //==============================================================================
    TEST (Editor, OpeningTheWindowOnValuesBetweenTheKnobStepsChangesNothing)
    {
        // A session saved with band 2 at +3.14159 dB and band 3 at Q 0.7071 (values the knobs show
        // as 3.1 dB and 0.71).
        juce::MemoryBlock session;
        {
            Processor saved;
            saved.getKroParameter (7)->setValue (ValueLaws::normalisedFromGain (3.14159f));
            saved.getKroParameter (12)->setValue (ValueLaws::normalisedFromQ (0.7071f));
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
            EXPECT_NEAR (editor.getMainScreen().getPanel().bands[1].knGain->getValue(), 3.1, 1.0e-9);
            EXPECT_NEAR (editor.getMainScreen().getPanel().bands[2].knQ->getValue(), 0.71, 1.0e-9);
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
        EXPECT_NEAR (editor.getMainScreen().getPanel().bands[1].knGain->getValue(),
                     p.getEngine()->getParams().band[1].gain, 0.051);
    }
} // namespace
