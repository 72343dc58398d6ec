// The plug-in's two settings A and B, its presets and its undo history as the processor keeps
// them: exact values back from every switch, copy, undo and restore.

#include "plugin/PluginEditor.h"
#include "state/FactoryPresets.h"
#include "state/PresetDocument.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

namespace
{
    using Processor = KroTrellaAudioProcessor;
    using Values = PresetDocument::Values;

    Values randomValues (int seed)
    {
        juce::Random random (seed);
        Values values{};
        for (auto& value : values)
            value = random.nextFloat();
        return values;
    }

    void setAll (Processor& processor, const Values& values)
    {
        for (size_t i = 0; i < values.size(); ++i)
            processor.getKroParameter ((int) i)->setValue (values[i]);
    }

    /** An edit as the window makes it: bracketed on the engine. */
    void editInWindow (Processor& processor, int index, float value)
    {
        auto& engine = *processor.getEngine();
        engine.beginChangeGesture (index);
        processor.getKroParameter (index)->setValueNotifyingHost (value);
        engine.endChangeGesture (index);
    }

    TEST (ABSettings, SwitchingAndCopyingGiveBackExactValues)
    {
        Processor p;
        EXPECT_EQ (p.getActiveSlot(), 0);
        const auto a = randomValues (1), b = randomValues (2);
        setAll (p, a);

        p.switchToSlot (1); // B starts as the default setting
        EXPECT_EQ (p.getActiveSlot(), 1);
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::initialValues());
        setAll (p, b);

        p.switchToSlot (0);
        EXPECT_EQ (p.getCurrentValues(), a);
        p.switchToSlot (0); // already heard: nothing happens
        p.switchToSlot (7); // no such slot
        EXPECT_EQ (p.getActiveSlot(), 0);
        p.switchToSlot (1);
        EXPECT_EQ (p.getCurrentValues(), b);

        p.copySlot (0, 1); // A onto B, which is heard
        EXPECT_EQ (p.getCurrentValues(), a);
        setAll (p, b);
        p.copySlot (1, 0); // B (heard) onto A
        p.switchToSlot (0);
        EXPECT_EQ (p.getCurrentValues(), b);

