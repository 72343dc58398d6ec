// Loads the built plug-ins through JUCE's own hosting classes and runs real audio through them.

#include "HostedPlugin.h"
#include "state/TrellaParams.h"
#include "support/MessagePump.h"
#include "support/Signals.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <map>

namespace
{
    using hosted::blockSize;
    using hosted::Format;
    using hosted::loadPlugin;
    using hosted::sampleRate;

    juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const char* name)
    {
        for (auto* parameter : plugin.getParameters())
            if (parameter->getName (100) == name)
                return parameter;
        return nullptr;
    }

    /** Runs a 1 kHz sine through the plug-in and returns the last block, with the input beside it. */
    std::pair<juce::AudioBuffer<float>, juce::AudioBuffer<float>> runSine (juce::AudioPluginInstance& plugin)
    {
        juce::MidiBuffer midi;
        juce::AudioBuffer<float> input, output;
        const auto channels = juce::jmax (plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
        auto tone = signals::sine (1000.0, sampleRate, blockSize * 40, 0.1f, channels);

        for (int block = 0; block < 40; ++block)
        {
            input.setSize (channels, blockSize, false, false, true);
            for (int c = 0; c < channels; ++c)
                input.copyFrom (c, 0, tone, c, block * blockSize, blockSize);
            output.makeCopyOf (input);
            plugin.processBlock (output, midi);
        }
        return { input, output };
    }

    class Hosted : public ::testing::TestWithParam<Format>
    {
    };

    TEST_P (Hosted, LoadsAndListsTheParametersByIdAndName)
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);
        EXPECT_EQ (plugin->getName(), "KroTrella");
        EXPECT_EQ (plugin->getPluginDescription().manufacturerName, "Palvenmark");

        const auto& parameters = plugin->getParameters();
        ASSERT_GE (parameters.size(), 23);

        for (const auto& row : TrellaParams)
        {
            auto* parameter = dynamic_cast<juce::HostedAudioProcessorParameter*> (findParameter (*plugin, row.name));
            ASSERT_NE (parameter, nullptr) << row.name;

            const auto id = parameter->getParameterID();
            if (GetParam() == Format::lv2)
            {
                EXPECT_TRUE (id.endsWith (row.id)) << id;
            }
            else
            {
                // JUCE's VST3 wrapper derives the numeric id from the text id; a stable id gives a stable number.
                const auto expected = (juce::uint32) juce::String (row.id).hashCode() & 0x7fffffffu;
                EXPECT_EQ (id, juce::String (expected)) << row.id;
            }
        }
    }

    TEST_P (Hosted, DefaultsPassTheSignalUnchanged)
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        const auto [input, output] = runSine (*plugin);
        for (int c = 0; c < juce::jmin (2, output.getNumChannels()); ++c)
            for (int i = 0; i < blockSize; ++i)
                ASSERT_NEAR (output.getSample (c, i), input.getSample (c, i), 1.0e-7f) << "channel " << c;
    }

    TEST_P (Hosted, ABandBoostSetByParameterGivesItsGain)
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        findParameter (*plugin, "Active")->setValueNotifyingHost (1.0f);
        findParameter (*plugin, "Band 2 Active")->setValueNotifyingHost (1.0f);
        findParameter (*plugin, "Band 2 Gain")->setValueNotifyingHost ((12.0f + 24.0f) / 48.0f);
        findParameter (*plugin, "Band 2 Freq")->setValueNotifyingHost ((1000.0f - 20.0f) / 19980.0f);
        findParameter (*plugin, "Band 2 Q")->setValueNotifyingHost ((1.0f - 0.1f) / 9.9f);

        const auto [input, output] = runSine (*plugin);
        const auto gainDb =
            signals::toDb (output.getMagnitude (0, 0, blockSize) / input.getMagnitude (0, 0, blockSize));
        EXPECT_NEAR (gainDb, 12.0, 0.1);
    }

    void processNoise (juce::AudioPluginInstance& plugin, int blocks = 2)
    {
        juce::MidiBuffer midi;
        juce::Random random (3);
        const auto channels = juce::jmax (plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, blockSize);
        for (int block = 0; block < blocks; ++block)
        {
            signals::fillNoise (buffer, random, 0.1f);
            plugin.processBlock (buffer, midi);
        }
    }

    TEST_P (Hosted, AfterARestoreTheHostsViewOfEveryParameterIsTheRestoredValue)
    {
        auto source = loadPlugin (GetParam());
        ASSERT_NE (source, nullptr);

        juce::Random random (17);
        std::map<juce::String, float> saved;
        for (const auto& row : TrellaParams)
        {
            const auto value = (float) random.nextInt (1000) / 999.0f;
            findParameter (*source, row.name)->setValueNotifyingHost (value);
            saved[row.name] = value;
        }
        processNoise (*source); // the values reach the plug-in with the next block
        juce::MemoryBlock state;
        source->getStateInformation (state);

        auto restored = loadPlugin (GetParam());
        ASSERT_NE (restored, nullptr);
        processNoise (*restored); // running already, as in a session that loads a preset
        restored->setStateInformation (state.getData(), (int) state.getSize());
        processNoise (*restored);

        // An LV2 host keeps the port values of a state as text, to about seven significant digits.
        const auto tolerance = GetParam() == Format::lv2 ? 1.0e-6f : 0.0f;
        for (const auto& row : TrellaParams)
            EXPECT_NEAR (findParameter (*restored, row.name)->getValue(), saved[row.name], tolerance) << row.name;
    }

    TEST_P (Hosted, ReportsTheStartingSettingAsDefaults)
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        const auto frequency = [] (float hz) { return (hz - 20.0f) / 19980.0f; };
        const std::map<juce::String, float> defaults{
            { "Active", 0.0f },
            { "Gain", 0.5f },
            { "Band 1 Freq", frequency (120.0f) },
            { "Band 2 Freq", frequency (1000.0f) },
            { "Band 3 Freq", frequency (4200.0f) },
            { "Band 4 Freq", frequency (8500.0f) },
            { "Band 1 Gain", 0.5f },
            { "Band 2 Gain", 0.5f },
            { "Band 3 Gain", 0.5f },
            { "Band 4 Gain", 0.5f },
            { "Band 1 Q", 0.9f / 9.9f },
            { "Band 2 Q", 0.9f / 9.9f },
            { "Band 3 Q", 0.9f / 9.9f },
            { "Band 4 Q", 0.9f / 9.9f },
            { "Band 1 Type", 0.5f },
            { "Band 4 Type", 1.0f },
            { "Band 1 Active", 0.0f },
            { "Band 2 Active", 0.0f },
            { "Band 3 Active", 0.0f },
            { "Band 4 Active", 0.0f },
            { "LoPass Freq", 1.0f },
            { "HiPass Freq", 0.0f },
            { "Preamp Type", 0.0f },
        };
        ASSERT_EQ (defaults.size(), TrellaParams.size());

        // An LV2 host normalises a port's default over the port's range, in floats.
        for (const auto& [name, value] : defaults)
        {
            auto* parameter = findParameter (*plugin, name.toRawUTF8());
            EXPECT_NEAR (parameter->getDefaultValue(), value, 1.0e-6f) << name;
            EXPECT_NEAR (parameter->getValue(), value, 1.0e-6f) << name;
        }
    }

    TEST_P (Hosted, RefusesLayoutsBeyondStereo)
    {
        auto plugin = loadPlugin (GetParam());
        ASSERT_NE (plugin, nullptr);

        EXPECT_EQ (plugin->getTotalNumInputChannels(), 2);
        EXPECT_EQ (plugin->getTotalNumOutputChannels(), 2);
        plugin->releaseResources(); // a VST3 host asks the plug-in only while it is inactive

        juce::AudioProcessor::BusesLayout surround;
        surround.inputBuses.add (juce::AudioChannelSet::create5point1());
        surround.outputBuses.add (juce::AudioChannelSet::create5point1());
        EXPECT_FALSE (plugin->checkBusesLayoutSupported (surround));
        EXPECT_FALSE (plugin->setBusesLayout (surround));
        EXPECT_EQ (plugin->getTotalNumOutputChannels(), 2);
    }

    INSTANTIATE_TEST_SUITE_P (Formats, Hosted, ::testing::Values (Format::lv2, Format::vst3),
                              [] (const auto& info) { return info.param == Format::lv2 ? "LV2" : "VST3"; });

    // LV2 hosts see fixed ports (two in, two out) and feed a mono track to both inputs themselves;
    // the mono layouts are a VST3 matter.
    TEST (HostedVst3, MonoAndMonoToStereoGiveSoundOnEveryOutput)
    {
        using Set = juce::AudioChannelSet;
        for (const auto& [input, output] : { std::pair{ Set::mono(), Set::mono() }, { Set::mono(), Set::stereo() } })
        {
            auto plugin = loadPlugin (Format::vst3);
            ASSERT_NE (plugin, nullptr);
            plugin->releaseResources();

            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (input);
            layout.outputBuses.add (output);
            ASSERT_TRUE (plugin->setBusesLayout (layout)) << output.getDescription();
            plugin->prepareToPlay (sampleRate, blockSize);
            ASSERT_EQ (plugin->getTotalNumInputChannels(), 1);
            ASSERT_EQ (plugin->getTotalNumOutputChannels(), output.size());

            juce::MidiBuffer midi;
            const auto tone = signals::sine (1000.0, sampleRate, blockSize, 0.1f, 1);
            juce::AudioBuffer<float> buffer (output.size(), blockSize);
            for (int block = 0; block < 4; ++block)
            {
                buffer.clear();
                buffer.copyFrom (0, 0, tone, 0, 0, blockSize);
                plugin->processBlock (buffer, midi);
            }

            // Neutral settings: every output carries the input.
            for (int c = 0; c < output.size(); ++c)
                for (int i = 0; i < blockSize; ++i)
                    ASSERT_NEAR (buffer.getSample (c, i), tone.getSample (0, i), 1.0e-7f)
                        << output.getDescription() << ", channel " << c;
        }
    }

    TEST (HostedVst3, ValuesReadAsTextsInTheirUnitsAndTextsReadBack)
    {
        auto plugin = loadPlugin (Format::vst3);
        ASSERT_NE (plugin, nullptr);

        const struct
        {
            const char* name;
            const char* text; // of the starting value
        } shown[] = {
            { "Band 1 Freq", "120 Hz" },  { "Band 2 Freq", "1.00 kHz" }, { "LoPass Freq", "20.0 kHz" },
            { "Band 3 Gain", "0.0 dB" },  { "Gain", "0.0 dB" },          { "Band 2 Q", "1.00" },
            { "Active", "Off" },          { "Band 1 Type", "Lo-Shelf" }, { "Band 4 Type", "Hi-Shelf" },
            { "Preamp Type", "Neutral" },
        };
        for (const auto& s : shown)
        {
            auto* parameter = findParameter (*plugin, s.name);
            EXPECT_EQ (parameter->getText (parameter->getValue(), 128), s.text) << s.name;
        }

        const struct
        {
            const char* name;
            const char* text;
            float value;
        } typed[] = {
            { "Band 2 Freq", "1.2kHz", (1200.0f - 20.0f) / 19980.0f },
            { "Band 2 Gain", "+6 dB", 30.0f / 48.0f },
            { "Band 3 Q", "0.71", (0.71f - 0.1f) / 9.9f },
            { "Band 1 Type", "peak", 0.0f },
            { "Preamp Type", "N1073", 0.125f },
            { "Band 2 Active", "On", 1.0f },
            { "HiPass Freq", "0.25", 0.25f },
        };
        for (const auto& t : typed)
            EXPECT_NEAR (findParameter (*plugin, t.name)->getValueForText (t.text), t.value, 1.0e-6f) << t.name;
    }

    // The host's program list: the factory presets by name, in the VST3's order and as the LV2's
    // presets (which hosts may sort).
    const char* const factoryPresetNames[] = {
        "Default",       "Vocal Presence",      "De-Mud 300 Hz",  "Kick Weight",    "Snare Crack",
        "Bass Clarity",  "Acoustic Guitar Air", "Podcast Voice",  "Telephone Band", "Master Air",
        "Low Cut 80 Hz", "Warm Console N1073",  "Punchy Bus 1176"
    };

    int programNamed (juce::AudioPluginInstance& plugin, const juce::String& name)
    {
        for (int i = 0; i < plugin.getNumPrograms(); ++i)
            if (plugin.getProgramName (i) == name)
                return i;
        return -1;
    }

    TEST (HostedPlugin, ListsTheFactoryPresetsAsPrograms)
    {
        for (const auto format : { Format::vst3, Format::lv2 })
        {
            auto plugin = loadPlugin (format);
            ASSERT_NE (plugin, nullptr);
            ASSERT_EQ (plugin->getNumPrograms(), (int) std::size (factoryPresetNames));
            for (int i = 0; i < (int) std::size (factoryPresetNames); ++i)
            {
                EXPECT_GE (programNamed (*plugin, factoryPresetNames[i]), 0) << factoryPresetNames[i];
                if (format == Format::vst3)
                    EXPECT_EQ (plugin->getProgramName (i), factoryPresetNames[i]);
            }
        }
    }

    /** Chooses a program as a host's program menu does. The VST3 host hands the choice to the
        plug-in's controller from its message loop, and the values come back the same way.
    */
    void selectProgram (juce::AudioPluginInstance& plugin, const juce::String& name)
    {
        plugin.setCurrentProgram (programNamed (plugin, name));
        pumpMessages (100);
        processNoise (plugin);
        pumpMessages (50);
    }

    std::vector<float> hostValues (juce::AudioPluginInstance& plugin)
    {
        std::vector<float> values;
        for (const auto& row : TrellaParams)
            values.push_back (findParameter (plugin, row.name)->getValue());
        return values;
    }

    TEST (HostedLv2, AProgramChangeRestoresThePresetsPortValues)
    {
        auto plugin = loadPlugin (Format::lv2);
        ASSERT_NE (plugin, nullptr);

        juce::Random random (23);
        for (const auto& row : TrellaParams)
            findParameter (*plugin, row.name)->setValueNotifyingHost (random.nextFloat());
        processNoise (*plugin);

        // Every preset gives another setting.
        std::vector<std::vector<float>> seen;
        for (const auto* name : factoryPresetNames)
        {
            selectProgram (*plugin, name);
            const auto values = hostValues (*plugin);
            EXPECT_EQ (std::count (seen.begin(), seen.end(), values), 0) << name;
            seen.push_back (values);
        }

        // The ports of two of them, as the host shows them: values in their units, labels of the
        // scale points.
        const struct
        {
            const char* preset;
            const char* parameter;
            const char* text;
        } shown[] = {
            { "Telephone Band", "HiPass Freq", "300" },
            { "Telephone Band", "LoPass Freq", "3400" },
            { "Telephone Band", "Preamp Type", "D1960" },
            { "Telephone Band", "Active", "On" },
            { "Telephone Band", "Band 2 Gain", "4" },
            { "Default", "Active", "Off" },
            { "Default", "Band 2 Gain", "0" },
            { "Default", "HiPass Freq", "20" },
        };
        for (const auto& s : shown)
        {
            selectProgram (*plugin, s.preset);
            auto* parameter = findParameter (*plugin, s.parameter);
            EXPECT_EQ (parameter->getText (parameter->getValue(), 64), s.text) << s.preset << " " << s.parameter;
        }
    }
} // namespace
