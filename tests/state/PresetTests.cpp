// Presets as files and as the factory's list, and the undo history, on their own.

#include "state/EditHistory.h"
#include "state/FactoryPresets.h"
#include "state/ParameterText.h"
#include "state/PresetLibrary.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    using Values = PresetDocument::Values;

    Values distinctValues (float seed)
    {
        Values values{};
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = std::fmod (seed + 0.037f * (float) i, 1.0f);
        return values;
    }

    juce::StringArray fileNamesIn (const juce::File& folder)
    {
        juce::StringArray names;
        for (const auto& item : juce::RangedDirectoryIterator (
                 folder, false, "*", juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles))
            names.add (item.getFile().getFileName());
        for (const auto& item : juce::RangedDirectoryIterator (folder, false, ".*", juce::File::findFiles))
            names.add (item.getFile().getFileName());
        names.sort (false);
        return names;
    }

    //==============================================================================
    TEST (FactoryPresets, EverySettingIsWrittenInTextsTheParametersUnderstand)
    {
        ASSERT_GE (FactoryPresets::count(), 12);
        EXPECT_EQ (FactoryPresets::name (0), "Default");
        EXPECT_EQ (FactoryPresets::values (0), FactoryPresets::initialValues());
        EXPECT_TRUE (FactoryPresets::name (FactoryPresets::count()).isEmpty());

        juce::StringArray names;
        for (int preset = 0; preset < FactoryPresets::count(); ++preset)
        {
            const auto name = FactoryPresets::name (preset);
            EXPECT_FALSE (names.contains (name, true)) << name;
            names.add (name);
            EXPECT_EQ (FactoryPresets::find (name.toUpperCase()), preset);

            for (const auto& assignment : FactoryPresets::assignments (preset))
            {
                const int index = findTrellaParamIndex (assignment.id);
                ASSERT_GE (index, 0) << name << ": " << assignment.id;
                const auto value = ParameterText::parse (index, assignment.value);
                ASSERT_TRUE (value.has_value()) << name << ": " << assignment.id << "=" << assignment.value;
                EXPECT_EQ (FactoryPresets::values (preset)[(size_t) index], *value) << name << ": " << assignment.id;
                // What the knob shows reads back as the same value.
                EXPECT_EQ (ParameterText::parse (index, ParameterText::format (index, *value)), *value)
                    << name << ": " << assignment.id;
            }

            // Every preset but Default switches the equaliser on and changes something.
            if (preset > 0)
            {
                EXPECT_EQ (FactoryPresets::values (preset)[(size_t) findTrellaParamIndex ("master_active")], 1.0f)
                    << name;
                EXPECT_NE (FactoryPresets::values (preset), FactoryPresets::values (0)) << name;
            }
        }
        EXPECT_FALSE (FactoryPresets::find ("No such preset").has_value());
    }

    //==============================================================================
    SettingSnapshot snapshotWith (float seed)
    {
        SettingSnapshot snapshot;
        snapshot.slots[0].values = distinctValues (seed);
        return snapshot;
    }

    TEST (EditHistory, UndoesAndRedoesStepsInOrderAndANewStepDropsTheRedo)
    {
        EditHistory history;
        EXPECT_FALSE (history.canUndo());
        EXPECT_EQ (history.undo(), nullptr);
        EXPECT_EQ (history.redo(), nullptr);

        history.record (snapshotWith (0.1f), snapshotWith (0.1f)); // changes nothing: no step
        EXPECT_FALSE (history.canUndo());

        history.record (snapshotWith (0.1f), snapshotWith (0.2f));
        history.record (snapshotWith (0.2f), snapshotWith (0.3f));
        ASSERT_TRUE (history.canUndo());

        auto* step = history.undo();
        ASSERT_NE (step, nullptr);
        EXPECT_EQ (step->before, snapshotWith (0.2f));
        EXPECT_EQ (history.undo()->before, snapshotWith (0.1f));
        EXPECT_FALSE (history.canUndo());
        EXPECT_EQ (history.redo()->after, snapshotWith (0.2f));
        EXPECT_TRUE (history.canRedo());

        history.record (snapshotWith (0.2f), snapshotWith (0.5f));
        EXPECT_FALSE (history.canRedo());
        EXPECT_EQ (history.undo()->after, snapshotWith (0.5f));
        EXPECT_EQ (history.undo()->after, snapshotWith (0.2f));
        EXPECT_FALSE (history.canUndo());
    }

    TEST (EditHistory, KeepsTheNewestStepsUpToItsCapacity)
    {
        static_assert (EditHistory::capacity >= 100);
        EditHistory history;
        const int recorded = (int) EditHistory::capacity + 50;
        for (int i = 0; i < recorded; ++i)
            history.record (snapshotWith ((float) i * 0.001f), snapshotWith ((float) (i + 1) * 0.001f));

        EXPECT_EQ (history.size(), EditHistory::capacity);
        int undone = 0;
        const EditHistory::Step* last = nullptr;
        while (auto* step = history.undo())
        {
            last = step;
            ++undone;
        }
        EXPECT_EQ (undone, (int) EditHistory::capacity);
        ASSERT_NE (last, nullptr);
        EXPECT_EQ (last->before, snapshotWith (50 * 0.001f)); // the oldest 50 have gone
    }

    //==============================================================================
    TEST (PresetLibrary, KeepsNamesOfAnyCharactersWithExactValues)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get().getChildFile ("Presets"));

        const juce::String names[] = { "Vocal",
                                       "a/b\\c",
                                       "say \"hi\" it's",
                                       "../escape",
                                       ".hidden",
                                       "100% wet",
                                       juce::String::fromUTF8 ("\xd0\x93\xd0\xbe\xd0\xbb\xd0\xbe\xd1\x81 \xe5\xa3\xb0"),
                                       "tab\there",
                                       "*?<>|:" };
        float seed = 0.0f;
        for (const auto& name : names)
        {
            ASSERT_EQ (library.save (name, distinctValues (seed += 0.05f)), "") << name;
            // Every file lands in the folder itself, visible, whatever the name holds.
            EXPECT_EQ (library.fileFor (name).getParentDirectory(), library.getFolder()) << name;
            EXPECT_FALSE (library.fileFor (name).isHidden()) << name;
        }

        seed = 0.0f;
        for (const auto& name : names)
        {
            const auto entry = library.find (name);
            ASSERT_TRUE (entry.has_value()) << name;
            EXPECT_EQ (entry->name, name);
            EXPECT_EQ (entry->values, distinctValues (seed += 0.05f)) << name;
        }

        EXPECT_EQ (library.scan().size(), std::size (names));
        EXPECT_EQ (fileNamesIn (library.getFolder()).size(), (int) std::size (names)); // no temporary left
        EXPECT_FALSE (scratch.get().getChildFile ("escape.xml").exists());
    }

    TEST (PresetLibrary, RefusesNamesItCannotKeep)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get());
        for (const auto& name : { juce::String(), juce::String ("   "), juce::String::repeatedString ("x", 201),
                                  juce::String::repeatedString (juce::String::fromUTF8 ("\xe5\xa3\xb0"), 70) })
        {
            EXPECT_NE (library.save (name, distinctValues (0.1f)), "") << name;
        }
        EXPECT_TRUE (fileNamesIn (scratch.get()).isEmpty());
        EXPECT_EQ (library.save (juce::String::repeatedString (juce::String::fromUTF8 ("\xe5\xa3\xb0"), 66),
                                 distinctValues (0.1f)),
                   "");
    }

    TEST (PresetLibrary, ReplacesRenamesAndDeletes)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get());

        ASSERT_EQ (library.save ("Lead", distinctValues (0.1f)), "");
        ASSERT_EQ (library.save ("Lead", distinctValues (0.2f)), "");
        EXPECT_EQ (library.find ("lead")->values, distinctValues (0.2f));

        ASSERT_EQ (library.save ("Backing", distinctValues (0.3f)), "");
        ASSERT_EQ (library.rename ("Lead", "Lead / dry"), "");
        EXPECT_FALSE (library.find ("Lead").has_value());
        EXPECT_EQ (library.find ("Lead / dry")->values, distinctValues (0.2f));

        // A rename onto a taken name replaces that preset (the window asks first).
        ASSERT_EQ (library.rename ("Lead / dry", "Backing"), "");
        EXPECT_EQ (library.find ("Backing")->values, distinctValues (0.2f));
        EXPECT_EQ (library.scan().size(), 1u);

        EXPECT_EQ (library.remove ("Backing"), "");
        EXPECT_TRUE (library.scan().empty());
        EXPECT_NE (library.remove ("Backing"), "");
        EXPECT_NE (library.rename ("Nothing", "Else"), "");
    }

    TEST (PresetLibrary, ListsDamagedAndForeignFilesAsUnreadableAndNeverTouchesThem)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get());
        ASSERT_EQ (library.save ("Good", distinctValues (0.4f)), "");

        const struct
        {
            const char* file;
            const char* text;
        } bad[] = {
            { "cut.xml", "<?xml version=\"1.0\"?><KroPRESET><PARAM ID=\"band1_gain\" Value" },
            { "foreign.xml", "<svg><rect/></svg>" },
            { "out-of-range.xml", "<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"7\"/></KroPRESET>" },
            { "empty.xml", "" },
            { "binary.xml", "\x01\x02\xff\xfe" },
        };
        for (const auto& b : bad)
            ASSERT_TRUE (scratch.get().getChildFile (b.file).replaceWithText (b.text));
        ASSERT_TRUE (scratch.get().getChildFile ("notes.txt").replaceWithText ("not a preset"));

        const auto entries = library.scan();
        ASSERT_EQ (entries.size(), std::size (bad) + 1);
        int unreadable = 0;
        for (const auto& entry : entries)
        {
            if (entry.isReadable())
            {
                EXPECT_EQ (entry.name, "Good");
                EXPECT_EQ (entry.values, distinctValues (0.4f));
                continue;
            }
            ++unreadable;
            EXPECT_TRUE (entry.problem.isNotEmpty());
        }
        EXPECT_EQ (unreadable, (int) std::size (bad));

        // Saving and looking up leave the damaged files exactly as they were.
        ASSERT_EQ (library.save ("cut", distinctValues (0.5f)), ""); // the same file name as "cut.xml"
        EXPECT_EQ (library.find ("cut")->values, distinctValues (0.5f));
        for (const auto& b : bad)
        {
            if (juce::String (b.file) != "cut.xml")
                EXPECT_EQ (scratch.get().getChildFile (b.file).loadFileAsString(), juce::String (b.text)) << b.file;
        }
    }

    /** Makes a folder read-only for this process: by its mode, or, for root (whom modes do not
        stop), with the immutable attribute. False when neither can be done here.
    */
    bool makeReadOnly (const juce::File& folder, bool readOnly)
    {
        const auto path = folder.getFullPathName();
        if (geteuid() != 0)
            return chmod (path.toRawUTF8(), readOnly ? 0555 : 0755) == 0;
        const auto command = juce::String ("chattr ") + (readOnly ? "+i" : "-i") + " '" + path + "' 2>/dev/null";
        return std::system (command.toRawUTF8()) == 0;
    }

    TEST (PresetLibrary, AReadOnlyFolderRefusesWithAReasonAndKeepsEveryPreset)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get());
        ASSERT_EQ (library.save ("Kept", distinctValues (0.6f)), "");
        if (! makeReadOnly (scratch.get(), true))
            GTEST_SKIP() << "cannot make a folder read-only here (chattr needs an ext file system as root)";

        EXPECT_NE (library.save ("New", distinctValues (0.7f)), "");
        EXPECT_NE (library.save ("Kept", distinctValues (0.7f)), "");
        EXPECT_NE (library.remove ("Kept"), "");
        EXPECT_TRUE (library.save ("New", distinctValues (0.7f)).contains (scratch.get().getFullPathName()));
        EXPECT_EQ (library.find ("Kept")->values, distinctValues (0.6f));
        EXPECT_EQ (library.scan().size(), 1u);

        EXPECT_TRUE (makeReadOnly (scratch.get(), false));
    }

    TEST (PresetLibrary, AThousandPresetsAreAllListedAndFound)
    {
        const ScratchFolder scratch;
        const PresetLibrary library (scratch.get());
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ (library.save ("Preset " + juce::String (i), distinctValues ((float) i * 0.001f)), "");

        const auto entries = library.scan();
        ASSERT_EQ (entries.size(), 1000u);
        EXPECT_EQ (entries.front().name, "Preset 0");
        EXPECT_EQ (entries.back().name, "Preset 999"); // natural order
        EXPECT_EQ (library.find ("Preset 777")->values, distinctValues (0.777f));
    }
} // namespace
