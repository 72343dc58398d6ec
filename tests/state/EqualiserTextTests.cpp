// Reading equaliser files: what is taken from each line, and every line that is not used named
// with its number and reason, whatever the file holds.

#include "support/ScratchFolder.h"
#include "text/EqualiserText.h"

#include <gtest/gtest.h>

namespace
{
    using Kind = EqualiserText::FilterKind;

    /** The note about a line, or an empty text. */
    juce::String noteFor (const EqualiserText::Result& result, int line)
    {
        for (const auto& note : result.notes)
            if (note.line == line)
                return note.text;
        return {};
    }

    TEST (EqualiserText, ReadsTheFiltersAndThePreampOfAnAutoEqFile)
    {
        const auto result = EqualiserText::read ("Preamp: -6.1 dB\n"
                                                 "Filter 1: ON LSC Fc 105 Hz Gain 6.4 dB Q 0.70\n"
                                                 "Filter 2: ON PK Fc 190 Hz Gain -2.1 dB Q 0.55\n"
                                                 "Filter 3: ON HSC Fc 10000 Hz Gain -2.1 dB Q 0.70\n");
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_TRUE (result.notes.empty());
        EXPECT_DOUBLE_EQ (result.preampDb, -6.1);
        ASSERT_EQ (result.filters.size(), 3u);

        const auto& shelf = result.filters[0];
        EXPECT_EQ (shelf.kind, Kind::lowShelf);
        EXPECT_DOUBLE_EQ (shelf.frequency, 105.0);
        EXPECT_DOUBLE_EQ (shelf.gainDb, 6.4);
        EXPECT_DOUBLE_EQ (shelf.q, 0.70);
        EXPECT_EQ (shelf.line, 2);
        EXPECT_EQ (result.filters[1].kind, Kind::peak);
        EXPECT_EQ (result.filters[2].kind, Kind::highShelf);
    }

    /** One filter line and what must be read from it. */
    struct FilterCase
    {
        const char* label;
        const char* line;
        Kind kind;
        double frequency, gainDb, q;
    };

    std::ostream& operator<< (std::ostream& os, const FilterCase& c)
    {
        return os << c.label;
    }

    const double butterworth = EqualiserText::butterworthQ;

    const FilterCase filterCases[] = {
        { "comma_decimal_mark", "Filter 1: ON PK Fc 1000,5 Hz Gain -3,5 dB Q 1,41", Kind::peak, 1000.5, -3.5, 1.41 },
        { "rew_spacing_and_peq", "Filter  2: ON  PEQ      Fc   63.0 Hz  Gain  -5.0 dB  Q  4.000", Kind::peak, 63.0,
          -5.0, 4.0 },
        { "units_joined_and_kilohertz", "filter 3: on pk fc 2.5kHz gain +4dB q 2", Kind::peak, 2500.0, 4.0, 2.0 },
        { "unnumbered_filter", "Filter: ON PK Fc 300 Hz Gain 1 dB Q 0.9", Kind::peak, 300.0, 1.0, 0.9 },
        // sqrt(2^N) / (2^N - 1): one octave is Q 1.4142, two octaves Q 0.6667
        { "bandwidth_one_octave", "Filter 4: ON PK Fc 500 Hz Gain 3 dB BW Oct 1", Kind::peak, 500.0, 3.0,
          1.4142135623730951 },
        { "bandwidth_two_octaves", "Filter 5: ON PK Fc 500 Hz Gain 3 dB BW Oct 2,0", Kind::peak, 500.0, 3.0,
          2.0 / 3.0 },
        // The cookbook's S = 1 (12 dB per octave) is Q 1/sqrt(2) whatever the gain.
        { "shelf_slope_12_db", "Filter 6: ON LSC 12dB Fc 80 Hz Gain 6 dB", Kind::lowShelf, 80.0, 6.0, butterworth },
        // S = 0.5 at +6 dB: 1/Q = sqrt((A + 1/A)(1/S - 1) + 2) with A = 10^(6/40)
        { "shelf_slope_6_db", "Filter 7: ON HS 6 dB Fc 8000 Hz Gain 6 dB", Kind::highShelf, 8000.0, 6.0,
          1.0 / std::sqrt ((std::pow (10.0, 6.0 / 40.0) + std::pow (10.0, -6.0 / 40.0)) + 2.0) },
        { "shelf_without_q", "Filter 8: ON LS Fc 100 Hz Gain -4 dB", Kind::lowShelf, 100.0, -4.0, butterworth },
        { "high_pass_without_q", "Filter 9: ON HP Fc 30 Hz", Kind::highPass, 30.0, 0.0, butterworth },
        { "low_pass_with_q", "Filter 10: ON LPQ Fc 15000 Hz Q 0.5", Kind::lowPass, 15000.0, 0.0, 0.5 },
        { "trailing_comment", "Filter 11: ON HPQ Fc 25 Hz Q 0.5 # rumble", Kind::highPass, 25.0, 0.0, 0.5 },
    };

    class EqualiserTextFilter : public ::testing::TestWithParam<FilterCase>
    {
    };

