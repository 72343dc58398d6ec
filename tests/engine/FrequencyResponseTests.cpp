// The filters are measured on processed audio (an impulse through the engine) and compared with
// the RBJ cookbook formulas, designed independently here in double precision.

#include "engine/TrellaDSP.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    enum class Section
    {
        band1,
        band2,
        band3,
        band4,
        hiPass,
        loPass
    };

    struct ResponseCase
    {
        const char* label;
        Section section;
        int type; // band types only
        float frequency;
        float gainDb; // peak and shelf only
        float q;
        bool solo;
        std::function<textbook::Biquad (double sampleRate)> reference;
    };

    std::ostream& operator<< (std::ostream& os, const ResponseCase& c)
    {
        return os << c.label;
    }

    /** Within 0.05 dB of the reference. Deep in a stop band (below -60 dB), where decibels magnify
        the smallest difference, the linear magnitudes are compared instead.
    */
    void expectCloseResponse (double measured, double expected, const char* label, double frequency, double sampleRate)
    {
        const auto where =
            std::string (label) + " at " + std::to_string (frequency) + " Hz, " + std::to_string ((int) sampleRate);
        if (expected > 1.0e-3) // above -60 dB
            EXPECT_NEAR (signals::toDb (measured), signals::toDb (expected), 0.05) << where;
        else
            EXPECT_NEAR (measured, expected, 1.0e-5) << where;
    }

    void configure (TrellaDSP& engine, const ResponseCase& c)
    {
        engine.setEqActive (true);

        if (c.section == Section::hiPass)
            return engine.setHiPass (c.frequency);
        if (c.section == Section::loPass)
            return engine.setLoPass (c.frequency);

        const int band = (int) c.section;
        engine.setBandType (band, c.type);
        engine.setBandFrequency (band, c.frequency);
        engine.setBandGain (band, c.gainDb);
        engine.setBandQ (band, c.q);
        engine.setBandActive (band, ! c.solo);
        if (c.solo)
            engine.setBandSolo (band, true);
    }

    const ResponseCase responseCases[] = {
        { "peak_boost", Section::band2, BandType::Peak, 1000.0f, 12.0f, 1.0f, false,
          [] (double fs) { return textbook::peak (fs, 1000.0, 1.0, 12.0); } },
        { "peak_narrow_cut", Section::band3, BandType::Peak, 150.0f, -9.0f, 4.0f, false,
          [] (double fs) { return textbook::peak (fs, 150.0, 4.0, -9.0); } },
        { "peak_wide_high", Section::band1, BandType::Peak, 6000.0f, 5.5f, 0.3f, false,
          [] (double fs) { return textbook::peak (fs, 6000.0, 0.3, 5.5); } },
        { "low_shelf", Section::band1, BandType::LowShelf, 120.0f, 6.0f, 1.0f, false,
          [] (double fs) { return textbook::lowShelf (fs, 120.0, 1.0, 6.0); } },
        { "low_shelf_cut", Section::band1, BandType::LowShelf, 400.0f, -10.0f, 0.7f, false,
          [] (double fs) { return textbook::lowShelf (fs, 400.0, 0.7, -10.0); } },
        { "high_shelf", Section::band4, BandType::HighShelf, 8500.0f, 6.0f, 1.0f, false,
          [] (double fs) { return textbook::highShelf (fs, 8500.0, 1.0, 6.0); } },
        { "high_shelf_cut", Section::band4, BandType::HighShelf, 2500.0f, -12.0f, 0.5f, false,
          [] (double fs) { return textbook::highShelf (fs, 2500.0, 0.5, -12.0); } },
        { "high_pass", Section::hiPass, 0, 200.0f, 0.0f, 0.0f, false,
          [] (double fs) { return textbook::highPass (fs, 200.0, 0.5); } },
        { "low_pass", Section::loPass, 0, 2000.0f, 0.0f, 0.0f, false,
          [] (double fs) { return textbook::lowPass (fs, 2000.0, 0.5); } },
        { "solo_peak_is_band_pass", Section::band2, BandType::Peak, 1000.0f, 12.0f, 1.0f, true,
          [] (double fs) { return textbook::bandPass (fs, 1000.0, 1.0); } },
        { "solo_low_shelf_is_low_pass", Section::band1, BandType::LowShelf, 300.0f, 6.0f, 0.8f, true,
          [] (double fs) { return textbook::lowPass (fs, 300.0, 0.8); } },
        { "solo_high_shelf_is_high_pass", Section::band4, BandType::HighShelf, 3000.0f, -6.0f, 2.0f, true,
          [] (double fs) { return textbook::highPass (fs, 3000.0, 2.0); } },
    };

    class FrequencyResponse : public ::testing::TestWithParam<std::tuple<double, ResponseCase>>
    {
    };

    TEST_P (FrequencyResponse, MatchesTheTextbookDesignWithinTwentiethOfADecibel)
    {
        const auto [sampleRate, c] = GetParam();
        TrellaDSP engine (sampleRate, 512);
        configure (engine, c);

        const auto response = signals::impulseResponse ([&] (auto& block) { engine.Process (block); },
                                                        sampleRate > 50000.0 ? 131072 : 65536);
        const auto reference = c.reference (sampleRate);

        for (const double f : signals::logSpacedFrequencies (20.0, 20000.0, 61))
        {
            const double expected = reference.magnitudeAt (f, sampleRate);
            for (const auto* channel : { &response.left, &response.right })
                expectCloseResponse (signals::magnitudeAt (*channel, f, sampleRate), expected, c.label, f, sampleRate);
        }
    }

    INSTANTIATE_TEST_SUITE_P (AllSections, FrequencyResponse,
                              ::testing::Combine (::testing::Values (44100.0, 96000.0),
                                                  ::testing::ValuesIn (responseCases)),
                              [] (const auto& testInfo)
                              {
                                  return std::string (std::get<1> (testInfo.param).label) + "_" +
                                         std::to_string ((int) std::get<0> (testInfo.param));
                              });

    TEST (FrequencyResponse, ChainAppliesEverySectionAndTheLevel)
    {
        constexpr double fs = 48000.0;
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        engine.setHiPass (80.0f);
        engine.setLoPass (12000.0f);
        engine.setLevel (-3.0f);
        const float gains[4] = { 4.0f, -6.0f, 3.0f, -2.0f };
        for (int b = 0; b < 4; ++b)
        {
            engine.setBandGain (b, gains[b]);
            engine.setBandActive (b, true);
        }

        const auto response = signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 65536, 256);
        const auto d = TrellaDSP::DefaultParameters;
        const textbook::Biquad sections[] = {
            textbook::highPass (fs, 80.0, 0.5),
            textbook::lowShelf (fs, d.band[0].frequency, 1.0, gains[0]),
            textbook::peak (fs, d.band[1].frequency, 1.0, gains[1]),
            textbook::peak (fs, d.band[2].frequency, 1.0, gains[2]),
            textbook::highShelf (fs, d.band[3].frequency, 1.0, gains[3]),
            textbook::lowPass (fs, 12000.0, 0.5),
        };

        for (const double f : signals::logSpacedFrequencies (20.0, 20000.0, 31))
        {
            double expected = std::pow (10.0, -3.0 / 20.0);
            for (const auto& s : sections)
                expected *= s.magnitudeAt (f, fs);

            expectCloseResponse (signals::magnitudeAt (response.left, f, fs), expected, "chain", f, fs);
        }
    }
} // namespace
