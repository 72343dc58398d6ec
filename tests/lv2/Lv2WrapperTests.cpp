// The LV2 wrapper driven through its exported descriptor, as a host drives it: port values in
// units, block lengths, the order of restores, and what it refuses.

#include "Lv2TestHost.h"
#include "lv2/Lv2PluginInstance.h"
#include "lv2/Lv2PortLayout.h"

#include "processor/PluginProcessor.h"
#include "state/ParameterText.h"
#include "state/TrellaParams.h"
#include "support/Signals.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>

namespace
{
    /** EQ on, band 2 at 1 kHz +12 dB, band 4 a high shelf at -6 dB, preamp "A512": as port values
        and as the texts the renderer's --set takes.
    */
    struct Setting
    {
        const char* symbol;
        float portValue;
        const char* text;
    };
    const Setting boost[] = { { "master_active", 1.0f, "On" },   { "band2_active", 1.0f, "On" },
                              { "band2_freq", 1000.0f, "1kHz" }, { "band2_gain", 12.0f, "+12dB" },
                              { "band4_active", 1.0f, "On" },    { "band4_type", 2.0f, "Hi-Shelf" },
                              { "band4_gain", -6.0f, "-6 dB" },  { "preamp_type", 2.0f, "A512" } };

    juce::AudioBuffer<float> noise (int numSamples, int seed = 7)
    {
        juce::AudioBuffer<float> buffer (2, numSamples);
        juce::Random random (seed);
        signals::fillNoise (buffer, random, 0.3f);
        return buffer;
    }

    float parameterValue (const Lv2TestHost& host, const char* id)
    {
        return host.instance().getProcessor().getKroParameter (findTrellaParamIndex (id))->getValue();
    }