    TEST_P (EqualiserTextFilter, IsReadWithItsValues)
    {
        const auto& c = GetParam();
        const auto result = EqualiserText::read (c.line);
        ASSERT_TRUE (result.isUsable()) << result.error;
        ASSERT_EQ (result.filters.size(), 1u) << (result.notes.empty() ? "" : result.notes[0].describe());
        const auto& filter = result.filters[0];
        EXPECT_EQ (filter.kind, c.kind);
        EXPECT_NEAR (filter.frequency, c.frequency, 1.0e-9);
        EXPECT_NEAR (filter.gainDb, c.gainDb, 1.0e-9);
        EXPECT_NEAR (filter.q, c.q, 1.0e-9);
    }

    INSTANTIATE_TEST_SUITE_P (Lines, EqualiserTextFilter, ::testing::ValuesIn (filterCases),
                              [] (const auto& testInfo) { return std::string (testInfo.param.label); });

    TEST (EqualiserText, NamesEveryLineItDoesNotUseAndStillUsesTheRest)
    {
        const char* const text = "# a comment line\n"                                  // 1
                                 "Preamp: -3 dB\n"                                     // 2
                                 "Filter 1: ON PK Fc 100 Hz Gain 2 dB Q 1\n"           // 3
                                 "Filter 2: OFF PK Fc 200 Hz Gain 2 dB Q 1\n"          // 4
                                 "Filter 3: ON BP Fc 300 Hz Q 1\n"                     // 5
                                 "this is not an equaliser\n"                          // 6
                                 "Filter 4: ON PK Fc 1,2,3 Hz Gain 2 dB Q 1\n"         // 7
                                 "Filter 5: ON PK Fc 500 Hz Gain 2 dB\n"               // 8
                                 "Filter 6: ON PK Fc 600 Hz Gain 2 dB Gain 3 dB Q 1\n" // 9
                                 "Filter 7: ON PK Fc 700 Hz Gain 200 dB Q 1\n"         // 10
                                 "Filter 8: ON PK Fc 800 Hz Gain 2 dB Q 1 Width 3\n"   // 11
                                 "GraphicEQ: 25 0; 40 1\n"                             // 12
                                 "Filter 9: maybe PK Fc 900 Hz Gain 2 dB Q 1\n"        // 13
                                 "Channel: L\n"                                        // 14
                                 "Filter 10: ON PK Fc 1000 Hz Gain 2 dB Q 1\n"         // 15
                                 "Channel: all\n"                                      // 16
                                 "Filter 11: ON HSC Fc 9000 Hz Gain -2 dB Q 0.7\n"     // 17
                                 "Filter 12: ON LSC 40 dB Fc 100 Hz Gain 24 dB\n"      // 18
                                 "Filter 13: ON PK Fc 0 Hz Gain 2 dB Q 1\n"            // 19
                                 "Filter 14: ON None\n";                               // 20
        const auto result = EqualiserText::read (text);
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_DOUBLE_EQ (result.preampDb, -3.0);

        ASSERT_EQ (result.filters.size(), 2u);
        EXPECT_EQ (result.filters[0].line, 3);
        EXPECT_EQ (result.filters[1].line, 17);

        const std::pair<int, const char*> expected[] = {
            { 4, "switched OFF" },
            { 5, "filter type 'BP'" },
            { 6, "not an equaliser line" },
            { 7, "Fc needs a frequency" },
            { 8, "needs a Q or a BW" },
            { 9, "Gain is given twice" },
            { 10, "beyond +-100 dB" },
            { 11, "unexpected \"Width\"" },
            { 12, "'GraphicEQ:' is not read" },
            { 13, "ON or OFF" },
            { 15, "one curve to both channels" },
            { 18, "not possible for this gain" },
            { 19, "outside 1 Hz to 100 kHz" },
        };
        for (const auto& [line, words] : expected)
            EXPECT_TRUE (noteFor (result, line).contains (words))
                << "line " << line << ": \"" << noteFor (result, line) << "\"";

        EXPECT_EQ ((int) result.notes.size(), (int) std::size (expected)) << "comments, empty slots and used lines "
                                                                             "are not named";
        EXPECT_EQ (result.linesNotUsed, (int) std::size (expected));
        EXPECT_EQ (result.notes[0].describe(), "line 4: the filter is switched OFF");
    }

    TEST (EqualiserText, AFileWithNothingToUseIsAnErrorThatSaysWhy)
    {
        const std::pair<const char*, const char*> cases[] = {
            { "", "the file is empty" },
            { " \n\t\r\n  \n", "the file is empty" },
            { "# only\n# comments\n", "holds no Preamp or Filter line" },
            { "garbage\n\x01\x02\x03\nmore: garbage\n", "no line of the file can be used (3 lines not used)" },
            { "Filter 1: OFF PK Fc 100 Hz Gain 2 dB Q 1\n", "no line of the file can be used" },
        };
        for (const auto& [text, error] : cases)
        {
            const auto result = EqualiserText::read (text);
            EXPECT_FALSE (result.isUsable()) << text;
            EXPECT_TRUE (result.error.contains (error)) << "\"" << result.error << "\" for \"" << text << "\"";
            EXPECT_TRUE (result.filters.empty());
        }
    }

