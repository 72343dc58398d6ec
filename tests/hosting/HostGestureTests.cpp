// The built plug-ins' windows, opened by a host built with JUCE's own plug-in hosting and driven
// with real pointer input: the X server's test extension moves the pointer and presses its
// buttons over the plug-in's window, exactly as a user's mouse would. A listener on the host's
// view of the parameters records what the host hears: values and begin/end change gestures.

#include "HostedPlugin.h"
#include "support/DesktopAtoms.h"
#include "support/MessagePump.h"
#include "support/PrivateXServer.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <map>

#include <vector>

namespace
{
    using hosted::blockSize;
    using hosted::Format;
    using hosted::loadPlugin;
    using hosted::sampleRate;

    /** The X connection that drives the pointer, on this process's own server. The window-manager
        atoms a bare Xvfb lacks are made first, before the framework opens its own connection.
    */
    Display* pointerDisplay()
    {
        static Display* display = []
        {
            usePrivateXServer();
            makeWindowManagerAtoms();
            return XOpenDisplay (nullptr);
        }();
        return display;
    }

    enum class What
    {
        begin,
        value,
        end
    };

    /** What the host hears from the plug-in's parameters, by parameter name. */
    struct HostEar : juce::AudioProcessorParameter::Listener
    {
        explicit HostEar (juce::AudioPluginInstance& p)
            : plugin (p)
        {
            for (auto* parameter : plugin.getParameters())
                parameter->addListener (this);
        }

        ~HostEar() override
        {
            for (auto* parameter : plugin.getParameters())
                parameter->removeListener (this);
        }

        void parameterValueChanged (int index, float) override { record (index, What::value); }
        void parameterGestureChanged (int index, bool starting) override
        {
            record (index, starting ? What::begin : What::end);
        }

        void record (int index, What what)
        {
            const juce::ScopedLock lock (guard);
            events.push_back ({ plugin.getParameters()[index]->getName (100), what });
        }

        int count (const juce::String& name, What what) const
        {
            const juce::ScopedLock lock (guard);
            return (int) std::count_if (events.begin(), events.end(),
                                        [&] (const auto& e) { return e.first == name && e.second == what; });
        }

        /** Every begin of the parameter comes before its first value, every end after its last. */
        testing::AssertionResult isOneEdit (const juce::String& name) const
        {
            const juce::ScopedLock lock (guard);
            bool open = false;
            int begins = 0, ends = 0, values = 0;

            for (const auto& [parameter, what] : events)
            {
                if (parameter != name)
                    continue;
                if (what == What::begin)
                    ++begins, open = true;
                else if (what == What::end)
                    ++ends, open = false;
                else if (! open)
                    return testing::AssertionFailure() << name << " changed outside an edit";
                else
                    ++values;
            }

            if (begins != 1 || ends != 1 || values == 0)
                return testing::AssertionFailure()
                       << name << ": " << begins << " begins, " << ends << " ends, " << values << " values";
            return testing::AssertionSuccess();
        }

        juce::AudioPluginInstance& plugin;
        juce::CriticalSection guard; // the VST3 host may hear values on the audio thread
        std::vector<std::pair<juce::String, What>> events;
    };

    /** Runs the host for a while: its message loop (which also serves the plug-in's window) and,
        every 10 ms, one block of silence through the plug-in, as a playing host would. JUCE's LV2
        host takes the values the plug-in's window writes to it at its next block.
    */
    void runHost (juce::AudioPluginInstance& plugin, int milliseconds)
    {
        juce::AudioBuffer<float> silence (juce::jmax (2, plugin.getTotalNumOutputChannels()), blockSize);
        juce::MidiBuffer midi;

        for (int elapsed = 0; elapsed < milliseconds; elapsed += 10)
        {
            silence.clear();
            plugin.processBlock (silence, midi);
            pumpMessages (10);
        }
    }

    /** Moves the real pointer and presses its buttons, through the X server's test extension. */
    struct Pointer
    {
        juce::AudioPluginInstance& plugin;
        Display* display = pointerDisplay();

        void moveTo (juce::Point<int> screen)
        {
            XTestFakeMotionEvent (display, -1, screen.x, screen.y, CurrentTime);
            XFlush (display);
            runHost (plugin, 40);
        }

        void button (unsigned int which, bool down)
        {
            XTestFakeButtonEvent (display, which, down ? True : False, CurrentTime);
            XFlush (display);
            runHost (plugin, 40);
        }

        void drag (juce::Point<int> from, juce::Point<int> to)
        {
            moveTo (from);
            button (1, true);
            for (int step = 1; step <= 5; ++step)
                moveTo (from + (to - from) * step / 5);
            button (1, false);
        }
    };

    juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const char* name)
    {
        for (auto* parameter : plugin.getParameters())
            if (parameter->getName (100) == name)
                return parameter;
        return nullptr;
    }

    /** The plug-in's window, opened by the host and shown on the screen at (0, 0). */
    struct HostedWindow
    {
        explicit HostedWindow (juce::AudioPluginInstance& p)
            : plugin (p)
            , editor (plugin.createEditorIfNeeded())
        {
            if (editor == nullptr)
                return;

            editor->setTopLeftPosition (0, 0);
            editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
            editor->setVisible (true);
            runHost (plugin, 1500); // the plug-in maps its own window inside the host's
        }

        ~HostedWindow()
        {
            // The editor takes the plug-in's window down before its own.
            if (editor != nullptr)
                plugin.editorBeingDeleted (editor.get());
            editor.reset();
            runHost (plugin, 100);
        }

        /** A point of the plug-in's window (its own layout) on the screen. */
        juce::Point<int> onScreen (int x, int y) const { return editor->getScreenPosition() + juce::Point<int> (x, y); }

        juce::AudioPluginInstance& plugin;
        std::unique_ptr<juce::AudioProcessorEditor> editor;
    };

    class HostedWindowEdits : public ::testing::TestWithParam<Format>
    {
    };

    TEST_P (HostedWindowEdits, AKnobDragAndADotDragAreEditsTheHostCanRecord)
    {
        ASSERT_NE (pointerDisplay(), nullptr) << "no X display (run under xvfb-run)";
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        ASSERT_TRUE (XTestQueryExtension (pointerDisplay(), &eventBase, &errorBase, &major, &minor));

        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);
        HostedWindow window (*plugin);
        ASSERT_NE (window.editor, nullptr);
        ASSERT_EQ (window.editor->getWidth(), 800);

        HostEar host (*plugin);
        Pointer pointer{ *plugin };
        const auto gainBefore = findParameter (*plugin, "Band 2 Gain")->getValue();
        const auto frequencyBefore = findParameter (*plugin, "Band 3 Freq")->getValue();

        // Band 2's gain knob: the panel lies below the 300-pixel curve area; the knob's disc is
        // centred at (215, 100) in the panel.
        pointer.drag (window.onScreen (215, 400), window.onScreen (215, 360));
        runHost (*plugin, 300);

        // Band 3's dot: 4200 Hz at 0 dB, x = 800 log2 (4200 / 20) / 10 = 617, y = 150; the equaliser
        // is off, so the drag switches it on.
        pointer.drag (window.onScreen (617, 150), window.onScreen (560, 110));
        runHost (*plugin, 300);

        // What the host's view of the values says: both edits arrived.
        EXPECT_GT (findParameter (*plugin, "Band 2 Gain")->getValue(), gainBefore + 0.01f);
        EXPECT_LT (findParameter (*plugin, "Band 3 Freq")->getValue(), frequencyBefore - 0.001f);
        EXPECT_EQ (findParameter (*plugin, "Active")->getValue(), 1.0f);

        // One begin and one end per edited parameter, with every value the host heard in between.
        EXPECT_TRUE (host.isOneEdit ("Band 2 Gain"));
        for (const auto* name : { "Band 3 Freq", "Band 3 Gain", "Band 3 Active", "Active" })
            EXPECT_TRUE (host.isOneEdit (name));
    }

    TEST_P (HostedWindowEdits, AnABSwitchAndAnUndoAreEditsAndAutomationStaysOutOfTheHistory)
    {
        ASSERT_NE (pointerDisplay(), nullptr) << "no X display (run under xvfb-run)";
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);
        HostedWindow window (*plugin);
        ASSERT_NE (window.editor, nullptr);

        HostEar host (*plugin);
        Pointer pointer{ *plugin };
        const char* const dragged[] = { "Band 3 Freq", "Band 3 Gain", "Band 3 Active", "Active" };
        std::map<juce::String, float> before;
        for (const auto* name : dragged)
            before[name] = findParameter (*plugin, name)->getValue();

        // The dot drag of band 3 (see above), on A.
        pointer.drag (window.onScreen (617, 150), window.onScreen (560, 110));
        runHost (*plugin, 300);
        std::map<juce::String, float> after;
        for (const auto* name : dragged)
            after[name] = findParameter (*plugin, name)->getValue();

        // The footer: B at x 623, Undo at x 736, both at y 570.
        const auto click = [&] (int x)
        {
            pointer.moveTo (window.onScreen (x, 570));
            pointer.button (1, true);
            pointer.button (1, false);
            runHost (*plugin, 300);
        };

        // B still holds the initial setting: the switch is an edit of each dragged parameter.
        host.events.clear();
        click (623);
        for (const auto* name : dragged)
        {
            EXPECT_TRUE (host.isOneEdit (name)) << "A to B";
            EXPECT_EQ (findParameter (*plugin, name)->getValue(), before[name]) << name;
        }

        // Undo takes the switch back, as an edit again.
        host.events.clear();
        click (736);
        for (const auto* name : dragged)
        {
            EXPECT_TRUE (host.isOneEdit (name)) << "undo";
            EXPECT_EQ (findParameter (*plugin, name)->getValue(), after[name]) << name;
        }

        // Automation from the host is no step: the next undo takes back the drag and leaves it.
        findParameter (*plugin, "Band 1 Gain")->setValueNotifyingHost (0.8f);
        runHost (*plugin, 100);
        click (736);
        for (const auto* name : dragged)
            EXPECT_EQ (findParameter (*plugin, name)->getValue(), before[name]) << name;
        EXPECT_NEAR (findParameter (*plugin, "Band 1 Gain")->getValue(), 0.8f, 1.0e-6f);
    }

    INSTANTIATE_TEST_SUITE_P (Formats, HostedWindowEdits, ::testing::Values (Format::lv2, Format::vst3),
                              [] (const auto& test) { return test.param == Format::lv2 ? "LV2" : "VST3"; });
} // namespace
