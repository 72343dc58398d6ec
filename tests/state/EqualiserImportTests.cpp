// Importing equaliser files: the imported values are set on a real engine, an impulse is processed,
// and its response is compared with the file's filters designed here from the cookbook formulas
// (tests/support), independently of the importer's own computations.

#include "engine/ParameterIndex.h"
#include "state/EqualiserImport.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace
{
    using Kind = EqualiserText::FilterKind;
    constexpr double sampleRate = EqualiserImport::sampleRate; // 48 kHz

    /** The file's response at a frequency, in dB: its preamp and every filter, from the cookbook. */
    double fileDecibels (const EqualiserText::Result& file, double frequency)
    {
        double level = file.preampDb;
        for (const auto& f : file.filters)
        {
            const auto biquad = f.kind == Kind::peak       ? textbook::peak (sampleRate, f.frequency, f.q, f.gainDb)
                                : f.kind == Kind::lowShelf ? textbook::lowShelf (sampleRate, f.frequency, f.q, f.gainDb)
                                : f.kind == Kind::highShelf
                                    ? textbook::highShelf (sampleRate, f.frequency, f.q, f.gainDb)
                                : f.kind == Kind::highPass ? textbook::highPass (sampleRate, f.frequency, f.q)
                                                           : textbook::lowPass (sampleRate, f.frequency, f.q);
            level += signals::toDb (biquad.magnitudeAt (frequency, sampleRate));
        }
        return level;
    }

    /** The engine's response to the imported values, measured on a processed impulse. */
    signals::StereoResponse processedResponse (const EqualiserImport::Result& result)
    {
        TrellaDSP engine (sampleRate, 512);
        for (int i = 0; i < TrellaDSP::numParameters; ++i)
            engine.setParameter (i, result.values[(size_t) i]);
        return signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 65536);
    }

    struct Comparison
    {
        double largestDb = 0.0, atHz = 0.0;
    };

    /** The largest difference between the processed response and the file's, over the grid. */
    Comparison compare (const EqualiserImport::Result& result, const EqualiserText::Result& file,
                        const std::vector<double>& frequencies)
    {
        const auto response = processedResponse (result);
        Comparison comparison;
        for (const double f : frequencies)
        {
            const double expected = fileDecibels (file, f);
            for (const auto* channel : { &response.left, &response.right })
            {
                const double difference =
                    std::abs (signals::toDb (signals::magnitudeAt (*channel, f, sampleRate)) - expected);
                if (difference > comparison.largestDb)
                    comparison = { difference, f };
            }
        }
        return comparison;
    }

    //==============================================================================
    struct ExactCase
    {
        const char* label;
        const char* text;
        int bandTypes[4];
        int active[4];
    };

    std::ostream& operator<< (std::ostream& os, const ExactCase& c)
    {
        return os << c.label;
    }

    const ExactCase exactCases[] = {
        { "autoeq_four_filters",
          "Preamp: -4.5 dB\n"
          "Filter 1: ON LSC Fc 105 Hz Gain 6.4 dB Q 0.70\n"
          "Filter 2: ON PK Fc 3400 Hz Gain 4.1 dB Q 2.5\n"
          "Filter 3: ON PK Fc 1250 Hz Gain -3.2 dB Q 1.41\n"
          "Filter 4: ON HSC Fc 9000 Hz Gain -2.8 dB Q 0.7\n",
          { BandType::LowShelf, BandType::Peak, BandType::Peak, BandType::HighShelf },
          { 1, 1, 1, 1 } },
        { "rew_pass_filters_bandwidth_slope_commas",
          "Filter Settings file\n"
          "Filter  1: ON  HPQ  Fc 28,0 Hz  Q 0,500\n"
          "Filter  2: ON  PK   Fc 62,5 Hz  Gain -7,5 dB  BW Oct 0,33\n"
          "Filter  3: ON  PK   Fc 240 Hz   Gain 3,0 dB  BW Oct 1,5\n"
          "Filter  4: ON  HS 6dB Fc 6000 Hz Gain 4,5 dB\n"
          "Filter  5: ON  LPQ  Fc 17500 Hz  Q 0,5\n"
          "Filter  6: ON  None\n",
          { BandType::Peak, BandType::Peak, BandType::Peak, BandType::HighShelf },
          { 1, 1, 0, 1 } },
        { "four_peaks_in_any_order",
          "Preamp: +2 dB\n"
          "Filter: ON PK Fc 15000 Hz Gain -6 dB Q 3\n"
          "Filter: ON PK Fc 25 Hz Gain 5 dB Q 0.8\n"
          "Filter: ON PK Fc 4000 Hz Gain -9.5 dB Q 8\n"
          "Filter: ON PK Fc 700 Hz Gain 2 dB Q 0.15\n",
          { BandType::Peak, BandType::Peak, BandType::Peak, BandType::Peak },
          { 1, 1, 1, 1 } },
    };

    class ExactImport : public ::testing::TestWithParam<ExactCase>
    {
    };

    TEST_P (ExactImport, SoundsLikeTheFileWithinAHundredthOfADecibel)
    {
        const auto& c = GetParam();
        const auto file = EqualiserText::read (c.text);
        const auto result = EqualiserImport::fromText (c.text);
        ASSERT_TRUE (result.isUsable()) << result.error;
        ASSERT_TRUE (result.exact) << result.whyFitted;

        for (int b = 0; b < 4; ++b)
        {
            EXPECT_EQ (result.setting.band[b].type, c.bandTypes[b]) << "band " << b + 1;
            EXPECT_EQ (result.setting.band[b].active, c.active[b]) << "band " << b + 1;
        }

        const auto comparison = compare (result, file, signals::logSpacedFrequencies (20.0, 20000.0, 301));
        std::cout << c.label << ": largest difference " << comparison.largestDb << " dB at " << comparison.atHz
                  << " Hz (48 kHz); the importer's own figure: " << result.deviation.largestDb << " dB\n";
        EXPECT_LT (comparison.largestDb, 0.01);
        EXPECT_LT (result.deviation.largestDb, 0.01);
    }

    INSTANTIATE_TEST_SUITE_P (Files, ExactImport, ::testing::ValuesIn (exactCases),
                              [] (const auto& testInfo) { return std::string (testInfo.param.label); });

    //==============================================================================
    /** A headphone correction of the kind AutoEQ publishes, made up for the tests (ten filters). */
    juce::String tenFilterCorrection()
    {
        return juce::File (KRO_STATE_TEST_FILES).getChildFile ("headphone-correction-10.txt").loadFileAsString();
    }

    TEST (FittedImport, TenFilterCorrectionComesCloserThanAFlatEqualiser)
    {
        const auto file = EqualiserText::read (tenFilterCorrection());
        const auto result = EqualiserImport::fromText (tenFilterCorrection());
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_FALSE (result.exact);
        EXPECT_FALSE (result.flatWasBetter);
        EXPECT_EQ (result.whyFitted, "10 peaks and shelves for 4 bands");
        std::cout << result.summary() << "\n";

        EXPECT_LT (result.deviation.rmsDb, result.flatDeviation.rmsDb);
        EXPECT_LT (result.deviation.largestDb, result.flatDeviation.largestDb);

        // The figures are what the engine really does: the processed response, against the file
        // designed here, gives the same largest deviation over the importer's grid.
        const auto comparison =
            compare (result, file, signals::logSpacedFrequencies (20.0, 20000.0, EqualiserImport::gridPoints));
        EXPECT_NEAR (comparison.largestDb, result.deviation.largestDb, 0.01);
        EXPECT_NEAR (comparison.atHz, result.deviation.largestAtHz, 1.0e-6 * comparison.atHz);

        for (const auto value : result.values)
            EXPECT_TRUE (value >= 0.0f && value <= 1.0f);
        EXPECT_EQ (result.values[ParameterIndex::eqActive], 1.0f);
    }

    /** A file that cannot be taken over one to one, and the reason the result must give. */
    struct FitCase
    {
        const char* label;
        const char* text;
        const char* why;
    };

    std::ostream& operator<< (std::ostream& os, const FitCase& c)
    {
        return os << c.label;
    }

    const FitCase fitCases[] = {
        { "butterworth_high_pass", "Filter 1: ON HP Fc 60 Hz\nFilter 2: ON PK Fc 1000 Hz Gain 3 dB Q 1\n",
          "line 1: the high-pass has Q 0.71; Kro Trella's has the fixed Q 0.5" },
        { "five_peaks",
          "Filter: ON PK Fc 100 Hz Gain 3 dB Q 1\nFilter: ON PK Fc 400 Hz Gain -3 dB Q 2\n"
          "Filter: ON PK Fc 1600 Hz Gain 3 dB Q 1\nFilter: ON PK Fc 6400 Hz Gain -3 dB Q 2\n"
          "Filter: ON PK Fc 12800 Hz Gain 3 dB Q 1\n",
          "5 peaks and shelves for 4 bands" },
        { "gain_beyond_range", "Filter 1: ON PK Fc 1000 Hz Gain 30 dB Q 1\n",
          "line 1: Gain 30.0 dB is beyond +-24 dB" },
        { "q_beyond_range", "Filter 1: ON PK Fc 1000 Hz Gain -6 dB Q 16\n", "line 1: Q 16.000 is beyond 0.1 to 10" },
        { "frequency_beyond_range", "Filter 1: ON HSC Fc 22000 Hz Gain 6 dB Q 0.7\n",
          "line 1: Fc 22.0 kHz is beyond 20 Hz to 20 kHz" },
        { "two_low_shelves", "Filter: ON LSC Fc 50 Hz Gain 3 dB Q 0.7\nFilter: ON LSC Fc 300 Hz Gain -2 dB Q 0.7\n",
          "2 low shelves; only band 1 is a low shelf" },
        { "preamp_beyond_level", "Preamp: -15 dB\nFilter: ON PK Fc 1000 Hz Gain 6 dB Q 1\n",
          "Preamp -15.0 dB is beyond the output level's +-12 dB" },
    };

    class FittedImportCase : public ::testing::TestWithParam<FitCase>
    {
    };

    TEST_P (FittedImportCase, SaysWhyAndComesCloserThanAFlatEqualiser)
    {
        const auto& c = GetParam();
        const auto result = EqualiserImport::fromText (c.text);
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_FALSE (result.exact);
        EXPECT_EQ (result.whyFitted, c.why);
        EXPECT_LT (result.deviation.rmsDb, result.flatDeviation.rmsDb) << result.summary();
        std::cout << c.label << ": " << result.summary() << "\n";
    }

    INSTANTIATE_TEST_SUITE_P (Files, FittedImportCase, ::testing::ValuesIn (fitCases),
                              [] (const auto& testInfo) { return std::string (testInfo.param.label); });

    TEST (FittedImport, AThousandFiltersFromTenThousandLinesAreFitted)
    {
        juce::MemoryOutputStream text;
        text << "Preamp: -3 dB\n";
        for (int line = 2; line <= 10000; ++line)
            text << (line % 10 == 0 ? "Filter: ON PK Fc " + juce::String (20 + line * 2) + " Hz Gain 0.05 dB Q 1.5\n"
                                    : "garbage " + juce::String (line) + "\n");

        const auto result = EqualiserImport::fromText (text.toString());
        ASSERT_TRUE (result.isUsable()) << result.error;
        EXPECT_EQ (result.filtersRead, 1000);
        EXPECT_EQ ((int) result.notes.size(), EqualiserText::maximumNotes + 1);
        EXPECT_LT (result.deviation.rmsDb, result.flatDeviation.rmsDb) << result.summary();
    }

    TEST (FittedImport, RandomFilesNeverGiveValuesOutsideTheirRangesNorAFitWorseThanFlat)
    {
        // Filters with values anywhere a file may give them, between lines of the syntax's words in
        // any order, with malformed numbers.
        const char* const words[] = { "Filter", "Filter 3:", "Preamp:", "Channel:", "ON",     "OFF",   "PK",
                                      "LSC",    "HS",        "HPQ",     "LP",       "Fc",     "Gain",  "Q",
                                      "BW",     "Oct",       "Hz",      "kHz",      "dB",     "12dB",  "0",
                                      "1",      "-1",        "0,5",     "1e9",      "100000", "99.99", "-100",
                                      "20000",  "0.001",     "1000",    ",",        ".",      "+",     ":",
                                      "\t",     "#",         "L",       "R",        "all",    "None",  "6 dB" };
        const char* const types[] = { "PK", "LSC", "HSC", "LS 6dB", "HS 12 dB", "HPQ", "LPQ", "HP", "LP" };
        juce::Random random (11);
        const auto logUniform = [&random] (double low, double high)
        { return low * std::pow (high / low, random.nextDouble()); };

        for (int file = 0; file < 40; ++file)
        {
            juce::MemoryOutputStream text;
            const int lines = 1 + random.nextInt (16);
            for (int line = 0; line < lines; ++line)
            {
                if (random.nextBool())
                {
                    const auto number = [&random] (double value)
                    { return juce::String (value, 3).replaceCharacter ('.', random.nextBool() ? '.' : ','); };
                    text << "Filter " << line << ": ON " << types[random.nextInt ((int) std::size (types))] << " Fc "
                         << number (logUniform (1.0, 100000.0)) << " Hz Gain "
                         << number (200.0 * random.nextDouble() - 100.0) << " dB Q "
                         << number (logUniform (0.001, 1000.0)) << "\n";
                    continue;
                }
                for (int w = random.nextInt (12); w > 0; --w)
                    text << words[random.nextInt ((int) std::size (words))] << (random.nextInt (5) == 0 ? "" : " ");
                text << "\n";
            }

            const auto result = EqualiserImport::fromText (text.toString());
            for (const auto& note : result.notes)
                EXPECT_LE (note.line, lines);
            if (! result.isUsable())
                continue;
            for (const auto value : result.values)
                EXPECT_TRUE (value >= 0.0f && value <= 1.0f) << text.toString();
            EXPECT_TRUE (std::isfinite (result.deviation.rmsDb)) << text.toString();
            EXPECT_LE (result.deviation.rmsDb, result.flatDeviation.rmsDb) << text.toString();
        }
    }

    TEST (FittedImport, AFileWithNothingToImportGivesTheReadersErrorAndItsNotes)
    {
        const auto result = EqualiserImport::fromText ("Filter 1: ON XY Fc 100 Hz\n");
        EXPECT_FALSE (result.isUsable());
        EXPECT_EQ (result.summary(), "no line of the file can be used (1 line not used)");
        ASSERT_EQ (result.notes.size(), 1u);
        EXPECT_EQ (result.notes[0].line, 1);
    }
} // namespace
