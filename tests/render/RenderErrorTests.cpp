// Every kind of bad input: the program names the file or the option in one line, exits with the
// right status, leaves every file as it was and leaves no output behind.

#include "RenderTestSupport.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sys/mount.h>
#include <unistd.h>

using namespace render_test;

namespace
{
    /** Makes the files of a case in the working folder and gives the arguments. */
    using Setup = std::function<std::vector<std::string> (const juce::File& folder)>;

    struct ErrorCase
    {
        const char* name;
        Setup setup;
        int exitCode;
        const char* message; // the error line must contain this
        int errorLines = 1;
    };

    void PrintTo (const ErrorCase& c, std::ostream* out)
    {
        *out << c.name;
    }

    void stereoFile (const juce::File& file, int frames = 2000)
    {
        writeAudio (file, noise (2, frames), 44100.0, 24);
    }

    std::vector<std::string> inOut (const juce::File& folder, std::vector<std::string> arguments)
    {
        stereoFile (folder.getChildFile ("in.wav"));
        return arguments;
    }

    Setup withInput (std::vector<std::string> arguments)
    {
        return [arguments] (const juce::File& folder) { return inOut (folder, arguments); };
    }

    std::string repeated (const std::string& text, int times)
    {
        std::string result;
        for (int i = 0; i < times; ++i)
            result += text;
        return result;
    }

    Setup withPreset (const std::string& content)
    {
        return [content] (const juce::File& folder)
        {
            folder.getChildFile ("bad.preset").replaceWithData (content.data(), content.size());
            return inOut (folder, { "--preset", "bad.preset", "in.wav", "out.wav" });
        };
    }

    /** The framework's binary wrapping of a state: a magic word, a length, the XML text. */
    std::string wrappedState (const std::string& xml, juce::uint32 statedLength)
    {
        std::string data (8, '\0');
        const juce::uint32 words[] = { juce::ByteOrder::swapIfBigEndian ((juce::uint32) 0x21324356),
                                       juce::ByteOrder::swapIfBigEndian (statedLength) };
        std::memcpy (data.data(), words, 8);
        return data + xml;
    }

    /** A second of audio as a file of the given extension, then changed as a broken copy changes it. */
    Setup brokenFile (const char* name, std::function<void (juce::MemoryBlock&)> breakIt)
    {
        return [name, breakIt] (const juce::File& folder)
        {
            const auto file = folder.getChildFile (name);
            stereoFile (file, 44100);
            juce::MemoryBlock data;
            file.loadFileAsData (data);
            breakIt (data);
            file.replaceWithData (data.getData(), data.getSize());
            return std::vector<std::string>{ name, "out.wav" };
        };
    }

    /** The second half missing, as an interrupted copy leaves a file. */
    Setup cutInHalf (const char* name)
    {
        return brokenFile (name, [] (juce::MemoryBlock& data) { data.setSize (data.getSize() / 2); });
    }

    /** Two hundred bytes of the middle overwritten. */
    Setup damagedInTheMiddle (const char* name)
    {
        return brokenFile (name,
                           [] (juce::MemoryBlock& data)
                           {
                               for (size_t i = data.getSize() / 2; i < data.getSize() / 2 + 200; ++i)
                                   data[i] = (char) (i * 37);
                           });
    }

    /** A name of `count` copies of a character (given in UTF-8) and an extension. */
    std::string nameOf (const char* character, int count, const char* extension)
    {
        return repeated (character, count) + extension;
    }

