// The renderer's parts on their own: the command line, the reading of parameter texts and the
// all-or-nothing output file.

#include "AtomicOutputFile.h"
#include "CommandLineParser.h"
#include "ParameterTextReader.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace
{
    //==============================================================================
    TEST (RenderCommandLine, OptionsMayStandAnywhereInBothSpellings)
    {
        const auto result = CommandLineParser::parse (
            { "--set", "band1_gain=0.5", "a.wav", "--bits=24", "--set=band2_q = 0.3", "--force", "b.flac", "--quiet" });
        ASSERT_TRUE (result.error.isEmpty()) << result.error;

        const auto& o = result.options;
        EXPECT_EQ (o.inputs, juce::StringArray ("a.wav"));
        EXPECT_EQ (o.output, "b.flac");
        EXPECT_EQ (o.sampleFormat, SampleFormat::int24);
        EXPECT_TRUE (o.force && o.quiet);
        ASSERT_EQ (o.assignments.size(), 2);
        EXPECT_EQ (o.assignments[0].id, "band1_gain");
        EXPECT_EQ (o.assignments[0].valueText, "0.5");
        EXPECT_EQ (o.assignments[1].id, "band2_q");
        EXPECT_EQ (o.assignments[1].valueText, "0.3");
    }

    TEST (RenderCommandLine, DoubleDashEndsTheOptionsAndOutDirTakesManyInputs)
    {
        const auto result = CommandLineParser::parse ({ "--out-dir", "done", "--", "--odd-name.wav", "-", "x.ogg" });
        ASSERT_TRUE (result.error.isEmpty()) << result.error;
        EXPECT_EQ (result.options.inputs, juce::StringArray ("--odd-name.wav", "-", "x.ogg"));
        EXPECT_EQ (result.options.outputDir, "done");
    }

    TEST (RenderCommandLine, HelpWinsOverEveryOtherProblem)
    {
        const auto result = CommandLineParser::parse ({ "--bits", "7", "-h" });
        EXPECT_TRUE (result.error.isEmpty());
        EXPECT_TRUE (result.options.help);
    }

    TEST (RenderCommandLine, ListTakesSettingsButNoFiles)
    {
        EXPECT_TRUE (CommandLineParser::parse ({ "--preset", "p.xml", "--set", "a=1", "--list" }).error.isEmpty());
        EXPECT_EQ (CommandLineParser::parse ({ "--list", "a.wav" }).error, "--list takes no files");
    }

    TEST (RenderCommandLine, OptionsGivenTwiceThatCannotBeRepeated)
    {
        EXPECT_EQ (CommandLineParser::parse ({ "--preset", "a", "--preset", "b", "x.wav", "y.wav" }).error,
                   "--preset is given twice");
        EXPECT_EQ (CommandLineParser::parse ({ "--out-dir", "a", "--out-dir", "b", "x.wav" }).error,
                   "--out-dir is given twice");
    }

    //==============================================================================
    /** A parameter that shows units and words the way a well-behaved host parameter does. */
    class ShowingParameter : public juce::AudioProcessorParameter
    {
    public:
        enum class Kind
        {
            frequency,  // 20 Hz .. 20 kHz, shown "120Hz" or "1.5kHz"
            choice,     // "Peak" / "Lo-Shelf"
            deafToWords // shows "Peak" / "Lo-Shelf" but reads every text as a number
        };

        explicit ShowingParameter (Kind k)
            : kind (k)
        {
        }

        float getValue() const override { return 0.0f; }
        void setValue (float) override {}
        float getDefaultValue() const override { return 0.0f; }
        juce::String getName (int) const override { return "test"; }
        juce::String getLabel() const override { return {}; }

        juce::String getText (float v, int) const override
        {
            if (kind != Kind::frequency)
                return v < 0.5f ? "Peak" : "Lo-Shelf";
            const float hz = v * 19980.0f + 20.0f;
            return hz < 1000.0f ? juce::String (juce::roundToInt (hz)) + "Hz" : juce::String (hz / 1000.0f, 1) + "kHz";
        }

        float getValueForText (const juce::String& text) const override
        {
            if (kind == Kind::choice)
                return text == "Lo-Shelf" ? 1.0f : 0.0f;
            if (kind == Kind::deafToWords)
                return text.getFloatValue();

            const auto t = text.trim().toLowerCase();
            const bool isNormalised = t.containsOnly ("0123456789.");
            if (isNormalised)
                return t.getFloatValue();
            const float hz = t.getFloatValue() * (t.endsWith ("khz") ? 1000.0f : 1.0f);
            return (hz - 20.0f) / 19980.0f;
        }

    private:
        Kind kind;
    };

    struct TextCase
    {
        ShowingParameter::Kind kind;
        const char* text;
        std::optional<float> value; // empty: refused
    };

    class RenderParameterText : public ::testing::TestWithParam<TextCase>
    {
    };

    TEST_P (RenderParameterText, TextsThatTheParameterShowsOrNumbersWithItsUnitsAreReadOthersRefused)
    {
        const auto& c = GetParam();
        const ShowingParameter parameter (c.kind);
        const auto reading = ParameterTextReader::read (parameter, c.text);

        ASSERT_EQ (reading.value.has_value(), c.value.has_value()) << c.text << ": " << reading.problem;
        if (c.value.has_value())
            EXPECT_NEAR (*reading.value, *c.value, 1.0e-6f) << c.text;
        else
            EXPECT_TRUE (reading.problem.isNotEmpty());
    }

    using Kind = ShowingParameter::Kind;
    INSTANTIATE_TEST_SUITE_P (
        Table, RenderParameterText,
        ::testing::Values (
            TextCase{ Kind::frequency, "0.25", 0.25f },
            TextCase{ Kind::frequency, "1kHz", (1000.0f - 20.0f) / 19980.0f },
            TextCase{ Kind::frequency, " 1.5 KHZ ", (1500.0f - 20.0f) / 19980.0f },
            TextCase{ Kind::frequency, "120Hz", 100.0f / 19980.0f }, TextCase{ Kind::frequency, "120dB", std::nullopt },
            TextCase{ Kind::frequency, "kHz", std::nullopt }, TextCase{ Kind::frequency, "fast", std::nullopt },
            TextCase{ Kind::frequency, "30kHz", std::nullopt }, // beyond the range
            TextCase{ Kind::frequency, "", std::nullopt }, TextCase{ Kind::choice, "Lo-Shelf", 1.0f },
            TextCase{ Kind::choice, "lo-shelf", 1.0f }, // passed on in the parameter's spelling
            TextCase{ Kind::choice, "Hi-Shelf", std::nullopt },
            TextCase{ Kind::choice, "1", 0.0f }, // a bare number goes to getValueForText as it is
            TextCase{ Kind::deafToWords, "Lo-Shelf", std::nullopt }, TextCase{ Kind::deafToWords, "1", 1.0f }));

    //==============================================================================
    class RenderOutputFile : public ::testing::Test
    {
    protected:
        juce::File target() const { return scratch.get().getChildFile ("out.bin"); }
        int filesInFolder() const { return scratch.get().getNumberOfChildFiles (juce::File::findFiles, "*"); }

        static void writeText (AtomicOutputFile& file, const char* text)
        {
            auto stream = file.createStream();
            ASSERT_TRUE (stream->writeText (text, false, false, nullptr));
        }

        ScratchFolder scratch;
    };

    TEST_F (RenderOutputFile, NothingAppearsUntilTheCommitAndTheWholeFileAfterIt)
    {
        AtomicOutputFile file (target());
        ASSERT_TRUE (file.isOk()) << file.getError();
        writeText (file, "complete content");
        EXPECT_FALSE (target().exists());
        EXPECT_TRUE (file.getTemporaryFile().getFileName().startsWith (".out.bin."));

        ASSERT_TRUE (file.commit (false)) << file.getError();
        EXPECT_EQ (target().loadFileAsString(), "complete content");
        EXPECT_EQ (filesInFolder(), 1);
    }

    TEST_F (RenderOutputFile, PositionsMayBeRevisitedLikeAWriterRewritingItsHeader)
    {
        AtomicOutputFile file (target());
        {
            auto stream = file.createStream();
            const std::string large (AtomicOutputFile::bufferSize + 100, 'x');
            ASSERT_TRUE (stream->write (large.data(), large.size()));
            ASSERT_TRUE (stream->setPosition (2));
            ASSERT_TRUE (stream->write ("AB", 2));
            EXPECT_EQ (stream->getPosition(), 4);
        }
        ASSERT_TRUE (file.commit (false));

        const auto content = target().loadFileAsString();
        EXPECT_EQ (content.length(), (int) AtomicOutputFile::bufferSize + 100);
        EXPECT_EQ (content.substring (0, 5), "xxABx");
    }

    TEST_F (RenderOutputFile, AnAbandonedFileLeavesNothingBehind)
    {
        {
            AtomicOutputFile file (target());
            writeText (file, "half of it");
            EXPECT_TRUE (file.getTemporaryFile().existsAsFile());
        }
        EXPECT_EQ (filesInFolder(), 0);
    }

    TEST_F (RenderOutputFile, AnExistingTargetIsReplacedOnlyWhenAllowed)
    {
        ASSERT_TRUE (target().replaceWithText ("older"));

        AtomicOutputFile refused (target());
        writeText (refused, "newer");
        EXPECT_FALSE (refused.commit (false));
        EXPECT_EQ (refused.getError(), "exists already (--force replaces it)");
        EXPECT_EQ (target().loadFileAsString(), "older");

        AtomicOutputFile allowed (target());
        writeText (allowed, "newer");
        EXPECT_TRUE (allowed.commit (true));
        EXPECT_EQ (target().loadFileAsString(), "newer");
    }

    TEST_F (RenderOutputFile, FolderThatCannotTakeTheFileIsReported)
    {
        const AtomicOutputFile file (scratch.get().getChildFile ("missing/out.bin"));
        EXPECT_FALSE (file.isOk());
        EXPECT_TRUE (file.getError().startsWith ("cannot create a file in ")) << file.getError();
        EXPECT_TRUE (file.getError().endsWith ("No such file or directory")) << file.getError();
    }
} // namespace
