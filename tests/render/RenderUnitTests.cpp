// The renderer's parts on their own: the command line and the all-or-nothing output file.

#include "render/AtomicOutputFile.h"
#include "render/CommandLineParser.h"
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
