// The renderer's parts on their own: the command line and the all-or-nothing output file.

#include "render/AtomicOutputFile.h"
#include "render/CommandLineParser.h"
#include "support/ScratchFolder.h"

#include "engine/TrellaDSP.h"
#include "engine/ValueLaws.h"
#include "render/PipeWireFilter.h"
#include "state/Lv2PortLayout.h"

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

    TEST (RenderCommandLine, PipeWireFilterTakesSettingsAndOneConfFile)
    {
        EXPECT_TRUE (
            CommandLineParser::parse ({ "--import-eq", "eq.txt", "--set", "a=1", "--pipewire-filter", "k.conf" })
                .error.isEmpty());
        const std::pair<juce::StringArray, const char*> refused[] = {
            { { "--pipewire-filter", "k.txt" }, "--pipewire-filter needs a file name ending in .conf" },
            { { "--pipewire-filter", ".conf" }, "--pipewire-filter needs a file name ending in .conf" },
            { { "--pipewire-filter", "k.conf", "in.wav" }, "--pipewire-filter takes no files" },
            { { "--pipewire-filter", "k.conf", "--out-dir", "x" }, "--pipewire-filter takes no files" },
            { { "--pipewire-filter", "k.conf", "--list" }, "--list and --pipewire-filter cannot be given together" },
        };
        for (const auto& [arguments, error] : refused)
            EXPECT_TRUE (CommandLineParser::parse (arguments).error.startsWith (error))
                << arguments.joinIntoString (" ") << ": " << CommandLineParser::parse (arguments).error;
    }

    TEST (RenderCommandLine, OptionsGivenTwiceThatCannotBeRepeated)
    {
        EXPECT_EQ (CommandLineParser::parse ({ "--preset", "a", "--preset", "b", "x.wav", "y.wav" }).error,
                   "--preset is given twice");
        EXPECT_EQ (CommandLineParser::parse ({ "--out-dir", "a", "--out-dir", "b", "x.wav" }).error,
                   "--out-dir is given twice");
        EXPECT_EQ (CommandLineParser::parse ({ "--import-eq", "a", "--import-eq=b", "x.wav", "y.wav" }).error,
                   "--import-eq is given twice");
        EXPECT_EQ (CommandLineParser::parse ({ "--pipewire-filter", "a.conf", "--pipewire-filter", "b.conf" }).error,
                   "--pipewire-filter is given twice");
    }

    TEST (RenderPipeWireFilter, EveryParameterIsItsPortsValueAndAValueNoPortHoldsIsRefused)
    {
        std::array<float, ParameterIndex::count> values{};
        for (int i = 0; i < ParameterIndex::count; ++i)
            values[(size_t) i] = ValueLaws::normalisedValueOf (TrellaDSP::DefaultParameters, i);

        juce::String error;
        const auto controls = PipeWireFilter::controlsFor (values, error);
        EXPECT_TRUE (error.isEmpty()) << error;
        ASSERT_EQ (controls.size(), Lv2PortLayout::controls().size());
        for (const auto& port : Lv2PortLayout::controls())
        {
            const auto& control = controls[(size_t) port.parameterIndex];
            EXPECT_EQ (control.symbol, port.symbol);
            EXPECT_EQ (control.value, port.defaultValue) << port.symbol;
            EXPECT_EQ (control.wholeNumber, port.isInteger()) << port.symbol;
        }

        // The last preamp (8 x 1 = index 8, which the engine takes as its last entry) is port value 7.
        values[ParameterIndex::preampType] = 1.0f;
        EXPECT_EQ (PipeWireFilter::controlsFor (values, error)[ParameterIndex::preampType].value, 7.0f) << error;

        values[(size_t) ParameterIndex::bandGain (1)] = 1.5f; // +48 dB
        EXPECT_TRUE (PipeWireFilter::controlsFor (values, error).empty());
        EXPECT_EQ (error, "band2_gain 48 is outside what its port holds (-24 to 24)");
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