    TEST (EqualiserText, TenThousandLinesAreReadWithTheNotesBounded)
    {
        juce::MemoryOutputStream text;
        int filterLines = 0, garbageLines = 0;
        for (int line = 1; line <= 10000; ++line)
        {
            if (line % 10 == 0)
            {
                text << "Filter " << line << ": ON PK Fc " << (20 + line) << " Hz Gain 0,1 dB Q 2\n";
                ++filterLines;
            }
            else if (line % 10 == 5)
                text << "# comment " << line << "\n";
            else
            {
                text << "x" << line << " random words, no colon\n";
                ++garbageLines;
            }
        }

        const auto result = EqualiserText::read (text.toString());
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_EQ ((int) result.filters.size(), filterLines);
        EXPECT_EQ (result.linesNotUsed, garbageLines);
        ASSERT_EQ ((int) result.notes.size(), EqualiserText::maximumNotes + 1);
        EXPECT_EQ (result.notes.front().describe(), "line 1: not an equaliser line: \"x1 random words, no colon\"");
        EXPECT_EQ (result.notes.back().describe(),
                   "and " + juce::String (garbageLines - EqualiserText::maximumNotes) + " more lines not used");
    }

    TEST (EqualiserText, LimitsWhatOneFileCanMake)
    {
        juce::String text;
        text << "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q " << juce::String::repeatedString ("1", 2000) << "\n";
        for (int i = 0; i < EqualiserText::maximumFilters + 5; ++i)
            text << "Filter: ON PK Fc 1000 Hz Gain 0.01 dB Q 1\n";

        const auto result = EqualiserText::read (text);
        EXPECT_EQ ((int) result.filters.size(), EqualiserText::maximumFilters);
        EXPECT_TRUE (noteFor (result, 1).contains ("longer than 1000 characters"));
        EXPECT_TRUE (noteFor (result, EqualiserText::maximumFilters + 2).contains ("more than 1000 filters"));
        EXPECT_EQ (result.linesNotUsed, 1 + 5);
    }

    TEST (EqualiserText, ReadsFilesInTheirEncodingsAndRefusesWhatIsNoEqualiserFile)
    {
        ScratchFolder scratch;
        const auto folder = scratch.get();
        const auto content =
            juce::String::fromUTF8 ("Preamp: -2 dB\r\nFilter 1: ON PK Fc 1000 Hz Gain 3 dB Q 1 # \xc2\xb1\r\n");

        // UTF-16 with a byte-order mark, as Windows editors save "Unicode" text.
        const auto utf16 = folder.getChildFile ("utf16.txt");
        {
            juce::FileOutputStream out (utf16);
            out.writeText (content, true, true, "\r\n");
        }
        // UTF-8 with a byte-order mark, and one byte per character (a Windows code page).
        const auto utf8 = folder.getChildFile ("utf8.txt");
        {
            juce::FileOutputStream out (utf8);
            out.write ("\xef\xbb\xbf", 3);
            out.writeText (content, false, false, nullptr);
        }
        const auto latin1 = folder.getChildFile ("latin1.txt");
        const char latin1Bytes[] = "Preamp: -2 dB\nFilter 1: ON PK Fc 1000 Hz Gain 3 dB Q 1 # \xb1\xe9\n";
        latin1.replaceWithData (latin1Bytes, sizeof (latin1Bytes) - 1);

        for (const auto& file : { utf16, utf8, latin1 })
        {
            const auto result = EqualiserText::readFile (file);
            ASSERT_TRUE (result.isUsable()) << file.getFileName() << ": " << result.error;
            EXPECT_EQ (result.filters.size(), 1u) << file.getFileName();
            EXPECT_DOUBLE_EQ (result.preampDb, -2.0) << file.getFileName();
            EXPECT_TRUE (result.notes.empty()) << file.getFileName();
        }

        // Binary noise with zero bytes: refused with a reason, never a crash.
        juce::MemoryBlock noise (65536);
        juce::Random random (3);
        random.fillBitsRandomly (noise.getData(), noise.getSize());
        const auto binary = folder.getChildFile ("noise.bin");
        binary.replaceWithData (noise.getData(), noise.getSize());

        const auto huge = folder.getChildFile ("huge.txt");
        {
            juce::FileOutputStream out (huge);
            for (int i = 0; i < 200000; ++i)
                out << "Filter: ON PK Fc 1000 Hz Gain 1 dB Q 1\n";
        }

        const std::pair<juce::File, const char*> refused[] = {
            { binary, "no line of the file can be used" },
            { huge, "is larger than 4 MB" },
            { folder.getChildFile ("missing.txt"), "no such file" },
            { folder, "is a folder" },
        };
        for (const auto& [file, error] : refused)
        {
            const auto result = EqualiserText::readFile (file);
            EXPECT_TRUE (result.error.contains (error)) << file.getFileName() << ": \"" << result.error << "\"";
        }
    }
} // namespace