    const ErrorCase errorCases[] = {
        // Inputs.
        { "MissingInput", withInput ({ "absent.wav", "out.wav" }), 1, "absent.wav: no such file" },
        { "InputIsAFolder",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("folder.wav").createDirectory();
              return std::vector<std::string>{ "folder.wav", "out.wav" };
          },
          1, "folder.wav: is a folder" },
        { "InputIsNotAudio",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("notes.wav").replaceWithText ("RIFF? no, just some notes");
              return std::vector<std::string>{ "notes.wav", "out.wav" };
          },
          1, "notes.wav: is not a WAV, AIFF, FLAC or Ogg Vorbis file" },
        { "InputCutShort",
          [] (const juce::File& folder)
          {
              stereoFile (folder.getChildFile ("whole.wav"), 20000);
              juce::MemoryBlock data;
              folder.getChildFile ("whole.wav").loadFileAsData (data);
              folder.getChildFile ("cut.wav").replaceWithData (data.getData(), data.getSize() / 2);
              folder.getChildFile ("whole.wav").deleteFile();
              return std::vector<std::string>{ "cut.wav", "out.wav" };
          },
          1, "cut.wav: ends before the length its header gives" },
        { "FlacCutShort", cutInHalf ("cut.flac"), 1, "cut.flac: ends before the length its header gives" },
        { "OggCutShort", cutInHalf ("cut.ogg"), 1,
          "cut.ogg: ends before its last page (the file is cut short or damaged)" },
        { "AiffCutShort", cutInHalf ("cut.aif"), 1, "cut.aif: ends before the length its header gives" },
        { "FlacDamagedInTheMiddle", damagedInTheMiddle ("bad.flac"), 1, "bad.flac: is damaged: " },
        { "OggDamagedInTheMiddle", damagedInTheMiddle ("bad.ogg"), 1, "bad.ogg: is damaged: " },
        { "FlacAudioNotMatchingItsChecksum",
          brokenFile ("bad.flac", [] (juce::MemoryBlock& data) { data[30] = (char) (data[30] ^ 1); }), 1,
          "bad.flac: is damaged: its audio does not match the checksum its header holds" },
        { "MoreThanTwoChannels",
          [] (const juce::File& folder)
          {
              writeAudio (folder.getChildFile ("quad.wav"), noise (4, 1000), 44100.0, 16);
              return std::vector<std::string>{ "quad.wav", "out.wav" };
          },
          1, "quad.wav: has 4 channels; only mono and stereo" },
        { "SampleRateOutsideTheRange",
          [] (const juce::File& folder)
          {
              writeAudio (folder.getChildFile ("slow.wav"), noise (1, 1000), 4000.0, 16);
              return std::vector<std::string>{ "slow.wav", "out.wav" };
          },
          1, "slow.wav: has a sample rate of 4000 Hz, outside" },

        // Parameters and presets.
        { "UnknownParameterId", withInput ({ "--set", "band9_gain=0.5", "in.wav", "out.wav" }), 2,
          "--set band9_gain=0.5: unknown parameter id 'band9_gain'" },
        { "ParameterIdsAreCaseSensitive", withInput ({ "--set", "BAND1_GAIN=0.5", "in.wav", "out.wav" }), 2,
          "unknown parameter id 'BAND1_GAIN'" },
        { "ValueThatCannotBeParsed", withInput ({ "--set", "band1_gain=loud", "in.wav", "out.wav" }), 2,
          "--set band1_gain=loud: 'loud' is not a value of Band 1 Gain (-24.0 dB to +24.0 dB, for example" },
        { "ValueWithAnotherParametersUnit", withInput ({ "--set", "band1_freq=6dB", "in.wav", "out.wav" }), 2,
          "--set band1_freq=6dB: '6dB' is not a value of Band 1 Freq (20.0 Hz to 20.0 kHz, for example" },
        { "ValueWithAnUnknownUnit", withInput ({ "--set", "band1_q=3furlongs", "in.wav", "out.wav" }), 2,
          "--set band1_q=3furlongs: '3furlongs' is not a value of Band 1 Q" },
        { "ChoiceThatDoesNotExist", withInput ({ "--set", "preamp_type=Tube", "in.wav", "out.wav" }), 2,
          "'Tube' is not a value of Preamp Type (Neutral, N1073, A512, D1960, MP573, MP1, 1176, TLA50)" },
        { "BandTypeTheBandCannotTake", withInput ({ "--set", "band1_type=BandPass", "in.wav", "out.wav" }), 2,
          "'BandPass' is not a value of Band 1 Type (Peak, Lo-Shelf, Hi-Shelf)" },
        { "SwitchGivenAWord", withInput ({ "--set", "master_active=yes", "in.wav", "out.wav" }), 2,
          "'yes' is not a value of Active (Off, On)" },
        { "EmptyValue", withInput ({ "--set", "band1_gain=", "in.wav", "out.wav" }), 2,
          "--set band1_gain=: the value is empty" },
        { "SetWithoutEquals", withInput ({ "--set", "band1_gain", "in.wav", "out.wav" }), 2,
          "--set takes ID=VALUE, not 'band1_gain'" },
        { "PresetMissing", withInput ({ "--preset", "gone.xml", "in.wav", "out.wav" }), 2,
          "--preset gone.xml: no such file" },
        { "PresetIsNotXml", withPreset ("\x01\x02 random bytes, not a state"), 2,
          "--preset bad.preset: is neither a KroPRESET document nor a saved state" },
        { "PresetOfAnotherProgram",
          withPreset ("<PLUGINSTATE><PARAM ID=\"band1_gain\" ValueFloat=\"0.5\"/></PLUGINSTATE>"), 2,
          "--preset bad.preset: is a <PLUGINSTATE> document, not a Kro Trella state" },
        { "PresetNamingNoParameter", withPreset ("<KroPRESET><PARAM ID=\"gain\" ValueFloat=\"0.5\"/></KroPRESET>"), 2,
          "--preset bad.preset: names no Kro Trella parameter" },
        { "PresetValueNotANumber", withPreset ("<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"loud\"/></KroPRESET>"),
          2, "--preset bad.preset: parameter band1_gain has no numeric ValueFloat" },
        { "PresetValueOutsideTheRange",
          withPreset ("<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"2\"/></KroPRESET>"), 2,
          "--preset bad.preset: parameter band1_gain has ValueFloat 2, outside 0..1" },
        { "PresetNestedDeeperThanAnySavedState", withPreset ("<KroPRESET>" + repeated ("<a>", 200000)), 2,
          "--preset bad.preset: is neither a KroPRESET document nor a saved state" },
        { "SavedStateCutShort", withPreset (wrappedState ("<KroPRESET><PARAM ID=\"band1_ga", 60)), 2,
          "--preset bad.preset: is a damaged saved state" },

        // Equaliser files.
        { "EqualiserFileMissing", withInput ({ "--import-eq", "gone.txt", "in.wav", "out.wav" }), 2,
          "--import-eq gone.txt: no such file" },
        { "EqualiserFileWithNothingToUse",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("eq.txt").replaceWithText ("Filter 1: ON XY Fc 100 Hz\nnot an equaliser\n");
              return inOut (folder, { "--import-eq", "eq.txt", "in.wav", "out.wav" });
          },
          2, "--import-eq eq.txt: no line of the file can be used (2 lines not used)", 3 }, // and the two lines
        { "EqualiserFileIsEmpty",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("eq.txt").create();
              return inOut (folder, { "--import-eq", "eq.txt", "in.wav", "out.wav" });
          },
          2, "--import-eq eq.txt: the file is empty" },

        // Outputs.
        { "OutputIsTheInput", withInput ({ "--force", "in.wav", "in.wav" }), 1, "in.wav: is the input file in.wav" },
        { "OutputIsTheInputThroughARelativePath",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("sub").createDirectory();
              return inOut (folder, { "--force", "in.wav", "sub/../in.wav" });
          },
          1, "sub/../in.wav: is the input file in.wav" },
        { "OutputIsTheInputThroughASymbolicLink",
          [] (const juce::File& folder)
          {
              auto arguments = inOut (folder, { "--force", "in.wav", "link.wav" });
              folder.getChildFile ("in.wav").createSymbolicLink (folder.getChildFile ("link.wav"), true);
              return arguments;
          },
          1, "link.wav: is the input file in.wav" },
        { "OutputIsTheInputThroughALinkedFolder",
          [] (const juce::File& folder)
          {
              auto arguments = inOut (folder, { "--force", "in.wav", "elsewhere/in.wav" });
              folder.createSymbolicLink (folder.getChildFile ("elsewhere"), true);
              return arguments;
          },
          1, "elsewhere/in.wav: is the input file in.wav" },
        { "OutputIsTheInputThroughAHardLink",
          [] (const juce::File& folder)
          {
              auto arguments = inOut (folder, { "--force", "in.wav", "hard.wav" });
              link (folder.getChildFile ("in.wav").getFullPathName().toRawUTF8(),
                    folder.getChildFile ("hard.wav").getFullPathName().toRawUTF8());
              return arguments;
          },
          1, "hard.wav: is the input file in.wav" },
        { "OutputIsAnotherInputOfTheBatch",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("a").createDirectory();
              stereoFile (folder.getChildFile ("a/in.wav"));
              return inOut (folder, { "--force", "a/in.wav", "in.wav", "--out-dir", "." });
          },
          1, "./in.wav: is the input file in.wav", 2 }, // and in.wav's own output is in.wav itself
        { "OutputExistsWithoutForce",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("out.wav").replaceWithText ("keep me");
              return inOut (folder, { "in.wav", "out.wav" });
          },
          1, "out.wav: exists (--force replaces it)" },
        { "OutputFolderMissing", withInput ({ "in.wav", "nowhere/out.wav" }), 1, "nowhere/out.wav: folder " },
        { "OutputFolderIsAFile",
          [] (const juce::File& folder)
          {
              folder.getChildFile ("plain").replaceWithText ("a file");
              return inOut (folder, { "in.wav", "plain/out.wav" });
          },
          1, "is not a folder" },
        { "OutputNameLongerThanAnyFileName", withInput ({ "in.wav", nameOf ("ж", 150, ".wav") }), 1,
          ".wav: the file name is 304 bytes long (in UTF-8), more than the 255 this file system allows" },
        { "OutDirMissing", withInput ({ "in.wav", "--out-dir", "nowhere" }), 2, "--out-dir nowhere: no such folder" },
        { "OutputWithAnotherExtension", withInput ({ "in.wav", "out.mp3" }), 2,
          "OUTPUT 'out.mp3' must end in .wav or .flac" },
        { "FloatFlacOutput", withInput ({ "--bits", "32f", "in.wav", "out.flac" }), 2,
          "--bits 32f needs a .wav OUTPUT" },

        // The command line itself.
        { "UnknownOption", withInput ({ "--loud", "in.wav", "out.wav" }), 2, "unknown option '--loud'" },
        { "BitsNotOffered", withInput ({ "--bits", "20", "in.wav", "out.wav" }), 2,
          "--bits takes 16, 24 or 32f, not '20'" },
        { "OptionWithoutItsValue", withInput ({ "in.wav", "out.wav", "--preset" }), 2, "--preset needs a value" },
        { "OnlyOneFile", withInput ({ "in.wav" }), 2, "expected INPUT OUTPUT, or INPUT... --out-dir DIR" },
    };

    class RenderErrors : public ::testing::TestWithParam<ErrorCase>
    {
    protected:
        ScratchFolder scratch;
    };

    TEST_P (RenderErrors, OneClearLineRightStatusAndNothingChangedOrLeftBehind)
    {
        const auto& c = GetParam();
        const auto& folder = scratch.get();
        const auto arguments = c.setup (folder);
        const auto before = folderPicture (folder);

        const auto result = runRender (folder, arguments);

        EXPECT_EQ (result.exitCode, c.exitCode) << result.err;
        EXPECT_TRUE (result.out.empty()) << result.out;

        // The error is one line naming the file or the option; only notes may stand beside it.
        const auto lines = juce::StringArray::fromLines (juce::String (result.err).trimEnd());
        const std::regex summary ("^krotrella-render: [0-9]+ of [0-9]+ files? rendered");
        int errorLines = 0;
        for (const auto& line : lines)
            if (! line.startsWith ("krotrella-render: note: ") && ! std::regex_search (line.toStdString(), summary))
                ++errorLines;
        EXPECT_EQ (errorLines, c.errorLines) << result.err;
        EXPECT_NE (result.err.find (std::string ("krotrella-render: ")), std::string::npos);
        EXPECT_NE (result.err.find (c.message), std::string::npos)
            << "expected: " << c.message << "\ngot: " << result.err;

        EXPECT_EQ (folderPicture (folder), before) << "a file was changed, removed or left behind";
    }

    INSTANTIATE_TEST_SUITE_P (Cases, RenderErrors, ::testing::ValuesIn (errorCases),
                              [] (const auto& row) { return std::string (row.param.name); });

    //==============================================================================
    /** A small file system of its own (root only); the test is skipped where mounting is not allowed. */
    class TemporaryMount
    {
    public:
        TemporaryMount (const juce::File& where, const char* options)
            : point (where)
        {
            point.createDirectory();
            mounted = geteuid() == 0 && mount ("tmpfs", point.getFullPathName().toRawUTF8(), "tmpfs", 0, options) == 0;
        }

        ~TemporaryMount()
        {
            if (mounted)
                umount2 (point.getFullPathName().toRawUTF8(), MNT_DETACH);
        }

        bool isMounted() const noexcept { return mounted; }

    private:
        juce::File point;
        bool mounted = false;
    };

    class RenderFileSystemErrors : public ::testing::Test
    {
    protected:
        juce::File file (const char* name) const { return scratch.get().getChildFile (name); }

        ScratchFolder scratch;
    };

    TEST_F (RenderFileSystemErrors, FullDiskFailsTheFileAndLeavesNoPartialOutput)
    {
        const TemporaryMount small (file ("small"), "size=256k");
        if (! small.isMounted())
            GTEST_SKIP() << "mounting a small file system needs root and a system that allows it";

        stereoFile (file ("in.wav"), 200000); // about 1.2 MB of 24-bit audio
        stereoFile (file ("short.wav"), 2000);
        const auto before = folderPicture (scratch.get());

        const auto result = runRender (scratch.get(), { "in.wav", "short.wav", "--out-dir", "small" });

        EXPECT_EQ (result.exitCode, 1);
        EXPECT_NE (result.err.find ("small/in.wav: write failed: No space left on device"), std::string::npos)
            << result.err;
        EXPECT_TRUE (file ("small/short.wav").existsAsFile()) << "the batch goes on after the failure";
        auto after = folderPicture (scratch.get());
        after.erase ("small/short.wav");
        EXPECT_EQ (after, before);
    }

    TEST_F (RenderFileSystemErrors, FileSizeLimitFailsTheWriteAndLeavesNoPartialOutput)
    {
        stereoFile (file ("in.wav"), 200000);
        const auto before = folderPicture (scratch.get());

        // SIGXFSZ is at its default action, which would end the program: the program ignores it itself.
        const auto result = runRender (scratch.get(), { "in.wav", "out.flac" }, { false, 100000, false });

        EXPECT_EQ (result.exitCode, 1);
        EXPECT_NE (result.err.find ("out.flac: write failed: File too large"), std::string::npos) << result.err;
        EXPECT_EQ (folderPicture (scratch.get()), before);
    }

    TEST_F (RenderFileSystemErrors, ReadOnlyOutputFolderFailsTheFile)
    {
        std::unique_ptr<TemporaryMount> readOnly;
        if (geteuid() == 0)
        {
            readOnly = std::make_unique<TemporaryMount> (file ("locked"), "ro,size=64k");
            if (! readOnly->isMounted())
                GTEST_SKIP() << "as root a folder is writable whatever its mode, and mounting is not allowed here";
        }
        else
        {
            ASSERT_TRUE (file ("locked").createDirectory());
            ASSERT_TRUE (file ("locked").setReadOnly (true));
        }

        stereoFile (file ("in.wav"));
        const auto before = folderPicture (scratch.get());
        const auto result = runRender (scratch.get(), { "in.wav", "locked/out.wav" });

        EXPECT_EQ (result.exitCode, 1);
        EXPECT_NE (result.err.find ("locked/out.wav: cannot create a file in "), std::string::npos) << result.err;
        EXPECT_EQ (folderPicture (scratch.get()), before);
        file ("locked").setReadOnly (false);
    }

    TEST_F (RenderFileSystemErrors, UnreadableInputFailsTheFile)
    {
        if (geteuid() == 0)
            GTEST_SKIP() << "root reads a file whatever its mode";

        stereoFile (file ("secret.wav"));
        ASSERT_EQ (chmod (file ("secret.wav").getFullPathName().toRawUTF8(), 0), 0);
        const auto result = runRender (scratch.get(), { "secret.wav", "out.wav" });
        chmod (file ("secret.wav").getFullPathName().toRawUTF8(), 0644);

        EXPECT_EQ (result.exitCode, 1);
        EXPECT_NE (result.err.find ("secret.wav: cannot be read"), std::string::npos) << result.err;
        EXPECT_FALSE (file ("out.wav").exists());
    }

    //==============================================================================
    struct SignalCase
    {
        const char* name;
        int signalNumber;
        bool endsTheProgram; // else it is ignored and the render completes
    };

    void PrintTo (const SignalCase& c, std::ostream* out)
    {
        *out << c.name;
    }

    class RenderSignal : public ::testing::TestWithParam<SignalCase>
    {
    protected:
        ScratchFolder scratch;
    };

    TEST_P (RenderSignal, LeavesNoTemporaryFileWhetherItEndsTheProgramOrNot)
    {
        const auto& c = GetParam();
        const auto& folder = scratch.get();
        // Long enough that the program is still writing when the signal comes.
        writeAudio (folder.getChildFile ("long.wav"), noise (2, 44100 * 240), 44100.0, 16);
        const auto before = folderPicture (folder);

        RenderProgram program (folder, { "long.wav", "out.wav" });

        bool sawTemporaryFile = false;
        const auto deadline = juce::Time::getMillisecondCounter() + 20000;
        while (! sawTemporaryFile && juce::Time::getMillisecondCounter() < deadline)
        {
            sawTemporaryFile = ! folder.findChildFiles (juce::File::findFiles, false, ".out.wav.krotrella-*").isEmpty();
            if (! sawTemporaryFile)
                usleep (200);
        }
        ASSERT_TRUE (sawTemporaryFile);
        kill (program.getPid(), c.signalNumber);

        const auto result = program.finish();
        auto after = folderPicture (folder);
        if (c.endsTheProgram)
        {
            EXPECT_EQ (result.signal, c.signalNumber) << "exit code " << result.exitCode << ": " << result.err;
        }
        else
        {
            EXPECT_EQ (result.exitCode, 0) << "signal " << result.signal << ": " << result.err;
            EXPECT_EQ (after.erase ("out.wav"), 1u) << "the render went on to the end";
        }
        EXPECT_EQ (after, before);
    }

    INSTANTIATE_TEST_SUITE_P (
        Signals, RenderSignal,
        ::testing::Values (SignalCase{ "Interrupt", SIGINT, true }, SignalCase{ "Terminate", SIGTERM, true },
                           SignalCase{ "HangUp", SIGHUP, true }, SignalCase{ "BusError", SIGBUS, true },
                           SignalCase{ "Quit", SIGQUIT, true }, SignalCase{ "UserSignal", SIGUSR1, true },
                           SignalCase{ "Alarm", SIGALRM, true }, SignalCase{ "BrokenPipe", SIGPIPE, false },
                           SignalCase{ "FileSizeLimitExceeded", SIGXFSZ, false }),
        [] (const auto& row) { return std::string (row.param.name); });

    TEST (RenderSignal, AReaderThatGoesAwayDoesNotStopTheBatch)
    {
        // As `krotrella-render ... 2>&1 | head -1` leaves it once head has its line: the first error
        // line meets a closed pipe, and the files after it are still rendered.
        const ScratchFolder scratch;
        const auto& folder = scratch.get();
        folder.getChildFile ("out").createDirectory();
        stereoFile (folder.getChildFile ("in.wav"));

        const auto result = runRender (folder, { "absent.wav", "in.wav", "--out-dir", "out" }, { false, -1, true });

        EXPECT_EQ (result.signal, 0);
        EXPECT_EQ (result.exitCode, 1);
        EXPECT_TRUE (folder.getChildFile ("out/in.wav").existsAsFile());
    }
} // namespace
