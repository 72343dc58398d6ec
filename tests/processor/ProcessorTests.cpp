#include "engine/ValueLaws.h"
#include "processor/PluginProcessor.h"
#include "state/FactoryPresets.h"
#include "support/MessagePump.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    float valueOf (const Processor& p, const char* id)
    {
        return p.getKroParameter (findTrellaParamIndex (id))->getValue();
    }

    void setHostValue (Processor& p, const char* id, float v)
    {
        p.getKroParameter (findTrellaParamIndex (id))->setValue (v);
    }

    TEST (Processor, ConstructionPushesTheEngineDefaultsIntoTheParameters)
    {
        Processor p;
        ASSERT_EQ (p.getParameters().size(), 23);

        const struct
        {
            const char* id;
            float value;
        } expected[] = {
            { "master_active", 0.0f },
            { "master_gain", 0.5f },
            { "band1_freq", (120.0f - 20.0f) / 19980.0f },
            { "band2_freq", (1000.0f - 20.0f) / 19980.0f },
            { "band3_freq", (4200.0f - 20.0f) / 19980.0f },
            { "band4_freq", (8500.0f - 20.0f) / 19980.0f },
            { "band1_gain", 0.5f },
            { "band4_gain", 0.5f },
            { "band1_q", 0.9f / 9.9f },
            { "band3_q", 0.9f / 9.9f },
            { "band1_type", 0.5f },
            { "band4_type", 1.0f },
            { "band1_active", 0.0f },
            { "band4_active", 0.0f },
            { "lopass_freq", 1.0f },
            { "hipass_freq", 0.0f },
            { "preamp_type", 0.0f },
        };
        for (const auto& e : expected)
            EXPECT_NEAR (valueOf (p, e.id), e.value, 1.0e-7f) << e.id;

        // What a host's "reset to default" applies is the engine's own initial setting.
        for (const auto& e : expected)
            EXPECT_NEAR (p.getKroParameter (findTrellaParamIndex (e.id))->getDefaultValue(), e.value, 1.0e-7f) << e.id;
        for (int i = 0; i < 23; ++i)
            EXPECT_EQ (p.getKroParameter (i)->getDefaultValue(), valueOf (p, TrellaParams[(size_t) i].id)) << i;
    }

    TEST (Processor, ParametersAnswerAsHostsExpect)
    {
        Processor p;
        auto* band1Freq = p.getKroParameter (2);
        EXPECT_EQ (band1Freq->getName (4), "Band 1 Freq");
        EXPECT_EQ (band1Freq->getParameterID(), "band1_freq");
        EXPECT_EQ (band1Freq->getLabel(), "");
        EXPECT_TRUE (band1Freq->isAutomatable());
        EXPECT_FALSE (band1Freq->isDiscrete());
        EXPECT_FALSE (band1Freq->isBoolean());

        // A bare number is a normalised value, except for Q, whose text is a bare number.
        for (int i = 0; i < 23; ++i)
        {
            if (i < 10 || i > 13)
            {
                EXPECT_FLOAT_EQ (p.getKroParameter (i)->getValueForText ("0.25"), 0.25f) << i;
            }
        }
        EXPECT_FLOAT_EQ (p.getKroParameter (11)->getValueForText ("0.25"), ValueLaws::normalisedFromQ (0.25f));

        EXPECT_EQ (p.getName(), "KroTrella");
        EXPECT_EQ (p.getProgramName (0), "Default");
        EXPECT_EQ (p.getProgramName (3), FactoryPresets::name (3));
        EXPECT_EQ (p.getProgramName (p.getNumPrograms()), "");
        EXPECT_EQ (p.getNumPrograms(), FactoryPresets::count());
        EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
        EXPECT_FALSE (p.acceptsMidi());
    }

    TEST (Processor, HostChangesReachTheEngine)
    {
        Processor p;
        setHostValue (p, "band1_freq", 0.5f);
        setHostValue (p, "band3_gain", 0.75f);
        setHostValue (p, "master_active", 1.0f);
        setHostValue (p, "preamp_type", 1.0f);

        const auto params = p.getEngine()->getParams();
        EXPECT_FLOAT_EQ (params.band[0].frequency, 10010.0f);
        EXPECT_FLOAT_EQ (params.band[2].gain, 12.0f);
        EXPECT_EQ (params.eqActive, 1);
        EXPECT_EQ (params.preampType, 7);
        EXPECT_EQ (valueOf (p, "preamp_type"), 1.0f); // the host's value is kept as it was sent

        // A host's reset to the default brings band 1 back to 120 Hz and the low-pass to 20 kHz.
        for (const char* id : { "band1_freq", "lopass_freq" })
            p.getKroParameter (findTrellaParamIndex (id))
                ->setValue (p.getKroParameter (findTrellaParamIndex (id))->getDefaultValue());
        EXPECT_NEAR (p.getEngine()->getParams().band[0].frequency, 120.0f, 0.001f);
        EXPECT_EQ (p.getEngine()->getParams().loPassFreq, 20000.0f);
    }

    struct CountingListener : juce::AudioProcessorListener
    {
        std::vector<std::pair<int, float>> changes;
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
        {
            changes.emplace_back (index, value);
        }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    };

    TEST (Processor, EngineChangesReachTheHostAndSettleOnTheRoundTrippedValue)
    {
        Processor p;
        CountingListener listener;
        p.addListener (&listener);

        p.getEngine()->setBandGain (1, 3.14159f);

        p.removeListener (&listener);
        ASSERT_EQ (listener.changes.size(), 1u);
        EXPECT_EQ (listener.changes[0].first, 7);
        EXPECT_NEAR (listener.changes[0].second, (3.14159f + 24.0f) / 48.0f, 1.0e-6f);
        EXPECT_NEAR (valueOf (p, "band2_gain"), (3.14159f + 24.0f) / 48.0f, 1.0e-6f);
        EXPECT_NEAR (p.getEngine()->getParams().band[1].gain, 3.14159f, 1.0e-5f);
    }

    /** The last value reported for each parameter index, and how many reports there were. */
    std::map<int, float> lastReported (const CountingListener& listener)
    {
        std::map<int, float> last;
        for (const auto& [index, value] : listener.changes)
            last[index] = value;
        return last;
    }

    TEST (Processor, ARestoreIsNoEditAndAProgramChangeReachesTheHost)
    {
        Processor source, p;
        juce::Random random (5);
        for (int i = 0; i < 23; ++i)
            source.getKroParameter (i)->setValue (random.nextFloat());
        juce::MemoryBlock state;
        source.getStateInformation (state);

        CountingListener listener;
        p.addListener (&listener);

        // Hosts take a restore's values from the plug-in themselves (the VST3 host reads them back,
        // the LV2 host restores its ports); told as changes, they would be recorded as edits.
        p.setStateInformation (state.getData(), (int) state.getSize());
        EXPECT_TRUE (listener.changes.empty());
        for (int i = 0; i < 23; ++i)
            EXPECT_EQ (p.getKroParameter (i)->getValue(), source.getKroParameter (i)->getValue())
                << TrellaParams[(size_t) i].id;

        p.setCurrentProgram (0);
        auto last = lastReported (listener);
        ASSERT_EQ (last.size(), 23u);
        for (int i = 0; i < 23; ++i)
        {
            EXPECT_NEAR (last[i], p.getKroParameter (i)->getDefaultValue(), 1.0e-6f) << TrellaParams[(size_t) i].id;
            EXPECT_EQ (p.getKroParameter (i)->getValue(), last[i]);
        }
        EXPECT_EQ (p.getEngine()->getParams().preampType, 0);
        p.removeListener (&listener);
    }

    TEST (Processor, PreparingTellsNoHostAnything)
    {
        // A host that prepares the plug-in has not edited anything.
        for (const auto wrapper : { juce::AudioProcessor::wrapperType_LV2, juce::AudioProcessor::wrapperType_VST3 })
        {
            juce::AudioProcessor::setTypeOfNextNewPlugin (wrapper);
            Processor p;
            juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

            CountingListener listener;
            p.addListener (&listener);
            p.prepareToPlay (44100.0, 256);
            p.prepareToPlay (48000.0, 512);
            p.removeListener (&listener);
            EXPECT_TRUE (listener.changes.empty());
        }
    }

    TEST (Processor, PreparingAtTheSameFormatKeepsTheEngine)
    {
        Processor p;
        auto* engine = p.getEngine();
        p.prepareToPlay (44100.0, 256);
        EXPECT_EQ (p.getEngine(), engine);

        p.prepareToPlay (48000.0, 256);
        EXPECT_NE (p.getEngine(), engine);
        EXPECT_EQ (p.getEngine()->getSampleRate(), 48000.0);
    }

    // Rebuilds in an offline render or a host whose message loop does not run: no message is
    // dispatched here, so nothing may wait for the message thread except the window's own engine.
    TEST (EngineRetirement, RebuildsWithoutAMessageLoopLeaveNoEngineBehind)
    {
        Processor p;
        const double rates[] = { 48000.0, 44100.0, 96000.0 };
        for (int i = 0; i < 100; ++i)
            p.prepareToPlay (rates[i % 3], 128 << (i % 2));
        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
    }

    TEST (EngineRetirement, TheWindowsEngineStaysForTheMessageThreadAndNoOtherPilesUp)
    {
        Processor p;
        auto* shown = p.getEngine(); // what an open window holds
        for (int i = 0; i < 100; ++i)
            p.prepareToPlay (i % 2 == 0 ? 48000.0 : 96000.0, 256);

        EXPECT_EQ (p.dsp.getNumRetired(), 1u);
        EXPECT_EQ (shown->getSampleRate(), 44100.0); // still alive (the sanitizer builds would object)

        // Once the message loop runs, the clean-up posted after the window's re-binding frees it.
        auto* current = p.getEngine();
        EXPECT_TRUE (pumpMessagesUntil ([&] { return p.dsp.getNumRetired() == 0; }));
        EXPECT_EQ (p.getEngine(), current);
    }

    TEST (EngineRetirement, AnEngineInAReadersHandsOutlivesTheRebuildAndGoesWithTheNextOne)
    {
        Processor p;
        {
            const EngineSlot::Reader reader (p.dsp);
            std::thread device ([&] { p.prepareToPlay (48000.0, 256); });
            device.join();
            EXPECT_EQ (p.dsp.getNumRetired(), 1u);
            EXPECT_EQ (reader->getSampleRate(), 44100.0);
        }
        p.prepareToPlay (96000.0, 256);
        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
    }

    TEST (Processor, ANewSampleRateKeepsAllParameterValues)
    {
        Processor p;
        juce::Random random (42);
        for (int i = 0; i < 23; ++i)
            p.getKroParameter (i)->setValue (random.nextFloat());

        std::vector<float> before;
        for (int i = 0; i < 23; ++i)
            before.push_back (p.getKroParameter (i)->getValue());

        int engineChanges = 0;
        p.setOnEngineChanged ([&] { ++engineChanges; });
        p.prepareToPlay (96000.0, 512);
        EXPECT_EQ (engineChanges, 1);

        for (int i = 0; i < 23; ++i)
        {
            EXPECT_EQ (p.getKroParameter (i)->getValue(), before[(size_t) i]) << TrellaParams[(size_t) i].id;
            TrellaDSP reference (44100.0, 256);
            reference.setParameter (i, before[(size_t) i]);
            EXPECT_EQ (p.getEngine()->getParameter (i), reference.getParameter (i)) << TrellaParams[(size_t) i].id;
        }
    }

    TEST (Processor, ProgramZeroLoadsTheEngineDefaultsAndEveryProgramItsPreset)
    {
        Processor p;
        for (int i = 0; i < 22; ++i)
            p.getKroParameter (i)->setValue (0.9f);

        p.setCurrentProgram (0);
        Processor fresh;
        for (int i = 0; i < 23; ++i)
            EXPECT_EQ (p.getKroParameter (i)->getValue(), fresh.getKroParameter (i)->getValue()) << i;
        EXPECT_EQ (p.getCurrentProgram(), 0);

        for (int program = 1; program < p.getNumPrograms(); ++program)
        {
            p.setCurrentProgram (program);
            EXPECT_EQ (p.getCurrentProgram(), program);
            EXPECT_EQ (p.getPresetName(), FactoryPresets::name (program));
            EXPECT_FALSE (p.differsFromPreset());
            const auto expected = FactoryPresets::values (program);
            for (int i = 0; i < 23; ++i)
                EXPECT_EQ (p.getKroParameter (i)->getValue(), expected[(size_t) i]) << program << " " << i;
            // The engine plays what the parameters hold.
            TrellaDSP reference (44100.0, 256);
            for (int i = 0; i < 23; ++i)
                reference.setParameter (i, expected[(size_t) i]);
            EXPECT_EQ (p.getEngine()->getChainSettings().levelGain, reference.getChainSettings().levelGain);
        }

        p.setCurrentProgram (p.getNumPrograms()); // out of range: nothing changes
        EXPECT_EQ (p.getCurrentProgram(), p.getNumPrograms() - 1);
    }

    TEST (Processor, AcceptsStereoMonoAndMonoToStereoOnly)
    {
        using Set = juce::AudioChannelSet;
        const struct
        {
            Set input, output;
            bool accepted;
        } cases[] = {
            { Set::stereo(), Set::stereo(), true },
            { Set::mono(), Set::mono(), true },
            { Set::mono(), Set::stereo(), true },
            { Set::stereo(), Set::mono(), false },
            { Set::create5point1(), Set::create5point1(), false },
            { Set::stereo(), Set::create5point1(), false },
            { Set::disabled(), Set::stereo(), false },
            { Set::stereo(), Set::disabled(), false },
            { Set::discreteChannels (3), Set::discreteChannels (3), false },
        };

        for (const auto& c : cases)
        {
            Processor p;
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (c.input);
            layout.outputBuses.add (c.output);
            EXPECT_EQ (p.checkBusesLayoutSupported (layout), c.accepted)
                << c.input.getDescription() << " -> " << c.output.getDescription();
            EXPECT_EQ (p.setBusesLayout (layout), c.accepted);
        }

        // Out of the box: one stereo input and one stereo output, both on.
        Processor p;
        EXPECT_EQ (p.getTotalNumInputChannels(), 2);
        EXPECT_EQ (p.getTotalNumOutputChannels(), 2);
        EXPECT_TRUE (p.getBus (true, 0)->isEnabled() && p.getBus (false, 0)->isEnabled());
    }

    TEST (Processor, AMonoInputFeedsBothSidesOfAStereoOutput)
    {
        // A stereo processor given the mono signal on both channels is the reference.
        Processor mono, reference;
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::mono());
        layout.outputBuses.add (juce::AudioChannelSet::stereo());
        ASSERT_TRUE (mono.setBusesLayout (layout));

        for (auto* p : { &mono, &reference })
        {
            p->prepareToPlay (44100.0, 128);
            setHostValue (*p, "master_active", 1.0f);
            setHostValue (*p, "band2_active", 1.0f);
            setHostValue (*p, "band2_gain", 0.9f);
        }

        juce::Random random (9);
        juce::MidiBuffer midi;
        for (int block = 0; block < 4; ++block)
        {
            juce::AudioBuffer<float> buffer (2, 128), expected (2, 128);
            signals::fillNoise (buffer, random); // channel 1 holds what the host left there
            expected.copyFrom (0, 0, buffer, 0, 0, 128);
            expected.copyFrom (1, 0, buffer, 0, 0, 128);

            mono.processBlock (buffer, midi);
            reference.processBlock (expected, midi);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 128; ++i)
                    ASSERT_EQ (buffer.getSample (c, i), expected.getSample (c, i)) << "channel " << c;
        }

        // Bypassed, the input still reaches both sides.
        juce::AudioBuffer<float> buffer (2, 128);
        signals::fillNoise (buffer, random);
        const juce::AudioBuffer<float> original (buffer);
        mono.processBlockBypassed (buffer, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 128; ++i)
                ASSERT_EQ (buffer.getSample (c, i), original.getSample (0, i)) << "channel " << c;
    }

    TEST (Processor, BypassPassesAudioBitExactWhileTheEngineRunsOnSilence)
    {
        Processor p;
        p.prepareToPlay (48000.0, 256);
        setHostValue (p, "master_active", 1.0f);
        setHostValue (p, "band2_active", 1.0f);
        setHostValue (p, "band2_gain", 1.0f);

        juce::Random random (13);
        juce::MidiBuffer midi;
        for (const int length : { 256, 100, 700 }) // 700: more than prepared
        {
            juce::AudioBuffer<float> buffer (2, length);
            signals::fillNoise (buffer, random);
            juce::AudioBuffer<float> original (buffer);
            p.processBlockBypassed (buffer, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < length; ++i)
                    ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i));
        }
    }

    TEST (Processor, ProcessesWithTheBoostTheParametersImply)
    {
        Processor p;
        p.prepareToPlay (44100.0, 512);
        setHostValue (p, "master_active", 1.0f);
        setHostValue (p, "band2_active", 1.0f);
        setHostValue (p, "band2_gain", (12.0f + 24.0f) / 48.0f);

        juce::MidiBuffer midi;
        float peak = 0.0f;
        for (int block = 0; block < 40; ++block)
        {
            auto buffer = signals::sine (1000.0, 44100.0, 512, 0.1f);
            p.processBlock (buffer, midi);
            peak = buffer.getMagnitude (0, 0, 512);
        }
        EXPECT_NEAR (signals::toDb (peak / 0.1), 12.0, 0.1);
    }
} // namespace