        // Each switch and copy was a step; undoing them all comes back to A as it was first set.
        while (p.canUndo())
            p.undo();
        EXPECT_EQ (p.getActiveSlot(), 0);
        EXPECT_EQ (p.getCurrentValues(), a);
    }

    TEST (ABSettings, TheSessionKeepsBothAndOlderDocumentsLoadIntoA)
    {
        Processor source;
        const auto a = randomValues (3), b = randomValues (4);
        setAll (source, a);
        source.switchToSlot (1);
        setAll (source, b);
        juce::MemoryBlock state;
        source.getStateInformation (state);

        Processor restored;
        restored.setStateInformation (state.getData(), (int) state.getSize());
        EXPECT_EQ (restored.getActiveSlot(), 1);
        EXPECT_EQ (restored.getCurrentValues(), b);
        restored.switchToSlot (0);
        EXPECT_EQ (restored.getCurrentValues(), a);

        // A document without the inactive setting, as earlier versions wrote it.
        const auto older = PresetDocument::create (b);
        juce::MemoryBlock olderState;
        juce::AudioProcessor::copyXmlToBinary (*older, olderState);
        Processor fresh;
        fresh.setStateInformation (olderState.getData(), (int) olderState.getSize());
        EXPECT_EQ (fresh.getActiveSlot(), 0);
        EXPECT_EQ (fresh.getCurrentValues(), b);
        fresh.switchToSlot (1);
        EXPECT_EQ (fresh.getCurrentValues(), b);

        // A damaged inactive element gives what it can and never a value outside 0..1.
        auto damaged = PresetDocument::create (a);
        auto* inactive = damaged->createNewChildElement ("INACTIVE");
        inactive->setAttribute ("PRESET", "x");
        auto* param = inactive->createNewChildElement ("PARAM");
        param->setAttribute ("ID", "band2_gain");
        param->setAttribute ("ValueFloat", "1e999");
        param = inactive->createNewChildElement ("PARAM");
        param->setAttribute ("ID", "band3_gain");
        param->setAttribute ("ValueFloat", "-5");
        juce::MemoryBlock damagedState;
        juce::AudioProcessor::copyXmlToBinary (*damaged, damagedState);
        Processor third;
        third.setStateInformation (damagedState.getData(), (int) damagedState.getSize());
        EXPECT_EQ (third.getCurrentValues(), a);
        third.switchToSlot (1);
        auto expected = FactoryPresets::initialValues();
        expected[8] = 0.0f;
        EXPECT_EQ (third.getCurrentValues(), expected);
    }

    TEST (PresetName, FollowsLoadsAndSavesAndMarksAChangedSetting)
    {
        Processor p;
        EXPECT_EQ (p.getPresetName(), "Default");
        EXPECT_FALSE (p.differsFromPreset());

        const int kick = *FactoryPresets::find ("Kick Weight");
        p.loadPreset ("Kick Weight", FactoryPresets::values (kick));
        EXPECT_EQ (p.getPresetName(), "Kick Weight");
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::values (kick));
        EXPECT_EQ (p.getCurrentProgram(), kick);
        EXPECT_FALSE (p.differsFromPreset());

        editInWindow (p, 6, 0.9f);
        EXPECT_TRUE (p.differsFromPreset());
        p.setPresetName ("Mine");
        EXPECT_FALSE (p.differsFromPreset());

        // The name travels with its setting through A/B and undo, and with the session.
        p.switchToSlot (1);
        EXPECT_EQ (p.getPresetName(), "Default");
        p.switchToSlot (0);
        EXPECT_EQ (p.getPresetName(), "Mine");
        juce::MemoryBlock state;
        p.getStateInformation (state);
        Processor restored;
        restored.setStateInformation (state.getData(), (int) state.getSize());
        EXPECT_EQ (restored.getPresetName(), "Mine");

        p.undo(); // the switch back to A
        p.undo(); // the switch to B
        p.undo(); // the edit
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::values (kick));
        p.undo(); // the preset load
        EXPECT_EQ (p.getPresetName(), "Default");
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::initialValues());
    }

    TEST (UndoHistory, BelongsToThePlugInAndOutlivesWindowsAndEngines)
    {
        Processor p;
        p.prepareToPlay (44100.0, 256);
        const auto before = p.getCurrentValues();
        Values after{};
        {
            KroTrellaAudioProcessorEditor window (p);
            editInWindow (p, 7, 0.8f);
            editInWindow (p, 2, 0.3f);
            after = p.getCurrentValues();
        }

        p.prepareToPlay (96000.0, 64); // a new engine
        ASSERT_TRUE (pumpMessagesUntil ([&] { return p.dsp.getNumRetired() == 0; }));

        KroTrellaAudioProcessorEditor reopened (p);
        ASSERT_TRUE (p.canUndo());
        p.undo();
        p.undo();
        EXPECT_EQ (p.getCurrentValues(), before);
        EXPECT_EQ (p.getEngine()->getParameter (7), before[7]);
        p.redo();
        p.redo();
        EXPECT_EQ (p.getCurrentValues(), after);
        EXPECT_EQ (p.getEngine()->getParameter (2), after[2]);
    }

    TEST (UndoHistory, KeepsAtLeastAHundredSteps)
    {
        Processor p;
        const auto first = p.getCurrentValues();
        for (int i = 1; i <= 150; ++i)
            editInWindow (p, 7, (float) i / 200.0f);

        int undone = 0;
        while (p.canUndo())
        {
            p.undo();
            ++undone;
        }
        EXPECT_EQ (undone, 150);
        EXPECT_EQ (p.getCurrentValues(), first);
    }
} // namespace

namespace
{
    juce::AudioBuffer<float> settledNoiseThrough (KroTrellaAudioProcessor& processor)
    {
        processor.reset();
        juce::AudioBuffer<float> buffer (2, 512);
        juce::Random random (99);
        juce::MidiBuffer midi;
        for (int done = 0; done < 16384; done += buffer.getNumSamples())
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample (c, i, random.nextFloat() * 0.2f - 0.1f);
            processor.processBlock (buffer, midi);
        }
        return buffer;
    }

    TEST (Programs, AProgramSoundsTheSameWhateverCameBefore)
    {
        for (int program = 1; program < FactoryPresets::count(); ++program)
        {
            KroTrellaAudioProcessor fresh, used;
            for (auto* p : { &fresh, &used })
                p->prepareToPlay (44100.0, 512);

            juce::Random random (23);
            for (int i = 0; i < 23; ++i)
                used.getKroParameter (i)->setValueNotifyingHost (random.nextFloat());
            settledNoiseThrough (used);

            fresh.setCurrentProgram (program);
            used.setCurrentProgram (program);
            ASSERT_EQ (fresh.getCurrentValues(), used.getCurrentValues());

            const auto a = settledNoiseThrough (fresh);
            const auto b = settledNoiseThrough (used);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < a.getNumSamples(); ++i)
                    ASSERT_EQ (a.getSample (c, i), b.getSample (c, i))
                        << FactoryPresets::name (program) << " " << c << " " << i;
        }
    }
} // namespace
