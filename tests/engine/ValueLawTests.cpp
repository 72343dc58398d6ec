// The normalised value laws, both ways, for every parameter index.

#include "engine/TrellaDSP.h"
#include "engine/ValueLaws.h"

#include <gtest/gtest.h>

namespace
{
    struct LawCase
    {
        int index;
        float normalised;
        std::function<float (const EQParameters&)> setting; // the engine setting the value drives
        float expectedSetting;
        float expectedReadBack;
    };

    float bandFrequency (const EQParameters& p, int b)
    {
        return p.band[b].frequency;
    }

    const std::vector<LawCase>& lawCases()
    {
        static const std::vector<LawCase> cases = {
            { 0, 1.0f, [] (const EQParameters& p) { return (float) p.eqActive; }, 1.0f, 1.0f },
            { 0, 0.01f, [] (const EQParameters& p) { return (float) p.eqActive; }, 1.0f, 1.0f },
            { 0, 0.0f, [] (const EQParameters& p) { return (float) p.eqActive; }, 0.0f, 0.0f },
            { 0, -0.5f, [] (const EQParameters& p) { return (float) p.eqActive; }, 0.0f, 0.0f },
            { 1, 0.5f, [] (const EQParameters& p) { return p.level; }, 0.0f, 0.5f },
            { 1, 0.0f, [] (const EQParameters& p) { return p.level; }, -12.0f, 0.0f },
            { 1, 1.0f, [] (const EQParameters& p) { return p.level; }, 12.0f, 1.0f },
            { 1, 1.5f, [] (const EQParameters& p) { return p.level; }, 24.0f, 1.5f },
            { 2, 0.5f, [] (const EQParameters& p) { return bandFrequency (p, 0); }, 10010.0f, 0.5f },
            { 3, 0.0f, [] (const EQParameters& p) { return bandFrequency (p, 1); }, 20.0f, 0.0f },
            { 4, 1.0f, [] (const EQParameters& p) { return bandFrequency (p, 2); }, 20000.0f, 1.0f },
            { 5, -1.0f, [] (const EQParameters& p) { return bandFrequency (p, 3); }, -19960.0f, -1.0f },
            { 6, 0.0f, [] (const EQParameters& p) { return p.band[0].gain; }, -24.0f, 0.0f },
            { 7, 1.0f, [] (const EQParameters& p) { return p.band[1].gain; }, 24.0f, 1.0f },
            { 8, 0.5f, [] (const EQParameters& p) { return p.band[2].gain; }, 0.0f, 0.5f },
            { 9, 2.0f, [] (const EQParameters& p) { return p.band[3].gain; }, 72.0f, 2.0f },
            { 10, 0.0f, [] (const EQParameters& p) { return p.band[0].q; }, 0.1f, 0.0f },
            { 11, 1.0f, [] (const EQParameters& p) { return p.band[1].q; }, 10.0f, 1.0f },
            { 12, 0.5f, [] (const EQParameters& p) { return p.band[2].q; }, 5.05f, 0.5f },
            { 13, -1.0f, [] (const EQParameters& p) { return p.band[3].q; }, 0.01f, (0.01f - 0.1f) / 9.9f }, // Q floor
            { 14, 0.5f, [] (const EQParameters& p) { return (float) p.band[0].type; }, (float) BandType::LowShelf,
              0.5f },
            { 14, 0.49f, [] (const EQParameters& p) { return (float) p.band[0].type; }, (float) BandType::Peak, 0.0f },
            { 14, 1.0f, [] (const EQParameters& p) { return (float) p.band[0].type; }, (float) BandType::HighShelf,
              1.0f },
            { 15, 0.0f, [] (const EQParameters& p) { return (float) p.band[3].type; }, (float) BandType::Peak, 0.0f },
            { 15, 0.99f, [] (const EQParameters& p) { return (float) p.band[3].type; }, (float) BandType::LowShelf,
              0.5f },
            { 16, 1.0f, [] (const EQParameters& p) { return (float) p.band[0].active; }, 1.0f, 1.0f },
            { 17, 0.2f, [] (const EQParameters& p) { return (float) p.band[1].active; }, 1.0f, 1.0f },
            { 18, 0.0f, [] (const EQParameters& p) { return (float) p.band[2].active; }, 0.0f, 0.0f },
            { 19, 1.0f, [] (const EQParameters& p) { return (float) p.band[3].active; }, 1.0f, 1.0f },
            { 20, 0.25f, [] (const EQParameters& p) { return p.loPassFreq; }, 5015.0f, 0.25f },
            { 21, 0.75f, [] (const EQParameters& p) { return p.hiPassFreq; }, 15005.0f, 0.75f },
            { 22, 0.0f, [] (const EQParameters& p) { return (float) p.preampType; }, 0.0f, 0.0f },
            { 22, 0.2f, [] (const EQParameters& p) { return (float) p.preampType; }, 1.0f, 0.125f },
            { 22, 0.875f, [] (const EQParameters& p) { return (float) p.preampType; }, 7.0f, 0.875f },
            { 22, 0.999f, [] (const EQParameters& p) { return (float) p.preampType; }, 7.0f, 0.875f },
            // trunc (8 x 1) = 8 lies past the list: the last entry is chosen and reported.
            { 22, 1.0f, [] (const EQParameters& p) { return (float) p.preampType; }, 7.0f, 0.875f },
            { 22, 5.0f, [] (const EQParameters& p) { return (float) p.preampType; }, 7.0f, 0.875f },
            { 22, -0.5f, [] (const EQParameters& p) { return (float) p.preampType; }, 0.0f, 0.0f },
        };
        return cases;
    }

