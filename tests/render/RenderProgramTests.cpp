// The built krotrella-render, run as a user runs it, on files made by the tests.

#include "RenderTestSupport.h"
#include "support/ScratchFolder.h"
#include "support/Signals.h"

#include "processor/PluginProcessor.h"
#include "render/FileRenderer.h"
#include "state/FactoryPresets.h"
#include "state/PresetDocument.h"
#include "state/PresetLibrary.h"

#include <gtest/gtest.h>

using namespace render_test;

namespace
{
    class RenderTest : public ::testing::Test
    {
    protected:
        juce::File file (const char* name) const { return scratch.get().getChildFile (name); }

        ProgramResult run (const std::vector<std::string>& arguments, const RunConditions& conditions = {}) const
        {
            return runRender (scratch.get(), arguments, conditions);
        }

        ScratchFolder scratch;
    };

    double rmsOver (const juce::AudioBuffer<float>& buffer, int channel, int start)
    {
        double sum = 0.0;
        for (int i = start; i < buffer.getNumSamples(); ++i)
            sum += (double) buffer.getSample (channel, i) * buffer.getSample (channel, i);
        return std::sqrt (sum / (buffer.getNumSamples() - start));
    }

    /** What the plug-in's processor makes of samples, processed as a host would, block by block. */
    juce::AudioBuffer<float> processBlockOutput (const juce::AudioBuffer<float>& input, double sampleRate,
                                                 const std::vector<std::pair<int, float>>& values)
    {
        KroTrellaAudioProcessor processor;
        const auto channels =
            input.getNumChannels() == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        auto layout = processor.getBusesLayout();
        layout.inputBuses.getReference (0) = channels;
        layout.outputBuses.getReference (0) = channels;
        EXPECT_TRUE (processor.setBusesLayout (layout));

        const int blockSize = FileRenderer::blockSize;
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
        for (const auto& [index, value] : values)
            processor.getKroParameter (index)->setValue (value);

        juce::AudioBuffer<float> output (input);
        juce::MidiBuffer midi;
        for (int start = 0; start < output.getNumSamples(); start += blockSize)
        {
            const int length = juce::jmin (blockSize, output.getNumSamples() - start);
            float* pointers[2] = { output.getWritePointer (0, start),
                                   output.getWritePointer (output.getNumChannels() - 1, start) };
            juce::AudioBuffer<float> block (pointers, output.getNumChannels(), length);
            processor.processBlock (block, midi);
        }
        return output;
    }

