// The built LV2 bundle in real hosts: lv2info and lv2apply from Debian's lilv-utils, and ffmpeg's
// lv2 filter. A host that is not installed makes its test skip with the package to install.

#include "support/ProgramOnPath.h"
#include "support/ScratchFolder.h"
#include "support/Signals.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdlib>
#include <map>
#include <set>

namespace
{
    /** Runs a program with LV2_PATH pointing at the built bundle only; its output, or nothing when
        it failed or took longer than two minutes.
    */
    std::optional<juce::String> run (const juce::StringArray& command)
    {
        setenv ("LV2_PATH", juce::File (KRO_LV2_BUNDLE).getParentDirectory().getFullPathName().toRawUTF8(), 1);
        juce::ChildProcess process;
        if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
            return std::nullopt;
        const auto output = process.readAllProcessOutput();
        if (! process.waitForProcessToFinish (120000) || process.getExitCode() != 0)
        {
            ADD_FAILURE() << command.joinIntoString (" ") << " failed:\n" << output;
            return std::nullopt;
        }
        return output;
    }

#define KRO_NEED_PROGRAM(name, package)                                                                                \
    const auto name##Program = findProgramOnPath (#name);                                                              \
    if (! name##Program.existsAsFile())                                                                                \
    GTEST_SKIP() << "SKIPPED: " #name " is not installed (Debian package " package ")"

    /** One port as lv2info describes it. */
    struct Port
    {
        juce::String symbol, name, minimum, maximum, defaultValue;
        std::set<juce::String> properties, types;
        std::map<juce::String, juce::String> scalePoints; // value -> label
    };

    std::map<int, Port> parsePorts (const juce::String& text, juce::String& header)
    {
        std::map<int, Port> ports;
        Port* port = nullptr;
        juce::String field;

        for (const auto& line : juce::StringArray::fromLines (text))
        {
            const auto trimmed = line.trim();
            if (trimmed.startsWith ("Port ") && trimmed.endsWithChar (':'))
            {
                port = &ports[trimmed.fromFirstOccurrenceOf ("Port ", false, false).getIntValue()];
                field = {};
                continue;
            }
            if (port == nullptr)
            {
                header << line << "\n";
                continue;
            }
            if (trimmed.isEmpty())
                continue;

            if (trimmed.containsChar (':') && ! trimmed.startsWith ("http") && ! trimmed.containsChar ('='))
            {
                field = trimmed.upToFirstOccurrenceOf (":", false, false);
                const auto value = trimmed.fromFirstOccurrenceOf (":", false, false).trim();
                if (field == "Symbol")
                    port->symbol = value;
                else if (field == "Name")
                    port->name = value;
                else if (field == "Minimum")
                    port->minimum = value;
                else if (field == "Maximum")
                    port->maximum = value;
                else if (field == "Default")
                    port->defaultValue = value;
                else if (field == "Properties" && value.isNotEmpty())
                    port->properties.insert (value.fromLastOccurrenceOf ("#", false, false));
                else if (field == "Type")
                    port->types.insert (value.fromLastOccurrenceOf ("#", false, false));
                continue;
            }

            if (field == "Properties")
                port->properties.insert (trimmed.fromLastOccurrenceOf ("#", false, false));
            else if (field == "Type")
                port->types.insert (trimmed.fromLastOccurrenceOf ("#", false, false));
            else if (field == "Scale Points")
                port->scalePoints[trimmed.upToFirstOccurrenceOf (" =", false, false)] =
                    trimmed.fromFirstOccurrenceOf ("= ", false, false).unquoted();
        }
        return ports;
    }

    TEST (Lv2InHosts, Lv2infoShowsEveryParameterAsAControlPortInItsUnits)
    {
        KRO_NEED_PROGRAM (lv2info, "lilv-utils");
        const auto output = run ({ lv2infoProgram.getFullPathName(), KRO_LV2_URI });
        ASSERT_TRUE (output.has_value());

        juce::String header;
        const auto ports = parsePorts (*output, header);
        EXPECT_FALSE (header.contains ("Required Features")) << header;
        EXPECT_TRUE (header.contains ("Has latency:       yes, reported by port 27")) << header;

        const std::set<juce::String> toggle{ "toggled", "integer" }, choice{ "integer", "enumeration" },
            logarithmic{ "logarithmic" }, none{};
        const std::map<juce::String, juce::String> types{ { "0.0", "Peak" },
                                                          { "1.0", "Lo-Shelf" },
                                                          { "2.0", "Hi-Shelf" } };
        const std::map<juce::String, juce::String> preamps{ { "0.0", "Neutral" }, { "1.0", "N1073" }, { "2.0", "A512" },
                                                            { "3.0", "D1960" },   { "4.0", "MP573" }, { "5.0", "MP1" },
                                                            { "6.0", "1176" },    { "7.0", "TLA50" } };
        struct Expected
        {
            const char *symbol, *name, *minimum, *maximum, *defaultValue;
            std::set<juce::String> properties;
            std::map<juce::String, juce::String> scalePoints;
        };
        const Expected expected[] = {
            { "master_active", "Active", "0.000000", "1.000000", "0.000000", toggle, {} },
            { "master_gain", "Gain", "-12.000000", "12.000000", "0.000000", none, {} },
            { "band1_freq", "Band 1 Freq", "20.000000", "20000.000000", "120.000000", logarithmic, {} },
            { "band2_freq", "Band 2 Freq", "20.000000", "20000.000000", "1000.000000", logarithmic, {} },
            { "band3_freq", "Band 3 Freq", "20.000000", "20000.000000", "4200.000000", logarithmic, {} },
            { "band4_freq", "Band 4 Freq", "20.000000", "20000.000000", "8500.000000", logarithmic, {} },
            { "band1_gain", "Band 1 Gain", "-24.000000", "24.000000", "0.000000", none, {} },
            { "band2_gain", "Band 2 Gain", "-24.000000", "24.000000", "0.000000", none, {} },
            { "band3_gain", "Band 3 Gain", "-24.000000", "24.000000", "0.000000", none, {} },
            { "band4_gain", "Band 4 Gain", "-24.000000", "24.000000", "0.000000", none, {} },
            { "band1_q", "Band 1 Q", "0.100000", "10.000000", "1.000000", none, {} },
            { "band2_q", "Band 2 Q", "0.100000", "10.000000", "1.000000", none, {} },
            { "band3_q", "Band 3 Q", "0.100000", "10.000000", "1.000000", none, {} },
            { "band4_q", "Band 4 Q", "0.100000", "10.000000", "1.000000", none, {} },
            { "band1_type", "Band 1 Type", "0.000000", "2.000000", "1.000000", choice, types },
            { "band4_type", "Band 4 Type", "0.000000", "2.000000", "2.000000", choice, types },
            { "band1_active", "Band 1 Active", "0.000000", "1.000000", "0.000000", toggle, {} },
            { "band2_active", "Band 2 Active", "0.000000", "1.000000", "0.000000", toggle, {} },
            { "band3_active", "Band 3 Active", "0.000000", "1.000000", "0.000000", toggle, {} },
            { "band4_active", "Band 4 Active", "0.000000", "1.000000", "0.000000", toggle, {} },
            { "lopass_freq", "LoPass Freq", "20.000000", "20000.000000", "20000.000000", logarithmic, {} },
            { "hipass_freq", "HiPass Freq", "20.000000", "20000.000000", "20.000000", logarithmic, {} },
            { "preamp_type", "Preamp Type", "0.000000", "7.000000", "0.000000", choice, preamps },
        };

        ASSERT_EQ (ports.size(), 28u);
        const char* audio[] = { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2" };
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_EQ (ports.at (i).symbol, audio[i]);
            EXPECT_TRUE (ports.at (i).types.count ("AudioPort"));
        }

        for (int i = 0; i < 23; ++i)
        {
            const auto& port = ports.at (4 + i);
            const auto& e = expected[i];
            EXPECT_EQ (port.symbol, e.symbol);
            EXPECT_EQ (port.name, e.name) << e.symbol;
            EXPECT_EQ (port.types, (std::set<juce::String>{ "ControlPort", "InputPort" })) << e.symbol;
            EXPECT_EQ (port.minimum, e.minimum) << e.symbol;
            EXPECT_EQ (port.maximum, e.maximum) << e.symbol;
            EXPECT_EQ (port.defaultValue, e.defaultValue) << e.symbol;
            EXPECT_EQ (port.properties, e.properties) << e.symbol;
            EXPECT_EQ (port.scalePoints, e.scalePoints) << e.symbol;
        }

        const auto& latency = ports.at (27);
        EXPECT_EQ (latency.symbol, "latency");
        EXPECT_EQ (latency.types, (std::set<juce::String>{ "ControlPort", "OutputPort" }));
        EXPECT_TRUE (latency.properties.count ("reportsLatency"));
    }

    TEST (Lv2InHosts, Lv2infoListsTheFactoryPresets)
    {
        KRO_NEED_PROGRAM (lv2info, "lilv-utils");
        const auto output = run ({ lv2infoProgram.getFullPathName(), KRO_LV2_URI });
        ASSERT_TRUE (output.has_value());

        const auto from = output->indexOf ("Presets:");
        ASSERT_GE (from, 0) << *output;
        juce::StringArray listed;
        for (const auto& line :
             juce::StringArray::fromLines (output->substring (from).fromFirstOccurrenceOf ("\n", false, false)))
        {
            if (line.trim().isEmpty())
                break;
            listed.add (line.trim());
        }
        listed.sort (true);

        juce::StringArray expected{ "Default",        "Vocal Presence", "De-Mud 300 Hz",       "Kick Weight",
                                    "Snare Crack",    "Bass Clarity",   "Acoustic Guitar Air", "Podcast Voice",
                                    "Telephone Band", "Master Air",     "Low Cut 80 Hz",       "Warm Console N1073",
                                    "Punchy Bus 1176" };
        expected.sort (true);
        EXPECT_EQ (listed, expected) << *output;
    }

    TEST (Lv2InHosts, TheTurtleGivesFrequenciesInHertzAndLevelsInDecibels)
    {
        // lv2info shows no units; the bundle's Turtle, as N-Triples, does.
        KRO_NEED_PROGRAM (sordi, "sordi");
        const auto ttl = juce::File (KRO_LV2_BUNDLE).getChildFile ("KroTrella.ttl");
        const auto output = run ({ sordiProgram.getFullPathName(), "file://" + ttl.getFullPathName() });
        ASSERT_TRUE (output.has_value());

        std::map<juce::String, juce::String> symbolOfNode, unitOfNode;
        for (const auto& line : juce::StringArray::fromLines (*output))
        {
            const auto tokens = juce::StringArray::fromTokens (line, " ", "\"");
            if (tokens.size() < 3)
                continue;
            if (tokens[1] == "<http://lv2plug.in/ns/lv2core#symbol>")
                symbolOfNode[tokens[0]] = tokens[2].unquoted();
            else if (tokens[1] == "<http://lv2plug.in/ns/extensions/units#unit>")
                unitOfNode[tokens[0]] = tokens[2].fromLastOccurrenceOf ("#", false, false).dropLastCharacters (1);
        }

        std::map<juce::String, juce::String> units;
        for (const auto& [node, symbol] : symbolOfNode)
            if (unitOfNode.count (node))
                units[symbol] = unitOfNode[node];

        const std::map<juce::String, juce::String> expected{
            { "master_gain", "db" }, { "band1_freq", "hz" },  { "band2_freq", "hz" },  { "band3_freq", "hz" },
            { "band4_freq", "hz" },  { "band1_gain", "db" },  { "band2_gain", "db" },  { "band3_gain", "db" },
            { "band4_gain", "db" },  { "lopass_freq", "hz" }, { "hipass_freq", "hz" }, { "latency", "frame" },
        };
        EXPECT_EQ (units, expected);
    }

    /** A stereo 32-bit float WAV of pink-ish noise and a sweep, 1.5 s at 48 kHz. */
    juce::File writeInput (const juce::File& folder)
    {
        const auto file = folder.getChildFile ("input.wav");
        juce::AudioBuffer<float> buffer (2, 72000);
        juce::Random random (11);
        signals::fillNoise (buffer, random, 0.2f);
        const auto sweep = signals::sine (997.0, 48000.0, 72000, 0.3f);
        for (int c = 0; c < 2; ++c)
            buffer.addFrom (c, 0, sweep, c, 0, 72000);

        std::unique_ptr<juce::OutputStream> stream = std::make_unique<juce::FileOutputStream> (file);
        std::unique_ptr<juce::AudioFormatWriter> writer (
            juce::WavAudioFormat().createWriterFor (stream.get(), 48000.0, 2, 32, {}, 0));
        if (writer == nullptr)
            return {};
        stream.release();
        writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
        return file;
    }

    juce::AudioBuffer<float> read (const juce::File& file)
    {
        juce::AudioBuffer<float> buffer;
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        if (std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file)); reader != nullptr)
        {
            buffer.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
            reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);
        }
        return buffer;
    }

    /** How many samples differ (bit for bit) between two files' audio; -1 when the shapes differ. */
    int differingSamples (const juce::File& a, const juce::File& b)
    {
        const auto x = read (a), y = read (b);
        if (x.getNumChannels() != y.getNumChannels() || x.getNumSamples() != y.getNumSamples() ||
            x.getNumSamples() == 0)
            return -1;
        int differing = 0;
        for (int c = 0; c < x.getNumChannels(); ++c)
            for (int i = 0; i < x.getNumSamples(); ++i)
                differing += std::memcmp (x.getReadPointer (c, i), y.getReadPointer (c, i), sizeof (float)) != 0;
        return differing;
    }

    /** An input file and the boost rendered from it by krotrella-render, which both hosts must
        equal, in a scratch folder of the test's own.
    */
    struct Rendered
    {
        Rendered()
            : input (writeInput (scratch.get()))
            , reference (input.getSiblingFile ("render.wav"))
        {
            run ({ KRO_RENDER_PROGRAM, "--set", "master_active=On", "--set", "band2_active=On", "--set",
                   "band2_freq=1kHz", "--set", "band2_gain=+12dB", "--set", "band4_active=On", "--set",
                   "band4_type=Hi-Shelf", "--set", "band4_gain=-6dB", "--set", "preamp_type=A512",
                   input.getFullPathName(), reference.getFullPathName() });
        }

        juce::File output (const char* name) const { return scratch.get().getChildFile (name); }

        const ScratchFolder scratch;
        const juce::File input, reference;
    };

    // The same setting as port values in units, by symbol.
    const std::pair<const char*, const char*> boostPorts[] = {
        { "master_active", "1" }, { "band2_active", "1" }, { "band2_freq", "1000" }, { "band2_gain", "12" },
        { "band4_active", "1" },  { "band4_type", "2" },   { "band4_gain", "-6" },   { "preamp_type", "2" },
    };

    TEST (Lv2InHosts, Lv2applyRendersBitForBitWhatTheRendererRenders)
    {
        KRO_NEED_PROGRAM (lv2apply, "lilv-utils");
        const Rendered rendered;
        ASSERT_TRUE (rendered.reference.existsAsFile());

        // lv2apply runs the plug-in one frame per call, with no features at all.
        const auto output = rendered.output ("lv2apply.wav");
        juce::StringArray command{ lv2applyProgram.getFullPathName(), "-i", rendered.input.getFullPathName(), "-o",
                                   output.getFullPathName() };
        for (const auto& [symbol, value] : boostPorts)
            command.addArray ({ "-c", symbol, value });
        command.add (KRO_LV2_URI);
        ASSERT_TRUE (run (command).has_value());

        EXPECT_EQ (differingSamples (output, rendered.reference), 0);
        EXPECT_GT (differingSamples (rendered.input, rendered.reference), 100000); // the setting changes the sound
    }

    TEST (Lv2InHosts, FfmpegsLv2FilterRendersBitForBitWhatTheRendererRenders)
    {
        KRO_NEED_PROGRAM (ffmpeg, "ffmpeg");
        const Rendered rendered;
        ASSERT_TRUE (rendered.reference.existsAsFile());

        juce::StringArray controls;
        for (const auto& [symbol, value] : boostPorts)
            controls.add (juce::String (symbol) + "=" + value);
        const auto uri = juce::String (KRO_LV2_URI).replace (":", "\\\\:");
        const auto output = rendered.output ("ffmpeg.wav");
        ASSERT_TRUE (
            run ({ ffmpegProgram.getFullPathName(), "-hide_banner", "-nostdin", "-loglevel", "error", "-i",
                   rendered.input.getFullPathName(), "-af", "lv2=p=" + uri + ":c=" + controls.joinIntoString ("|"),
                   "-c:a", "pcm_f32le", output.getFullPathName() })
                .has_value());

        EXPECT_EQ (differingSamples (output, rendered.reference), 0);
    }
} // namespace