    bool sameSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        for (int c = 0; c < 2; ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) !=
                0)
                return false;
        return true;
    }

    TEST (Lv2Ports, APortValueIsTheNormalisedValueOfTheSameSettingWrittenAsText)
    {
        const Setting cases[] = {
            { "band2_freq", 1000.0f, "1 kHz" },
            { "hipass_freq", 40.0f, "40 Hz" },
            { "lopass_freq", 20000.0f, "20kHz" },
            { "band1_freq", 123.4f, "123.4Hz" },
            { "band3_gain", -7.5f, "-7.5 dB" },
            { "master_gain", 12.0f, "+12 dB" },
            { "band3_q", 0.71f, "0.71" },
            { "band1_q", 10.0f, "10" },
            { "band1_type", 0.0f, "Peak" },
            { "band1_type", 1.0f, "Lo-Shelf" },
            { "band4_type", 2.0f, "Hi-Shelf" },
            { "preamp_type", 0.0f, "Neutral" },
            { "preamp_type", 7.0f, "TLA50" },
            { "master_active", 1.0f, "On" },
            { "band3_active", 0.0f, "Off" },
            // Beyond the range: the nearest end; between whole numbers: the nearest one.
            { "band2_gain", 99.0f, "+24 dB" },
            { "hipass_freq", 1.0f, "20 Hz" },
            { "preamp_type", 2.4f, "A512" },
            { "band1_type", 1.6f, "Hi-Shelf" },
            { "preamp_type", 9.0f, "TLA50" },
            { "band2_active", 0.5f, "On" },
        };

        for (const auto& c : cases)
        {
            const int index = findTrellaParamIndex (c.symbol);
            ASSERT_GE (index, 0) << c.symbol;
            const auto fromText = ParameterText::parse (index, c.text);
            ASSERT_TRUE (fromText.has_value()) << c.text;
            EXPECT_EQ (Lv2PortLayout::normalisedFromPortValue (index, c.portValue), *fromText)
                << c.symbol << " = " << c.portValue;
        }
    }

    TEST (Lv2Ports, APortValueWrittenForANormalisedValueGivesItBack)
    {
        // What the window writes to the host comes back from the port as the value it set: exactly
        // where a float in units maps there, else the nearest (floats in units and normalised floats
        // are spaced differently), and writing that again gives the same port value, so values
        // never creep through the host and back.
        const KroTrellaAudioProcessor processor;
        for (int index = 0; index < (int) numTrellaParams; ++index)
        {
            const auto& port = Lv2PortLayout::controls()[(size_t) index];
            const auto steps = port.isInteger() ? (int) port.maximum : 997;
            for (int step = 0; step <= steps; ++step)
            {
                const auto normalised = port.isToggle()                              ? (float) step
                                        : port.kind == Lv2PortLayout::Kind::bandType ? (float) step * 0.5f
                                        : port.kind == Lv2PortLayout::Kind::preamp   ? (float) step / 8.0f
                                                                                     : (float) step / (float) steps;
                const auto portValue = Lv2PortLayout::portValueFromNormalised (index, normalised);
                const auto back = Lv2PortLayout::normalisedFromPortValue (index, portValue);
                if (port.isInteger())
                    EXPECT_EQ (back, normalised) << port.symbol << " at " << normalised;
                EXPECT_NEAR (back, normalised, 1.0e-7f) << port.symbol << " at " << normalised;
                EXPECT_EQ (Lv2PortLayout::portValueFromNormalised (index, back), portValue)
                    << port.symbol << " at " << normalised;
            }

            // The default is the processor's.
            EXPECT_EQ (Lv2PortLayout::normalisedFromPortValue (index, port.defaultValue),
                       processor.getKroParameter (index)->getDefaultValue())
                << port.symbol;
        }
    }

    TEST (Lv2Run, AnyBlockLengthGivesTheProcessorsOwnOutputBitForBit)
    {
        // The reference: the processor itself, set by the parameters' texts, in blocks of 512.
        const auto input = noise (48000);
        auto expected = input;
        {
            KroTrellaAudioProcessor processor;
            processor.prepareToPlay (48000.0, 512);
            for (const auto& s : boost)
                processor.getKroParameter (findTrellaParamIndex (s.symbol))
                    ->setValue (*ParameterText::parse (findTrellaParamIndex (s.symbol), s.text));
            juce::MidiBuffer midi;
            for (int done = 0; done < expected.getNumSamples(); done += 512)
            {
                juce::AudioBuffer<float> block (expected.getArrayOfWritePointers(), 2, done,
                                                juce::jmin (512, expected.getNumSamples() - done));
                processor.processBlock (block, midi);
            }
        }

        struct Case
        {
            const char* what;
            Lv2TestHost::Setup setup;
            std::vector<int> blocks;
            bool sharedBuffers;
            int preparedLength;
        };
        const Case cases[] = {
            { "one frame per run, no features", { 48000.0, false }, { 1 }, false, 1024 },
            { "blocks up to the host's bounded maximum",
              { 48000.0, true, 512, 128, true },
              { 512, 17, 300 },
              false,
              512 },
            { "blocks longer than an unbounded maximum", { 48000.0, true, 256 }, { 8192, 1000, 3 }, false, 256 },
            { "nominal length only, in place", { 48000.0, true, std::nullopt, 64 }, { 64, 4096, 1 }, true, 64 },
            { "a maximum beyond the longest prepared block",
              { 48000.0, true, 100000, std::nullopt, true },
              { 20000 },
              false,
              8192 },
        };

        for (const auto& c : cases)
        {
            Lv2TestHost host (c.setup);
            ASSERT_TRUE (host.isLoaded()) << c.what;
            EXPECT_EQ (host.instance().getPreparedBlockLength(), c.preparedLength) << c.what;
            for (const auto& s : boost)
                host.setPort (s.symbol, s.portValue);
            host.activate();

            auto output = input;
            host.process (output, c.blocks, c.sharedBuffers);
            EXPECT_TRUE (sameSamples (output, expected)) << c.what;
            EXPECT_EQ (host.getLatency(), 0.0f);
        }
    }

    TEST (Lv2Run, APortIsAppliedOnlyWhenItChanges)
    {
        Lv2TestHost host;
        host.activate();
        auto buffer = noise (64);
        host.setPort ("band2_gain", 12.0f);
        host.process (buffer, { 64 });
        EXPECT_EQ (parameterValue (host, "band2_gain"), 36.0f / 48.0f);

        // The window sets another value; the host's port, unchanged, does not take it back.
        auto& processor = host.instance().getProcessor();
        processor.getKroParameter (findTrellaParamIndex ("band2_gain"))->setValue (0.25f);
        host.process (buffer, { 64 });
        EXPECT_EQ (parameterValue (host, "band2_gain"), 0.25f);

        // A port the host changes applies at once; a NaN on a port changes nothing.
        host.setPort ("band2_gain", -12.0f);
        host.setPort ("band3_freq", std::numeric_limits<float>::quiet_NaN());
        host.process (buffer, { 64 });
        EXPECT_EQ (parameterValue (host, "band2_gain"), 0.25f);
        EXPECT_EQ (parameterValue (host, "band3_freq"), (4200.0f - 20.0f) / 19980.0f);
    }

    TEST (Lv2State, TheSavedStateIsTheProcessorsDocument)
    {
        Lv2TestHost host;
        for (const auto& s : boost)
            host.setPort (s.symbol, s.portValue);
        auto buffer = noise (64);
        host.process (buffer, { 64 });

        Lv2TestHost::State state;
        ASSERT_EQ (host.save (state), LV2_STATE_SUCCESS);
        ASSERT_EQ (state.size(), 1u);
        const auto& [key, property] = *state.begin();
        EXPECT_EQ (key, std::string (KRO_LV2_URI) + "#KroPRESET");
        EXPECT_EQ (property.type, LV2_ATOM__String);

        // The same document the VST3 and the standalone save.
        juce::MemoryBlock block;
        host.instance().getProcessor().getStateInformation (block);
        const auto document = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
        ASSERT_NE (document, nullptr);
        const auto saved = juce::parseXML (juce::String::fromUTF8 (property.bytes.data()));
        ASSERT_NE (saved, nullptr);
        EXPECT_TRUE (saved->isEquivalentTo (document.get(), false));
    }

    /** A state saved by an instance with the boost on its ports, and its output on noise. */
    struct Saved
    {
        Lv2TestHost::State state;
        juce::AudioBuffer<float> output;
    };

    Saved saveBoost (const juce::AudioBuffer<float>& input)
    {
        Saved saved;
        Lv2TestHost host;
        for (const auto& s : boost)
            host.setPort (s.symbol, s.portValue);
        auto warmUp = noise (512, 99);
        host.process (warmUp, { 512 });
        host.save (saved.state);
        host.activate(); // from silence, as the restored instances below
        saved.output = input;
        host.process (saved.output, { 512 });
        return saved;
    }

    TEST (Lv2State, BothRestoreOrdersEndWithTheRestoredValuesOnThePortsAndInTheSound)
    {
        const auto input = noise (4800);
        const auto saved = saveBoost (input);

        for (const bool stateFirst : { true, false })
        {
            Lv2TestHost host;
            auto running = noise (512, 5);
            host.process (running, { 512 }); // a running instance, as in a host that loads a session

            if (stateFirst)
                ASSERT_EQ (host.restore (saved.state), LV2_STATE_SUCCESS);
            for (const auto& s : boost)
                host.setPort (s.symbol, s.portValue);
            if (! stateFirst)
                ASSERT_EQ (host.restore (saved.state), LV2_STATE_SUCCESS);

            auto warmUp = noise (512, 99);
            host.process (warmUp, { 512 });
            host.activate();
            auto output = input;
            host.process (output, { 512 });
            EXPECT_TRUE (sameSamples (output, saved.output)) << (stateFirst ? "state first" : "ports first");
            for (const auto& s : boost)
                EXPECT_EQ (parameterValue (host, s.symbol),
                           *ParameterText::parse (findTrellaParamIndex (s.symbol), s.text))
                    << s.symbol;
        }
    }

    TEST (Lv2State, ARestoreHoldsUntilTheHostsPortsSaySomethingElse)
    {
        const auto input = noise (512);
        const auto saved = saveBoost (input);

        // Restored alone, the document plays; a port still at another value then wins at the next
        // run, so what plays is always what the host's ports show.
        Lv2TestHost host;
        ASSERT_EQ (host.restore (saved.state), LV2_STATE_SUCCESS);
        EXPECT_EQ (parameterValue (host, "band2_gain"), 36.0f / 48.0f);
        auto buffer = noise (64);
        host.process (buffer, { 64 });
        EXPECT_EQ (parameterValue (host, "band2_gain"), 0.5f);

        // A port the host then sets to the restored value is taken as it is.
        ASSERT_EQ (host.restore (saved.state), LV2_STATE_SUCCESS);
        host.setPort ("band2_gain", 12.0f);
        host.process (buffer, { 64 });
        EXPECT_EQ (parameterValue (host, "band2_gain"), 36.0f / 48.0f);
    }

    TEST (Lv2State, ADocumentSavedByTheVst3OrTheStandaloneRestores)
    {
        // The document as the processor writes it for every format, values normalised.
        const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KroPRESET>"
                                     "<PARAM ID=\"master_active\" ValueFloat=\"1.0\" ValueMidi=\"1\"/>"
                                     "<PARAM ID=\"band2_gain\" ValueFloat=\"0.75\" ValueMidi=\"95\"/>"
                                     "<PARAM ID=\"preamp_type\" ValueFloat=\"0.25\" ValueMidi=\"1\"/>"
                                     "</KroPRESET>";
        Lv2TestHost::State state{ { std::string (KRO_LV2_URI) + "#KroPRESET",
                                    { LV2_ATOM__String, std::vector<char> (document.begin(), document.end()) } } };
        state.begin()->second.bytes.push_back ('\0');

        Lv2TestHost host;
        ASSERT_EQ (host.restore (state), LV2_STATE_SUCCESS);
        EXPECT_EQ (parameterValue (host, "master_active"), 1.0f);
        EXPECT_EQ (parameterValue (host, "band2_gain"), 0.75f);
        EXPECT_EQ (parameterValue (host, "preamp_type"), 0.25f);
        EXPECT_EQ (parameterValue (host, "band3_gain"), 0.5f); // not in the document: as it was
    }

    TEST (Lv2State, DamagedOrForeignStatesChangeNothing)
    {
        Lv2TestHost host;
        host.setPort ("band2_gain", 6.0f);
        auto buffer = noise (64);
        host.process (buffer, { 64 });
        const auto key = std::string (KRO_LV2_URI) + "#KroPRESET";

        const auto text = [] (const std::string& s)
        {
            std::vector<char> bytes (s.begin(), s.end());
            bytes.push_back ('\0');
            return bytes;
        };
        const std::pair<Lv2TestHost::State, LV2_State_Status> cases[] = {
            { { { key, { LV2_ATOM__String, text ("<KroPRESET><PARAM ID=\"band2_gain\" ValueFloat=") } } },
              LV2_STATE_ERR_UNKNOWN },
            { { { key, { LV2_ATOM__String, text (std::string (100000, '<')) } } }, LV2_STATE_ERR_UNKNOWN },
            { { { key, { LV2_ATOM__Chunk, text ("<KroPRESET/>") } } }, LV2_STATE_ERR_BAD_TYPE },
            { { { key, { LV2_ATOM__String, std::vector<char>{ 'n', 'o', ' ', 'e', 'n', 'd' } } } },
              LV2_STATE_ERR_UNKNOWN },
            { {}, LV2_STATE_SUCCESS }, // a preset of port values only
        };

        for (const auto& [state, status] : cases)
        {
            EXPECT_EQ (host.restore (state), status);
            EXPECT_EQ (parameterValue (host, "band2_gain"), 30.0f / 48.0f);
        }
    }

    TEST (Lv2Instance, RatesOutsideEightKilohertzTo768KilohertzAreRefused)
    {
        for (const double rate : { 0.0, -48000.0, 4000.0, 1.0e6, std::numeric_limits<double>::quiet_NaN() })
            EXPECT_FALSE (Lv2TestHost ({ rate }).isLoaded()) << rate;

        for (const double rate : { 8000.0, 768000.0 })
        {
            Lv2TestHost host ({ rate });
            ASSERT_TRUE (host.isLoaded()) << rate;
            host.setPort ("master_active", 1.0f);
            auto buffer = noise (1000);
            buffer.setSample (0, 10, std::numeric_limits<float>::infinity());
            buffer.setSample (1, 20, std::numeric_limits<float>::quiet_NaN());
            host.process (buffer, { 333 });
            EXPECT_TRUE (signals::allFinite (buffer)) << rate;
        }
    }

    TEST (Lv2Instance, WithoutAUridMapItRunsButSavesNothing)
    {
        Lv2TestHost host ({ 44100.0, false });
        ASSERT_TRUE (host.isLoaded());
        host.setPort ("band1_gain", 3.0f);
        auto buffer = noise (128);
        host.process (buffer, { 128 });
        EXPECT_EQ (parameterValue (host, "band1_gain"), 27.0f / 48.0f);
        EXPECT_EQ (host.instance().getPreparedBlockLength(), 1024);

        Lv2TestHost::State state;
        EXPECT_EQ (host.save (state), LV2_STATE_ERR_NO_FEATURE);
        EXPECT_EQ (host.restore (state), LV2_STATE_ERR_NO_FEATURE);
    }
} // namespace