    bool bitIdentical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
            return false;
        for (int c = 0; c < a.getNumChannels(); ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) !=
                0)
                return false;
        return true;
    }

    //==============================================================================
    struct BoostCase
    {
        double sampleRate;
        int channels;
        std::vector<std::string> settings;
    };

    void PrintTo (const BoostCase& c, std::ostream* out)
    {
        *out << c.sampleRate << " Hz, " << c.channels << " channels, " << c.settings[5];
    }

    // In units as the parameters show them, and as bare normalised numbers.
    const std::vector<std::string> boostInUnits = { "--set", "master_active=On", "--set", "band2_active=On",
                                                    "--set", "band2_gain=+12dB", "--set", "band2_freq=1kHz" };
    const std::vector<std::string> boostNormalised = { "--set", "master_active=1", "--set", "band2_active=1",
                                                       "--set", "band2_gain=0.75", "--set", "band2_freq=0.0490490490" };

    class RenderBoost : public RenderTest, public ::testing::WithParamInterface<BoostCase>
    {
    };

    TEST_P (RenderBoost, TwelveDecibelBandAtOneKilohertzRendersTwelveDecibelsOnASine)
    {
        const auto& [rate, channels, settings] = GetParam();
        const auto sine = [&]
        {
            juce::AudioBuffer<float> buffer (channels, (int) rate * 2);
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                for (int c = 0; c < channels; ++c)
                    buffer.setSample (
                        c, i, (float) (0.1 * std::sin (2.0 * juce::MathConstants<double>::pi * 1000.0 * i / rate)));
            return buffer;
        }();
        writeAudio (file ("sine.wav"), sine, rate, 32);

        const auto result = run (join (settings, { "sine.wav", "boosted.wav" }));
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const auto output = readAudio (file ("boosted.wav"));
        ASSERT_EQ (output.samples.getNumChannels(), channels);
        for (int c = 0; c < channels; ++c)
        {
            // The last second: the band has long settled.
            const double gain =
                20.0 * std::log10 (rmsOver (output.samples, c, (int) rate) / rmsOver (sine, c, (int) rate));
            EXPECT_NEAR (gain, 12.0, 0.05) << "channel " << c;
        }
    }

    INSTANTIATE_TEST_SUITE_P (RatesAndChannels, RenderBoost,
                              ::testing::Values (BoostCase{ 44100.0, 2, boostInUnits },
                                                 BoostCase{ 48000.0, 1, boostNormalised },
                                                 BoostCase{ 96000.0, 2, boostInUnits }));

    //==============================================================================
    struct ExactnessCase
    {
        int channels;
        bool withPreamp;
    };

    void PrintTo (const ExactnessCase& c, std::ostream* out)
    {
        *out << c.channels << " channels" << (c.withPreamp ? ", preamp A512" : "");
    }

    class RenderExactness : public RenderTest, public ::testing::WithParamInterface<ExactnessCase>
    {
    };

    TEST_P (RenderExactness, OutputEqualsTheProcessorsProcessBlockOutputBitForBit)
    {
        const auto [channels, withPreamp] = GetParam();
        const double rate = 48000.0;
        // Not a whole number of blocks, so that the last, short block is covered too.
        const auto input = noise (channels, 3 * FileRenderer::blockSize + 123);
        writeAudio (file ("in.wav"), input, rate, 32);

        auto arguments = sixFilterSettings();
        auto values = sixFilterValues();
        if (withPreamp)
        {
            arguments = join (arguments, { "--set", "preamp_type=A512" });
            values.push_back ({ 22, 2.0f / 8.0f });
        }

        const auto result = run (join (arguments, { "in.wav", "out.wav" }));
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const auto rendered = readAudio (file ("out.wav"));
        EXPECT_TRUE (rendered.isFloat);
        const auto expected = processBlockOutput (input, rate, values);
        EXPECT_FALSE (bitIdentical (expected, input)) << "the setting must change the sound";
        EXPECT_TRUE (bitIdentical (rendered.samples, expected));
    }

    INSTANTIATE_TEST_SUITE_P (MonoStereoAndPreamp, RenderExactness,
                              ::testing::Values (ExactnessCase{ 1, false }, ExactnessCase{ 2, false },
                                                 ExactnessCase{ 2, true }));

    //==============================================================================
    TEST_F (RenderTest, TwoRunsAreBitIdentical)
    {
        writeAudio (file ("in.wav"), noise (2, 100000), 44100.0, 24);

        for (const auto* output : { "first.wav", "second.wav", "first.flac", "second.flac" })
            ASSERT_EQ (run (join (sixFilterSettings(), { "in.wav", output })).exitCode, 0) << output;

        EXPECT_TRUE (sameBytes (file ("first.wav"), file ("second.wav")));
        EXPECT_TRUE (sameBytes (file ("first.flac"), file ("second.flac")));
        EXPECT_FALSE (sameBytes (file ("in.wav"), file ("first.wav")));
    }

    TEST_F (RenderTest, TwoRunsWithAPreampAreBitIdentical)
    {
        writeAudio (file ("in.wav"), noise (2, 100000), 44100.0, 24);
        const auto withPreamp = join (sixFilterSettings(), { "--set", "preamp_type=A512" });

        ASSERT_EQ (run (join (withPreamp, { "in.wav", "first.wav" })).exitCode, 0);
        ASSERT_EQ (run (join (withPreamp, { "in.wav", "second.wav" })).exitCode, 0);
        ASSERT_EQ (run (join (sixFilterSettings(), { "in.wav", "neutral.wav" })).exitCode, 0);

        EXPECT_TRUE (sameBytes (file ("first.wav"), file ("second.wav")));
        EXPECT_FALSE (sameBytes (file ("first.wav"), file ("neutral.wav"))) << "the preamp must colour the sound";
    }

    //==============================================================================
    enum class PresetForm
    {
        document,       // the KroPRESET XML as text
        standaloneState // what the standalone app's "Save current state" writes
    };

    class RenderPreset : public RenderTest, public ::testing::WithParamInterface<PresetForm>
    {
    };

    TEST_P (RenderPreset, PresetFileAndTheSameSettingsGivenWithSetRenderIdenticalFiles)
    {
        KroTrellaAudioProcessor configured;
        for (const auto& [index, value] : sixFilterValues())
            configured.getKroParameter (index)->setValue (value);

        const auto preset = file ("setting.preset");
        if (GetParam() == PresetForm::document)
        {
            PresetDocument::Values values{};
            for (size_t i = 0; i < values.size(); ++i)
                values[i] = configured.getKroParameter ((int) i)->getValue();
            ASSERT_TRUE (preset.replaceWithText (PresetDocument::create (values)->toString()));
        }
        else
        {
            juce::MemoryBlock state;
            configured.getStateInformation (state);
            ASSERT_TRUE (preset.replaceWithData (state.getData(), state.getSize()));
        }

        writeAudio (file ("in.wav"), noise (2, 50000), 44100.0, 24);
        const auto fromPreset = run ({ "--preset", "setting.preset", "in.wav", "preset.wav" });
        const auto fromSet = run (join (sixFilterSettings(), { "in.wav", "set.wav" }));
        const auto unchanged = run ({ "in.wav", "default.wav" });
        ASSERT_EQ (fromPreset.exitCode, 0) << fromPreset.err;
        ASSERT_EQ (fromSet.exitCode, 0) << fromSet.err;
        ASSERT_EQ (unchanged.exitCode, 0) << unchanged.err;

        EXPECT_TRUE (sameBytes (file ("preset.wav"), file ("set.wav")));
        EXPECT_FALSE (sameBytes (file ("preset.wav"), file ("default.wav")));
    }

    INSTANTIATE_TEST_SUITE_P (Forms, RenderPreset,
                              ::testing::Values (PresetForm::document, PresetForm::standaloneState));

    TEST_F (RenderTest, AFactoryPresetByNameRendersAsThePlugInsProgram)
    {
        const auto input = noise (2, 2 * FileRenderer::blockSize + 77);
        writeAudio (file ("in.wav"), input, 48000.0, 32);

        for (const auto* name : { "Punchy Bus 1176", "telephone band" })
        {
            const auto result = run ({ "--preset", name, "in.wav", "out.wav", "--force" });
            ASSERT_EQ (result.exitCode, 0) << result.err;

            KroTrellaAudioProcessor plugin;
            plugin.setCurrentProgram (*FactoryPresets::find (name));
            std::vector<std::pair<int, float>> values;
            for (int i = 0; i < (int) numTrellaParams; ++i)
                values.push_back ({ i, plugin.getKroParameter (i)->getValue() });

            const auto expected = processBlockOutput (input, 48000.0, values);
            EXPECT_FALSE (bitIdentical (expected, input)) << name;
            EXPECT_TRUE (bitIdentical (readAudio (file ("out.wav")).samples, expected)) << name;
        }
    }

    TEST_F (RenderTest, UserPresetsAreFoundByNameAndListedWithTheUnreadableOnes)
    {
        // The program reads the same data folder as this test process (XDG_CONFIG_HOME).
        const PresetLibrary library (KroTrellaAudioProcessor::getUserPresetFolder());
        auto values = FactoryPresets::values (0);
        for (const auto& [index, value] : sixFilterValues())
            values[(size_t) index] = value;
        ASSERT_EQ (library.save ("Mix bus / \"wide\"", values), "");
        ASSERT_TRUE (library.getFolder().getChildFile ("damaged.xml").replaceWithText ("<KroPRESET"));

        writeAudio (file ("in.wav"), noise (2, 30000), 44100.0, 24);
        const auto byName = run ({ "--preset", "mix bus / \"WIDE\"", "in.wav", "user.wav" });
        const auto bySet = run (join (sixFilterSettings(), { "in.wav", "set.wav" }));
        ASSERT_EQ (byName.exitCode, 0) << byName.err;
        ASSERT_EQ (bySet.exitCode, 0) << bySet.err;
        EXPECT_TRUE (sameBytes (file ("user.wav"), file ("set.wav")));

        const auto listed = run ({ "--list-presets" });
        EXPECT_EQ (listed.exitCode, 0);
        for (int i = 0; i < FactoryPresets::count(); ++i)
            EXPECT_NE (listed.out.find ("    " + FactoryPresets::name (i).toStdString() + "\n"), std::string::npos);
        EXPECT_NE (listed.out.find ("    Mix bus / \"wide\"\n"), std::string::npos) << listed.out;
        EXPECT_NE (listed.out.find ("damaged.xml"), std::string::npos) << listed.out;

        const auto unknown = run ({ "--preset", "No Such Preset", "in.wav", "x.wav" });
        EXPECT_EQ (unknown.exitCode, 2);
        EXPECT_NE (unknown.err.find ("--list-presets"), std::string::npos) << unknown.err;
        EXPECT_FALSE (file ("x.wav").exists());
        EXPECT_EQ (run ({ "--list-presets", "in.wav" }).exitCode, 2);
    }

    TEST_F (RenderTest, SetIsAppliedAfterThePreset)
    {
        KroTrellaAudioProcessor configured;
        configured.getKroParameter (0)->setValue (1.0f);  // master_active
        configured.getKroParameter (7)->setValue (1.0f);  // band2_gain +24 dB
        configured.getKroParameter (17)->setValue (1.0f); // band2_active
        juce::MemoryBlock state;
        configured.getStateInformation (state);
        ASSERT_TRUE (file ("loud.state").replaceWithData (state.getData(), state.getSize()));

        const auto result = run ({ "--preset", "loud.state", "--set", "band2_gain=0dB", "--list" });
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const auto lines = juce::StringArray::fromLines (juce::String (result.out));
        const auto lineOf = [&lines] (const char* id)
        {
            for (const auto& line : lines)
                if (line.startsWith (juce::String (id) + " "))
                    return line;
            return juce::String();
        };
        const auto gainText = configured.getKroParameter (7)->getText (0.5f, 1024);
        const auto activeText = configured.getKroParameter (0)->getText (1.0f, 1024);
        EXPECT_TRUE (lineOf ("band2_gain").endsWith (" " + gainText)) << lineOf ("band2_gain");
        EXPECT_TRUE (lineOf ("master_active").endsWith (" " + activeText)) << lineOf ("master_active");
    }

    //==============================================================================
    // An equaliser file as AutoEQ and REW write them, with one line the equaliser cannot use.
    const char* const correctionFile = "Preamp: -3,5 dB\n"
                                       "Filter 1: ON LSC Fc 105 Hz Gain 6.4 dB Q 0.70\n"
                                       "Filter 2: ON PK Fc 1250 Hz Gain -3.2 dB Q 1.41\n"
                                       "Filter 3: ON PK Fc 3400 Hz Gain 4.1 dB BW Oct 0.5\n"
                                       "Filter 4: ON HSC Fc 9000 Hz Gain -2.8 dB Q 0.7\n"
                                       "Filter 5: ON BP Fc 500 Hz Q 2\n";

    /** The file's response at a frequency, in dB, from the cookbook formulas designed here. */
    double correctionDecibels (double frequency, double rate)
    {
        const auto q = std::sqrt (std::sqrt (2.0)) / (std::sqrt (2.0) - 1.0); // half an octave
        return -3.5 + signals::toDb (textbook::lowShelf (rate, 105.0, 0.70, 6.4).magnitudeAt (frequency, rate)) +
               signals::toDb (textbook::peak (rate, 1250.0, 1.41, -3.2).magnitudeAt (frequency, rate)) +
               signals::toDb (textbook::peak (rate, 3400.0, q, 4.1).magnitudeAt (frequency, rate)) +
               signals::toDb (textbook::highShelf (rate, 9000.0, 0.7, -2.8).magnitudeAt (frequency, rate));
    }

    TEST_F (RenderTest, ImportedEqualiserFileSoundsLikeTheFileAndNamesTheLineItCannotUse)
    {
        const double rate = 48000.0;
        ASSERT_TRUE (file ("ParametricEQ.txt").replaceWithText (correctionFile));
        juce::AudioBuffer<float> impulse (2, 65536);
        impulse.clear();
        impulse.setSample (0, 0, 1.0f);
        impulse.setSample (1, 0, 1.0f);
        writeAudio (file ("impulse.wav"), impulse, rate, 32);

        const auto result = run ({ "--import-eq", "ParametricEQ.txt", "impulse.wav", "response.wav" });
        ASSERT_EQ (result.exitCode, 0) << result.err;
        EXPECT_NE (result.err.find ("krotrella-render: --import-eq ParametricEQ.txt: line 6: filter type 'BP'"),
                   std::string::npos)
            << result.err;
        EXPECT_NE (result.err.find ("krotrella-render: --import-eq ParametricEQ.txt: took over 4 filters one to one; "
                                    "largest deviation 0.00 dB"),
                   std::string::npos)
            << result.err;

        const auto output = readAudio (file ("response.wav"));
        double largest = 0.0;
        for (const double f : signals::logSpacedFrequencies (20.0, 20000.0, 201))
            for (int c = 0; c < 2; ++c)
            {
                const std::vector<float> channel (output.samples.getReadPointer (c),
                                                  output.samples.getReadPointer (c) + output.samples.getNumSamples());
                const double measured = signals::toDb (signals::magnitudeAt (channel, f, rate));
                largest = std::max (largest, std::abs (measured - correctionDecibels (f, rate)));
            }
        std::cout << "rendered response against the file's: largest difference " << largest << " dB\n";
        EXPECT_LT (largest, 0.01);

        // The line notes are problems with the input and stay under --quiet; the figures go.
        const auto quiet = run ({ "--quiet", "--import-eq", "ParametricEQ.txt", "--list" });
        ASSERT_EQ (quiet.exitCode, 0) << quiet.err;
        EXPECT_NE (quiet.err.find ("line 6: filter type 'BP'"), std::string::npos) << quiet.err;
        EXPECT_EQ (quiet.err.find ("took over"), std::string::npos) << quiet.err;
    }

    TEST_F (RenderTest, ImportedEqualiserFileComesBeforeThePresetAndTheSetValues)
    {
        ASSERT_TRUE (file ("ParametricEQ.txt").replaceWithText (correctionFile));
        // A preset that names one parameter: band1_gain at -12 dB.
        ASSERT_TRUE (file ("bass.preset")
                         .replaceWithText ("<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"0.25\"/>"
                                           "</KroPRESET>"));

        const auto result =
            run ({ "--set", "band2_gain=0dB", "--preset", "bass.preset", "--import-eq", "ParametricEQ.txt", "--list" });
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const auto lines = juce::StringArray::fromLines (juce::String (result.out));
        const auto valueOf = [&lines] (const char* id)
        {
            for (const auto& line : lines)
                if (line.startsWith (juce::String (id) + " "))
                    return line.fromLastOccurrenceOf ("  ", false, false).trim();
            return juce::String();
        };
        EXPECT_EQ (valueOf ("master_active"), "On");
        EXPECT_EQ (valueOf ("band1_gain"), "-12.0 dB") << "the preset comes after the file";
        EXPECT_EQ (valueOf ("band2_gain"), "0.0 dB") << "--set comes after the file";
        EXPECT_EQ (valueOf ("band3_gain"), "+4.1 dB") << "what neither names stays as the file has it";
        EXPECT_EQ (valueOf ("master_gain"), "-3.5 dB");
    }

    TEST_F (RenderTest, PipeWireFilterHoldsEveryPortValueAndSaysWhereItGoes)
    {
        const auto result = run ({ "--set", "master_active=On", "--set", "band2_active=On", "--set", "band2_freq=1kHz",
                                   "--set", "band2_gain=+12dB", "--set", "band4_type=Peak", "--set", "preamp_type=A512",
                                   "--pipewire-filter", "desktop.conf" });
        ASSERT_EQ (result.exitCode, 0) << result.err;
        EXPECT_NE (result.err.find ("wrote desktop.conf; copy it into ~/.config/pipewire/pipewire.conf.d/"),
                   std::string::npos)
            << result.err;

        const auto text = file ("desktop.conf").loadFileAsString();
        const auto lines = juce::StringArray::fromLines (text);
        EXPECT_TRUE (lines[0].startsWith ("# Kro Trella EQ"));
        const auto comments = text.upToFirstOccurrenceOf ("\ncontext.modules", false, false);
        for (const auto* said :
             { "cp desktop.conf ~/.config/pipewire/pipewire.conf.d/", "wpctl set-default",
               "rm ~/.config/pipewire/pipewire.conf.d/desktop.conf", "systemctl --user restart pipewire" })
            EXPECT_TRUE (comments.contains (said)) << said;
        for (const auto& line : juce::StringArray::fromLines (comments))
            EXPECT_TRUE (line.isEmpty() || line.startsWithChar ('#')) << line;

        EXPECT_TRUE (text.contains ("plugin = \"https://www.palvenmark.com/plugins/krotrella\""));
        EXPECT_TRUE (text.contains ("node.description = \"Kro Trella EQ\""));
        EXPECT_TRUE (text.contains ("media.class = Audio/Sink"));

        // Every parameter as a port value in its unit; what the setting changed, as set.
        for (int i = 0; i < (int) numTrellaParams; ++i)
            EXPECT_TRUE (text.contains ("\"" + juce::String (TrellaParams[(size_t) i].id) + "\" = ")) << i;
        for (const auto* value : { "\"master_active\" = 1", "\"band2_freq\" = 1000", "\"band2_gain\" = 12",
                                   "\"band2_active\" = 1", "\"band1_active\" = 0", "\"band4_type\" = 0",
                                   "\"band1_type\" = 1", "\"preamp_type\" = 2", "\"band1_freq\" = 120" })
            EXPECT_TRUE (text.contains (juce::String (value) + "\n")) << value;

        // An existing file is replaced only with --force.
        ASSERT_TRUE (file ("desktop.conf").replaceWithText ("mine"));
        const auto again = run ({ "--pipewire-filter", "desktop.conf" });
        EXPECT_EQ (again.exitCode, 1);
        EXPECT_NE (again.err.find ("desktop.conf: exists (--force replaces it)"), std::string::npos) << again.err;
        EXPECT_EQ (file ("desktop.conf").loadFileAsString(), "mine");
        EXPECT_EQ (run ({ "--force", "--quiet", "--pipewire-filter", "desktop.conf" }).exitCode, 0);
        EXPECT_TRUE (file ("desktop.conf").loadFileAsString().startsWith ("# Kro Trella EQ"));
    }

    //==============================================================================
    struct FormatCase
    {
        const char* input;
        int bits;
        int channels;
        double sampleRate;
        int frames;
        const char* output;
        int expectedBits;
        bool expectedFloat;
    };

    void PrintTo (const FormatCase& c, std::ostream* out)
    {
        *out << c.input << " (" << c.bits << " bits, " << c.channels << " channels, " << c.sampleRate << " Hz, "
             << c.frames << " frames) to " << c.output;
    }

    class RenderFormats : public RenderTest, public ::testing::WithParamInterface<FormatCase>
    {
    };

    TEST_P (RenderFormats, OutputKeepsRateChannelsAndLengthAndTheDefaultSettingLeavesTheSamples)
    {
        const auto& c = GetParam();
        writeAudio (file (c.input), noise (c.channels, c.frames), c.sampleRate, c.bits);
        const auto input = readAudio (file (c.input));

        const auto result = run ({ c.input, c.output });
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const auto output = readAudio (file (c.output));
        EXPECT_EQ (output.sampleRate, c.sampleRate);
        EXPECT_EQ (output.samples.getNumChannels(), c.channels);
        EXPECT_EQ (output.samples.getNumSamples(), input.samples.getNumSamples());
        EXPECT_EQ (output.bitsPerSample, c.expectedBits);
        EXPECT_EQ (output.isFloat, c.expectedFloat);

        // With the equaliser off and the "Neutral" preamp the plug-in passes the sound untouched; the
        // output holds the input's samples exactly whenever its format can.
        if (c.expectedBits >= input.bitsPerSample || input.isFloat == output.isFloat)
        {
            EXPECT_TRUE (bitIdentical (output.samples, input.samples));
        }
    }

    INSTANTIATE_TEST_SUITE_P (Table, RenderFormats,
                              ::testing::Values (FormatCase{ "a.wav", 16, 2, 44100.0, 30000, "out.wav", 16, false },
                                                 FormatCase{ "a.wav", 24, 1, 96000.0, 30001, "out.wav", 24, false },
                                                 FormatCase{ "a.wav", 32, 2, 48000.0, 20000, "out.wav", 32, true },
                                                 FormatCase{ "a.wav", 32, 2, 48000.0, 20000, "out.flac", 24, false },
                                                 FormatCase{ "a.wav", 16, 2, 22050.0, 0, "out.wav", 16, false },
                                                 FormatCase{ "a.aif", 24, 2, 44100.0, 25000, "out.wav", 24, false },
                                                 FormatCase{ "a.flac", 16, 1, 44100.0, 25000, "out.flac", 16, false },
                                                 FormatCase{ "a.flac", 24, 2, 88200.0, 25000, "out.wav", 24, false },
                                                 FormatCase{ "a.ogg", 16, 2, 44100.0, 44100, "out.wav", 32, true }));

    TEST_F (RenderTest, LongNonAsciiOutputNamesRenderUnderTheirOwnName)
    {
        // Names up to the file system's 255 bytes, which the temporary name (its own 33 bytes more)
        // must not push over the limit.
        auto times = [] (const char* text, int count)
        {
            std::string result;
            for (int i = 0; i < count; ++i)
                result += text;
            return result;
        };
        const std::string names[] = {
            times ("ж", 125) + ".wav",                                                    // 129 characters, 254 bytes
            times ("Запись ", 14) + times ("ж", 20) + " - take 12, mix 3 (final)v2.flac", // 150 characters, 254 bytes
            times ("音", 83) + ".wav",                                                    // 87 characters, 253 bytes
        };

        writeAudio (file ("in.wav"), noise (2, 3000), 44100.0, 16);
        for (const auto& name : names)
        {
            const auto result = run ({ "in.wav", name });
            EXPECT_EQ (result.exitCode, 0) << result.err;
            const auto output = scratch.get().getChildFile (juce::String::fromUTF8 (name.c_str()));
            EXPECT_EQ (readAudio (output).samples.getNumSamples(), 3000) << name;
            output.deleteFile();
        }
        EXPECT_EQ (folderPicture (scratch.get()).size(), 1u) << "only the input is left";
    }

    TEST_F (RenderTest, FlacWithoutItsLengthInTheHeaderIsCountedAndRenderedWhole)
    {
        // A streaming encoder cannot go back to write the length: the header's 36-bit sample count is 0.
        writeAudio (file ("whole.flac"), noise (2, 25000), 44100.0, 16);
        juce::MemoryBlock data;
        file ("whole.flac").loadFileAsData (data);
        data[21] = (char) (data[21] & 0xf0);
        for (int i = 22; i < 26; ++i)
            data[i] = 0;
        file ("streamed.flac").replaceWithData (data.getData(), data.getSize());

        ASSERT_EQ (run ({ "whole.flac", "whole.wav" }).exitCode, 0);
        const auto result = run ({ "streamed.flac", "streamed.wav" });
        ASSERT_EQ (result.exitCode, 0) << result.err;
        const auto streamed = readAudio (file ("streamed.wav"));
        EXPECT_EQ (streamed.samples.getNumSamples(), 25000);
        EXPECT_TRUE (bitIdentical (streamed.samples, readAudio (file ("whole.wav")).samples));
    }

    TEST_F (RenderTest, BitsOptionChoosesTheOutputFormatAndRoundsToTheNearestStep)
    {
        const auto input = noise (2, 20000);
        writeAudio (file ("in.wav"), input, 44100.0, 32);

        for (const auto& [bits, name] : { std::pair{ 16, "16" }, std::pair{ 24, "24" } })
        {
            const auto outputName = "out" + juce::String (name) + ".wav";
            ASSERT_EQ (run ({ "--bits", name, "in.wav", outputName.toStdString() }).exitCode, 0);

            const auto output = readAudio (file (outputName.toRawUTF8()));
            EXPECT_EQ (output.bitsPerSample, bits);
            const double step = 1.0 / (double) (1 << (bits - 1));
            double worst = 0.0;
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < input.getNumSamples(); ++i)
                    worst =
                        std::max (worst, std::abs ((double) output.samples.getSample (c, i) - input.getSample (c, i)));
            EXPECT_LE (worst, step / 2.0 + 1.0e-12) << bits << " bits";
        }
    }

    TEST_F (RenderTest, ClippedSamplesAreReportedAndFloatOutputKeepsThem)
    {
        juce::AudioBuffer<float> loud (1, 10000);
        for (int i = 0; i < loud.getNumSamples(); ++i)
            loud.setSample (0, i, (float) (0.9 * std::sin (0.05 * i)));
        writeAudio (file ("loud.wav"), loud, 44100.0, 16);
        const std::vector<std::string> boost = { "--set", "master_active=On", "--set", "master_gain=+12dB" };

        const auto clipped = run (join (boost, { "loud.wav", "clipped.wav" }));
        EXPECT_EQ (clipped.exitCode, 0);
        EXPECT_NE (clipped.err.find ("clipped.wav: "), std::string::npos) << clipped.err;
        EXPECT_NE (clipped.err.find ("samples clipped"), std::string::npos) << clipped.err;

        const auto kept = run (join (boost, { "--bits", "32f", "loud.wav", "kept.wav" }));
        EXPECT_EQ (kept.exitCode, 0);
        EXPECT_EQ (kept.err.find ("samples clipped"), std::string::npos) << kept.err;
        EXPECT_GT (readAudio (file ("kept.wav")).samples.getMagnitude (0, 10000), 1.5f);
    }

    TEST_F (RenderTest, ForceReplacesAnExistingOutput)
    {
        writeAudio (file ("in.wav"), noise (2, 1000), 44100.0, 16);
        ASSERT_TRUE (file ("out.wav").replaceWithText ("an older file"));

        const auto result = run ({ "--force", "in.wav", "out.wav" });
        EXPECT_EQ (result.exitCode, 0) << result.err;
        EXPECT_EQ (readAudio (file ("out.wav")).samples.getNumSamples(), 1000);
    }

    //==============================================================================
    TEST_F (RenderTest, BatchWithOneBadFileRendersTheGoodOnesAndExitsWithOne)
    {
        ASSERT_TRUE (file ("in").createDirectory() && file ("out").createDirectory());
        writeAudio (file ("in/first.wav"), noise (2, 5000, 1), 44100.0, 24);
        ASSERT_TRUE (file ("in/broken.wav").replaceWithText ("not audio at all"));
        writeAudio (file ("in/third.flac"), noise (1, 7000, 3), 48000.0, 16);
        writeAudio (file ("in/fourth.ogg"), noise (2, 4000, 4), 44100.0, 16);

        const auto result = run (join (sixFilterSettings(), { "in/first.wav", "in/broken.wav", "in/third.flac",
                                                              "in/fourth.ogg", "--out-dir", "out" }));

        EXPECT_EQ (result.exitCode, 1);
        EXPECT_NE (result.err.find ("in/broken.wav: "), std::string::npos) << result.err;
        EXPECT_NE (result.err.find ("3 of 4 files rendered"), std::string::npos) << result.err;

        EXPECT_EQ (readAudio (file ("out/first.wav")).samples.getNumSamples(), 5000);
        EXPECT_EQ (readAudio (file ("out/third.flac")).samples.getNumSamples(), 7000);
        EXPECT_EQ (readAudio (file ("out/fourth.wav")).samples.getNumSamples(), 4000);
        EXPECT_FALSE (file ("out/broken.wav").exists());
        EXPECT_EQ (folderPicture (file ("out")).size(), 3u) << "nothing else is left in the output folder";
    }

    //==============================================================================
    class RenderProgress : public RenderTest, public ::testing::WithParamInterface<bool>
    {
    };

    TEST_P (RenderProgress, BarOnlyWhenStderrIsATerminalAndOneSummaryLine)
    {
        const bool terminal = GetParam();
        writeAudio (file ("take-one.wav"), noise (2, 44100), 44100.0, 16);

        const auto result = run ({ "take-one.wav", "out.wav" }, { terminal });
        ASSERT_EQ (result.exitCode, 0) << result.err;

        const bool barShown = result.err.find ("take-one.wav [") != std::string::npos;
        EXPECT_EQ (barShown, terminal) << result.err;
        EXPECT_EQ (result.err.find ('%') != std::string::npos, terminal) << result.err;
        EXPECT_EQ (result.err.find ('\r') != std::string::npos, terminal) << result.err;

        const auto lines = juce::StringArray::fromLines (juce::String (result.err).removeCharacters ("\r"));
        int summaries = 0;
        for (const auto& line : lines)
            summaries += line.contains ("1 of 1 file rendered (0:01 of audio") ? 1 : 0;
        EXPECT_EQ (summaries, 1) << result.err;
        EXPECT_TRUE (result.out.empty());
    }

    INSTANTIATE_TEST_SUITE_P (TerminalOrPipe, RenderProgress, ::testing::Bool());

    TEST_F (RenderTest, QuietPrintsNothingButErrors)
    {
        writeAudio (file ("in.wav"), noise (2, 1000), 44100.0, 16);

        const auto fine = run ({ "--quiet", "in.wav", "out.wav" }, { true });
        EXPECT_EQ (fine.exitCode, 0);
        EXPECT_TRUE (fine.err.empty()) << fine.err;

        const auto failed = run ({ "--quiet", "missing.wav", "other.wav" });
        EXPECT_EQ (failed.exitCode, 1);
        EXPECT_NE (failed.err.find ("missing.wav: no such file"), std::string::npos) << failed.err;
    }

    //==============================================================================
    TEST_F (RenderTest, HelpIsAManualPageOnStdout)
    {
        const auto result = run ({ "--help" });
        EXPECT_EQ (result.exitCode, 0);
        for (const auto* heading : { "NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES" })
            EXPECT_NE (("\n" + result.out).find (std::string ("\n") + heading + "\n"), std::string::npos) << heading;
        for (const auto* option :
             { "--import-eq FILE", "--pipewire-filter FILE.conf", "--preset PRESET", "--list-presets", "--set ID=VALUE",
               "--list", "--bits 16|24|32f", "--out-dir DIR", "--force", "--quiet", "--help" })
            EXPECT_NE (result.out.find (option), std::string::npos) << option;
        EXPECT_TRUE (result.err.empty());
    }

    TEST_F (RenderTest, ListShowsEveryParameterWithItsValueAndThePreampChoices)
    {
        const auto result = run ({ "--list" });
        ASSERT_EQ (result.exitCode, 0) << result.err;

        KroTrellaAudioProcessor fresh;
        const auto lines = juce::StringArray::fromLines (juce::String (result.out));
        for (int i = 0; i < (int) numTrellaParams; ++i)
        {
            const auto* parameter = fresh.getKroParameter (i);
            const auto expected =
                parameter->paramID + " " + parameter->getName (100) + " " + parameter->getCurrentValueAsText();
            int matching = 0;
            for (const auto& line : lines)
            {
                auto squeezed = line;
                while (squeezed.contains ("  "))
                    squeezed = squeezed.replace ("  ", " ");
                matching += squeezed.trim() == expected ? 1 : 0;
            }
            EXPECT_EQ (matching, 1) << expected;
        }
        EXPECT_NE (result.out.find ("Neutral, N1073, A512, D1960, MP573, MP1, 1176, TLA50"), std::string::npos);
    }
} // namespace