    TEST (ValueLaws, SetParameterDrivesTheSettingAndGetParameterReadsItBack)
    {
        for (const auto& c : lawCases())
        {
            TrellaDSP engine (44100.0, 256);
            engine.setParameter (c.index, c.normalised);
            EXPECT_NEAR (c.setting (engine.getParams()), c.expectedSetting,
                         std::abs (c.expectedSetting) * 1.0e-6f + 1.0e-4f)
                << "index " << c.index << ", v = " << c.normalised;
            EXPECT_NEAR (engine.getParameter (c.index), c.expectedReadBack, 1.0e-6f)
                << "index " << c.index << ", v = " << c.normalised;
        }
    }

    TEST (ValueLaws, TheLawsInUnitsAreWhatTheEngineApplies)
    {
        for (const auto& c : lawCases())
        {
            TrellaDSP engine (44100.0, 256);
            engine.setParameter (c.index, c.normalised);
            const auto params = engine.getParams();
            const auto units = ValueLaws::unitsOf (params, c.index);

            EXPECT_EQ (units, c.setting (params)) << "index " << c.index << ", v = " << c.normalised;
            EXPECT_EQ (ValueLaws::normalisedFromUnits (c.index, units), engine.getParameter (c.index))
                << "index " << c.index << ", v = " << c.normalised;

            // The engine itself only limits Q from below and keeps the preamp within its list.
            const bool limitedByTheEngine =
                (c.index == ParameterIndex::bandQ (3) && c.normalised < 0.0f) ||
                (c.index == ParameterIndex::preampType && (c.normalised >= 1.0f || c.normalised < 0.0f));
            if (! limitedByTheEngine)
                EXPECT_EQ (ValueLaws::unitsFromNormalised (c.index, c.normalised), units)
                    << "index " << c.index << ", v = " << c.normalised;
        }

        for (const int index : { -1, 23, 100 })
        {
            EXPECT_EQ (ValueLaws::unitsFromNormalised (index, 0.7f), 0.0f) << index;
            EXPECT_EQ (ValueLaws::normalisedFromUnits (index, 1000.0f), 0.0f) << index;
        }
    }

    TEST (ValueLaws, ContinuousParametersRoundTripInsideAndOutsideTheUnitRange)
    {
        const int continuous[] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 20, 21 };
        for (const int index : continuous)
            for (const float v : { 0.0f, 0.1f, 0.37f, 0.5f, 0.93f, 1.0f, 1.25f, -0.004f })
            {
                TrellaDSP engine (48000.0, 128);
                engine.setParameter (index, v);
                EXPECT_NEAR (engine.getParameter (index), v, 2.0e-6f) << "index " << index << ", v = " << v;
            }
    }

    TEST (ValueLaws, IndicesOutsideTheTableChangeNothingAndReadZero)
    {
        TrellaDSP engine (44100.0, 256);
        const auto before = engine.getParams();

        for (const int index : { -1, 23, 100, -1000 })
        {
            engine.setParameter (index, 0.7f);
            EXPECT_EQ (engine.getParameter (index), 0.0f) << index;
        }

        EXPECT_TRUE (engine.getParams().sameBytesAs (before));
        EXPECT_TRUE (engine.notifyHost.load());
    }

    TEST (ValueLaws, ValuesThatAreNotNumbersAreRefused)
    {
        TrellaDSP engine (44100.0, 256);
        const auto before = engine.getParams();

        for (int index = 0; index < TrellaDSP::numParameters; ++index)
            engine.setParameter (index, std::numeric_limits<float>::quiet_NaN());

        EXPECT_TRUE (engine.getParams().sameBytesAs (before));
    }

    TEST (ValueLaws, SetParameterIsNotReportedBackButSettersAre)
    {
        TrellaDSP engine (44100.0, 256);
        std::vector<std::pair<int, float>> reports;
        engine.onParameterChanged = [&] (int index, float v) { reports.emplace_back (index, v); };

        engine.setParameter (7, 0.75f);
        EXPECT_TRUE (reports.empty());

        const struct
        {
            std::function<void()> change;
            int index;
            float value;
        } setters[] = {
            { [&] { engine.setBandGain (1, 12.0f); }, 7, 0.75f },
            { [&] { engine.setBandFrequency (2, 10010.0f); }, 4, 0.5f },
            { [&] { engine.setBandQ (3, 10.0f); }, 13, 1.0f },
            { [&] { engine.setBandType (0, BandType::Peak); }, 14, 0.0f },
            { [&] { engine.setBandType (3, BandType::HighShelf); }, 15, 1.0f },
            { [&] { engine.setBandActive (2, true); }, 18, 1.0f },
            { [&] { engine.setHiPass (20.0f); }, 21, 0.0f },
            { [&] { engine.setLoPass (20000.0f); }, 20, 1.0f },
            { [&] { engine.setLevel (6.0f); }, 1, 0.75f },
            { [&] { engine.setEqActive (true); }, 0, 1.0f },
            { [&] { engine.setPreampType (3); }, 22, 0.375f },
        };

        for (const auto& s : setters)
        {
            reports.clear();
            s.change();
            ASSERT_EQ (reports.size(), 1u) << "index " << s.index;
            EXPECT_EQ (reports[0].first, s.index);
            EXPECT_NEAR (reports[0].second, s.value, 1.0e-6f) << "index " << s.index;
        }

        reports.clear();
        engine.setBandType (1, BandType::Peak); // bands 2 and 3 have no type parameter
        engine.setBandSolo (0, true);           // solo is not a parameter
        engine.notifyHost = false;
        engine.setBandGain (0, 3.0f);
        EXPECT_TRUE (reports.empty());
    }
} // namespace
