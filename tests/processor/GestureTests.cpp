// User edits reach the host as change gestures: what the processor's parameters tell their
// listeners (as a host's automation recorder hears it) while the engine is edited directly and
// while the real window is driven with synthetic mouse and keyboard input.

#include "engine/ParameterIndex.h"
#include "engine/ValueLaws.h"
#include "plugin/PluginEditor.h"
#include "state/FactoryPresets.h"
#include "support/MessagePump.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQKnobPanel.h"
#include "ui/TrellaUI2.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    enum class What
    {
        begin,
        value,
        end
    };

    struct Event
    {
        int index;
        What what;
    };

    /** Everything the processor's parameters tell a listener, in order. */
    struct HostLog : juce::AudioProcessorParameter::Listener
    {
        explicit HostLog (Processor& p)
            : processor (p)
        {
            for (int i = 0; i < TrellaDSP::numParameters; ++i)
                processor.getKroParameter (i)->addListener (this);
        }

        ~HostLog() override
        {
            for (int i = 0; i < TrellaDSP::numParameters; ++i)
                processor.getKroParameter (i)->removeListener (this);
        }

        void parameterValueChanged (int index, float) override { events.push_back ({ index, What::value }); }
        void parameterGestureChanged (int index, bool starting) override
        {
            events.push_back ({ index, starting ? What::begin : What::end });
        }

        int count (What what) const
        {
            return (int) std::count_if (events.begin(), events.end(),
                                        [what] (const Event& e) { return e.what == what; });
        }

        Processor& processor;
        std::vector<Event> events;
    };

    /** Passes when the log holds exactly one edit of each of the parameters: one begin before their
        first value and one end after their last, at least one value each, and nothing about any
        other parameter. With `ended` false the edit must still be open (no end yet).
    */
    testing::AssertionResult isOneEditOf (const std::vector<Event>& events, const std::set<int>& indices,
                                          bool ended = true)
    {
        for (const auto& e : events)
            if (indices.count (e.index) == 0)
                return testing::AssertionFailure() << "an event of parameter " << e.index << ", which was not edited";

        for (const auto index : indices)
        {
            int begins = 0, ends = 0, values = 0;
            bool open = false;

            for (const auto& e : events)
            {
                if (e.index != index)
                    continue;

                if (e.what == What::begin)
                {
                    ++begins;
                    open = true;
                }
                else if (e.what == What::end)
                {
                    ++ends;
                    open = false;
                }
                else
                {
                    ++values;
                    if (! open)
                        return testing::AssertionFailure() << "parameter " << index << " changed outside its edit";
                }
            }

            if (begins != 1 || ends != (ended ? 1 : 0) || values == 0)
                return testing::AssertionFailure() << "parameter " << index << ": " << begins << " begins, " << ends
                                                   << " ends, " << values << " values";
        }

        return testing::AssertionSuccess();
    }

    juce::MouseEvent mouseAt (juce::Component& c, juce::Point<float> where, juce::ModifierKeys mods, int clicks = 1)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), where, mods,
                                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c, now, where,
                                 now, clicks, false);
    }

    const juce::ModifierKeys leftButton{ juce::ModifierKeys::leftButtonModifier };
    const juce::Point<float> onTheDisc{ 35.0f, 25.0f };

    void drag (juce::Component& c, juce::Point<float> from, juce::Point<float> to)
    {
        c.mouseDown (mouseAt (c, from, leftButton));
        c.mouseDrag (mouseAt (c, from + (to - from) * 0.5f, leftButton));
        c.mouseDrag (mouseAt (c, to, leftButton));
        c.mouseUp (mouseAt (c, to, {}));
    }

    int wheelCount = 0;

    void wheel (juce::Component& c, juce::Point<float> where, float deltaY)
    {
        juce::MouseWheelDetails details{};
        details.deltaY = deltaY;
        // The framework ignores a second wheel event with the same time stamp.
        const auto time = juce::Time::getCurrentTime() + juce::RelativeTime::milliseconds (wheelCount++);
        c.mouseWheelMove (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), where, {},
                                            juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c,
                                            time, where, time, 1, false),
                          details);
    }

    void typeInto (MetalKnob& knob, const juce::String& text)
    {
        for (auto* child : knob.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
            {
                label->showEditor();
                auto* editor = label->getCurrentTextEditor();
                ASSERT_NE (editor, nullptr);
                editor->setText (text, true);
                juce::Component& editorComponent = *editor;
                editorComponent.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
                return;
            }
        FAIL() << "the knob has no readout";
    }

    void click (SquareButton& button)
    {
        button.mouseUp (mouseAt (button, { 5.0f, 5.0f }, {}));
    }

    juce::Point<float> dotOf (EQCurveEditor& curve, int band)
    {
        curve.refreshFromEngine();
        const auto& view = curve.getBandView (band);
        return { (float) view.x, (float) view.y };
    }

    /** The processor with its window open, and the log of what its parameters tell the host. */
    struct OpenWindow
    {
        Processor processor;
        KroTrellaAudioProcessorEditor editor{ processor };
        HostLog host{ processor };

        EQKnobPanel& panel() { return editor.getMainScreen().getPanel(); }
        EQCurveEditor& curve() { return editor.getMainScreen().getCurveEditor(); }
        TrellaDSP& engine() { return *processor.getEngine(); }
    };

    //==============================================================================
    TEST (ChangeGestures, TheEngineReportsTheFirstBeginAndTheLastEndOfEachParameter)
    {
        TrellaDSP engine (44100.0, 256);
        std::vector<std::pair<int, bool>> reported;
        engine.onChangeGesture = [&reported] (int index, bool starting) { reported.emplace_back (index, starting); };

        engine.beginChangeGesture (7);
        engine.beginChangeGesture (7); // a single change inside a drag
        engine.beginChangeGesture (3);
        engine.endChangeGesture (7);
        EXPECT_EQ (engine.getOpenChangeGestures (7), 1);
        engine.endChangeGesture (7);
        engine.endChangeGesture (7); // one end too many: ignored
        engine.endChangeGesture (3);

        for (const auto outside : { -1, 23, 1000 })
        {
            engine.beginChangeGesture (outside);
            engine.endChangeGesture (outside);
            EXPECT_EQ (engine.getOpenChangeGestures (outside), 0);
        }

        const std::vector<std::pair<int, bool>> expected{ { 7, true }, { 3, true }, { 7, false }, { 3, false } };
        EXPECT_EQ (reported, expected);
    }

    TEST (ChangeGestures, TheProcessorPassesThemToItsParameters)
    {
        Processor processor;
        HostLog host (processor);
        auto& engine = *processor.getEngine();

        engine.beginChangeGesture (ParameterIndex::bandGain (1));
        engine.setBandGain (1, 4.0f);
        engine.setBandGain (1, 5.0f);
        engine.endChangeGesture (ParameterIndex::bandGain (1));

        EXPECT_TRUE (isOneEditOf (host.events, { 7 }));
        EXPECT_EQ (host.count (What::value), 2);
    }

    TEST (ChangeGestures, AnEngineThatGoesLeavesNoEditOpen)
    {
        Processor processor;
        processor.prepareToPlay (44100.0, 256);
        HostLog host (processor);

        // An edit open on the engine when it is replaced (the window is being dragged while the
        // audio device changes its rate): the window goes on editing on the new engine before the
        // old one is disposed of. The host hears one edit, begun once and ended once.
        auto* first = processor.getEngine();
        first->beginChangeGesture (7);
        first->setBandGain (1, 2.0f);

        processor.prepareToPlay (96000.0, 512);
        auto* second = processor.getEngine();
        ASSERT_NE (second, first);
        second->beginChangeGesture (7);
        second->setBandGain (1, 3.0f);

        ASSERT_TRUE (pumpMessagesUntil ([&] { return processor.dsp.getNumRetired() == 0; }));
        EXPECT_EQ (host.count (What::end), 0) << "the new engine still holds the edit";
        second->endChangeGesture (7);
        EXPECT_TRUE (isOneEditOf (host.events, { 7 }));

        // An edit left open on the current engine ends when the processor goes.
        host.events.clear();
        second->beginChangeGesture (12);
        second->setBandQ (2, 3.0f);
        processor.prepareToPlay (48000.0, 512);
        ASSERT_TRUE (pumpMessagesUntil ([&] { return processor.dsp.getNumRetired() == 0; }));
        EXPECT_TRUE (isOneEditOf (host.events, { 12 }));
    }

    //==============================================================================
    struct WindowEdit
    {
        const char* name;
        std::function<void (OpenWindow&)> perform;
        std::set<int> parameters;
        bool endsAfterAPause = false; // a run of wheel turns
    };

    void PrintTo (const WindowEdit& edit, std::ostream* os)
    {
        *os << edit.name;
    }

    class WindowEdits : public ::testing::TestWithParam<WindowEdit>
    {
    };

    TEST_P (WindowEdits, AreOneEditEachForTheHost)
    {
        OpenWindow window;
        const auto& edit = GetParam();
        window.host.events.clear();

        edit.perform (window);
        pumpMessages (60); // asynchronous choices arrive; ticks see the new record

        if (edit.endsAfterAPause)
        {
            EXPECT_TRUE (isOneEditOf (window.host.events, edit.parameters, false)) << "open until the wheel rests";
            pumpMessagesUntil ([&] { return window.host.count (What::end) > 0; }, 2000);
        }

        EXPECT_TRUE (isOneEditOf (window.host.events, edit.parameters));

        // Nothing follows once the edit is over.
        const auto before = window.host.events.size();
        pumpMessages (600);
        EXPECT_EQ (window.host.events.size(), before);
    }

    const WindowEdit windowEdits[] = {
        { "KnobDrag",
          [] (OpenWindow& w) { drag (*w.panel().bands[1].knGain, onTheDisc, onTheDisc.translated (0.0f, -30.0f)); },
          { 7 } },
        { "KnobWheelRun",
          [] (OpenWindow& w)
          {
              auto& knob = *w.panel().bands[2].knQ;
              for (int i = 0; i < 3; ++i)
              {
                  wheel (knob, onTheDisc, 0.2f);
                  pumpMessages (100); // shorter than the pause: one run
              }
          },
          { 12 },
          true },
        { "TypedValue", [] (OpenWindow& w) { typeInto (*w.panel().knLoPass, "5000 Hz"); }, { 20 } },
        { "KnobDoubleClick",
          [] (OpenWindow& w)
          {
              w.engine().setBandFrequency (3, 3000.0f);
              w.panel().timerCallback();
              w.host.events.clear();
              auto& knob = *w.panel().bands[3].knFrequency;
              juce::Component& component = knob;
              component.mouseDoubleClick (mouseAt (knob, onTheDisc, {}, 2));
          },
          { 5 } },
        { "BandButton", [] (OpenWindow& w) { click (*w.panel().bands[0].btnOnOff); }, { 16 } },
        { "ActiveButton", [] (OpenWindow& w) { click (*w.panel().btnEqActive); }, { 0 } },
        { "PreampChoice",
          [] (OpenWindow& w) { w.panel().IRselector->setSelectedId (5, juce::sendNotificationAsync); },
          { 22 } },
        { "DotDragSwitchingTheEqualiserOn",
          [] (OpenWindow& w)
          {
              auto& curve = w.curve();
              const auto dot = dotOf (curve, 2);
              curve.mouseMove (mouseAt (curve, dot, {}));
              drag (curve, dot, dot.translated (40.0f, -30.0f));
          },
          { 0, 4, 8, 18 } },
        { "DotDragWithTheEqualiserOn",
          [] (OpenWindow& w)
          {
              w.engine().setEqActive (true);
              w.host.events.clear();
              auto& curve = w.curve();
              const auto dot = dotOf (curve, 1);
              drag (curve, dot, dot.translated (-40.0f, 20.0f));
          },
          { 3, 7, 17 } },
        { "DotDoubleClickReset",
          [] (OpenWindow& w)
          {
              auto& curve = w.curve();
              const auto dot = dotOf (curve, 3);
              curve.mouseMove (mouseAt (curve, dot, {}));
              curve.mouseUp (mouseAt (curve, dot, {}, 2));
          },
          { 0, 5, 9, 13, 19 } },
        { "DotWheelRun",
          [] (OpenWindow& w)
          {
              auto& curve = w.curve();
              const auto dot = dotOf (curve, 0);
              curve.mouseMove (mouseAt (curve, dot, {}));
              for (int i = 0; i < 3; ++i)
              {
                  wheel (curve, dot, 0.3f);
                  pumpMessages (100);
              }
          },
          { 10 },
          true },
        { "MenuTypeChoice",
          [] (OpenWindow& w) { w.curve().applyBandMenuResult (3, EQCurveEditor::peakItem); },
          { 15 } },
    };

    INSTANTIATE_TEST_SUITE_P (Window, WindowEdits, ::testing::ValuesIn (windowEdits),
                              [] (const auto& test) { return std::string (test.param.name); });

    //==============================================================================
    // Undo: every window edit is one step; undone and redone, it reaches the host as an edit again.
    std::array<float, TrellaDSP::numParameters> valuesOf (Processor& processor)
    {
        std::array<float, TrellaDSP::numParameters> values{};
        for (int i = 0; i < TrellaDSP::numParameters; ++i)
            values[(size_t) i] = processor.getKroParameter (i)->getValue();
        return values;
    }

    /** The parameters' values at the first begin of an edit (an edit's set-up before it is no edit). */
    struct ValuesAtFirstBegin : juce::AudioProcessorParameter::Listener
    {
        explicit ValuesAtFirstBegin (Processor& p)
            : processor (p)
        {
            for (int i = 0; i < TrellaDSP::numParameters; ++i)
                processor.getKroParameter (i)->addListener (this);
        }
        ~ValuesAtFirstBegin() override
        {
            for (int i = 0; i < TrellaDSP::numParameters; ++i)
                processor.getKroParameter (i)->removeListener (this);
        }
        void parameterValueChanged (int, float) override {}
        void parameterGestureChanged (int, bool starting) override
        {
            if (starting && ! values)
                values = valuesOf (processor);
        }

        Processor& processor;
        std::optional<std::array<float, TrellaDSP::numParameters>> values;
    };

    std::set<int> differing (const std::array<float, TrellaDSP::numParameters>& a,
                             const std::array<float, TrellaDSP::numParameters>& b)
    {
        std::set<int> indices;
        for (int i = 0; i < TrellaDSP::numParameters; ++i)
            if (a[(size_t) i] != b[(size_t) i])
                indices.insert (i);
        return indices;
    }

    TEST_P (WindowEdits, AreOneUndoStepEachThatReachesTheHostAsAnEdit)
    {
        OpenWindow window;
        auto& processor = window.processor;
        ASSERT_FALSE (processor.canUndo());

        const ValuesAtFirstBegin atBegin (processor);
        GetParam().perform (window);
        pumpMessages (60);
        if (GetParam().endsAfterAPause)
            pumpMessagesUntil ([&] { return window.host.count (What::end) > 0; }, 2000);

        ASSERT_TRUE (atBegin.values.has_value());
        const auto before = *atBegin.values;
        const auto after = valuesOf (processor);
        const auto changed = differing (before, after);
        ASSERT_FALSE (changed.empty());

        window.host.events.clear();
        ASSERT_TRUE (processor.canUndo());
        processor.undo();
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_FALSE (processor.canUndo()) << "one edit, one step";
        EXPECT_TRUE (isOneEditOf (window.host.events, changed));

        window.host.events.clear();
        processor.redo();
        EXPECT_EQ (valuesOf (processor), after);
        EXPECT_FALSE (processor.canRedo());
        EXPECT_TRUE (isOneEditOf (window.host.events, changed));

        // The window's keys do the same.
        auto& editor = window.editor;
        EXPECT_TRUE (editor.keyPressed (juce::KeyPress ('z', juce::ModifierKeys::ctrlModifier, 0)));
        EXPECT_EQ (valuesOf (processor), before);
        EXPECT_TRUE (editor.keyPressed (juce::KeyPress ('y', juce::ModifierKeys::ctrlModifier, 0)));
        EXPECT_EQ (valuesOf (processor), after);
        editor.keyPressed (juce::KeyPress ('z', juce::ModifierKeys::ctrlModifier, 0));
        EXPECT_TRUE (editor.keyPressed (
            juce::KeyPress ('z', juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::shiftModifier, 0)));
        EXPECT_EQ (valuesOf (processor), after);
        EXPECT_FALSE (editor.keyPressed (juce::KeyPress ('x', juce::ModifierKeys::ctrlModifier, 0)));
    }

    TEST (ChangeGestures, ASwitchACopyAndAPresetLoadAreOneEditPerChangedParameter)
    {
        OpenWindow window;
        auto& processor = window.processor;
        auto& engine = window.engine();

        // B differs from A in three parameters, edited on B as the window would.
        processor.switchToSlot (1);
        for (const auto& [index, gain] : { std::pair{ 7, 3.0f }, std::pair{ 8, -4.5f } })
        {
            engine.beginChangeGesture (index);
            engine.setBandGain (index - 6, gain);
            engine.endChangeGesture (index);
        }
        engine.beginChangeGesture (0);
        engine.setEqActive (true);
        engine.endChangeGesture (0);
        const auto b = valuesOf (processor);

        window.host.events.clear();
        processor.switchToSlot (0);
        EXPECT_TRUE (isOneEditOf (window.host.events, { 0, 7, 8 }));
        const auto a = valuesOf (processor);

        window.host.events.clear();
        processor.copySlot (1, 0); // B onto A, which is heard
        EXPECT_TRUE (isOneEditOf (window.host.events, { 0, 7, 8 }));
        EXPECT_EQ (valuesOf (processor), b);

        window.host.events.clear();
        processor.undo();
        EXPECT_TRUE (isOneEditOf (window.host.events, { 0, 7, 8 }));
        EXPECT_EQ (valuesOf (processor), a);

        window.host.events.clear();
        const int telephone = *FactoryPresets::find ("Telephone Band");
        const auto preset = FactoryPresets::values (telephone);
        processor.loadPreset ("Telephone Band", preset);
        EXPECT_TRUE (isOneEditOf (window.host.events, differing (a, preset)));
        EXPECT_EQ (processor.getCurrentProgram(), telephone);
    }

    TEST (ChangeGestures, HostChangesNeverEnterTheHistory)
    {
        OpenWindow window;
        auto& processor = window.processor;

        // Automation, a program change and a restore of the session.
        processor.getKroParameter (7)->setValueNotifyingHost (0.7f);
        processor.getKroParameter (3)->setValue (0.2f);
        processor.setCurrentProgram (2);
        juce::MemoryBlock state;
        processor.getStateInformation (state);
        processor.setStateInformation (state.getData(), (int) state.getSize());
        pumpMessages (100);
        EXPECT_FALSE (processor.canUndo());

        // A user's edit is a step; automation of another parameter after it stays when it is undone.
        auto& engine = window.engine();
        engine.beginChangeGesture (8);
        engine.setBandGain (2, 6.0f);
        engine.endChangeGesture (8);
        processor.getKroParameter (12)->setValueNotifyingHost (0.42f);
        processor.undo();
        EXPECT_EQ (processor.getKroParameter (12)->getValue(), 0.42f);
        EXPECT_EQ (processor.getKroParameter (8)->getValue(), FactoryPresets::values (2)[8]);
    }

    TEST (ChangeGestures, ValuesShownButNotEditedAreNoEdit)
    {
        OpenWindow window;
        window.host.events.clear();

        // Host automation and a solo from the menu: the window follows, the host hears nothing.
        window.processor.getKroParameter (7)->setValue (0.61803f);
        window.curve().applyBandMenuResult (1, EQCurveEditor::soloItem);
        pumpMessages (200);

        // A press on a knob without moving it, and a wheel run on a knob at its end, change nothing.
        auto& knob = *window.panel().knHiPass;
        juce::Component& component = knob;
        component.mouseDown (mouseAt (knob, onTheDisc, leftButton));
        component.mouseUp (mouseAt (knob, onTheDisc, {}));
        wheel (knob, onTheDisc, -0.5f);
        pumpMessages (600);

        EXPECT_TRUE (window.host.events.empty()) << window.host.events.size() << " events";
        EXPECT_NEAR (window.panel().bands[1].knGain->getValue(), ValueLaws::gainFromNormalised (0.61803f), 0.051);
    }

    TEST (ChangeGestures, AWheelRunOnAnotherBandEndsTheFirst)
    {
        OpenWindow window;
        auto& curve = window.curve();
        window.host.events.clear();

        for (const auto band : { 1, 2 })
        {
            const auto dot = dotOf (curve, band);
            curve.mouseMove (mouseAt (curve, dot, {}));
            wheel (curve, dot, 0.5f);
        }

        // Band 2's Q (11) ended when band 3's (12) began; band 3's waits for the pause.
        ASSERT_GE (window.host.events.size(), 4u);
        EXPECT_TRUE (isOneEditOf ({ window.host.events.begin(), window.host.events.begin() + 3 }, { 11 }));
        ASSERT_TRUE (pumpMessagesUntil ([&] { return window.host.count (What::end) == 2; }, 2000));
        EXPECT_TRUE (isOneEditOf (window.host.events, { 11, 12 }));
    }
} // namespace
