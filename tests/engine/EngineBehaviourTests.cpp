#include "engine/TrellaDSP.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    constexpr double fs = 44100.0;

    /** Level in dB of a steady sine, measured over its last 8192 samples once the filters have settled. */
    double sineGainDb (TrellaDSP& engine, double frequency, double sampleRate = fs)
    {
        constexpr int settle = 32768, measured = 8192;
        auto tone = signals::sine (frequency, sampleRate, settle + measured, 0.1f);
        for (int start = 0; start < tone.getNumSamples(); start += 512)
        {
            juce::AudioBuffer<float> block (tone.getArrayOfWritePointers(), 2, start, 512);
            engine.Process (block);
        }
        return signals::toDb (tone.getMagnitude (0, settle, measured) / 0.1);
    }

    TEST (Engine, StartsWithDefaultsAndPassesAudioUnchanged)
    {
        TrellaDSP engine (fs, 256);
        const auto p = engine.getParams();

        EXPECT_EQ (p.eqActive, 0);
        const float frequencies[] = { 120.0f, 1000.0f, 4200.0f, 8500.0f };
        const int types[] = { BandType::LowShelf, BandType::Peak, BandType::Peak, BandType::HighShelf };
        for (int b = 0; b < 4; ++b)
        {
            EXPECT_EQ (p.band[b].frequency, frequencies[b]);
            EXPECT_EQ (p.band[b].q, 1.0f);
            EXPECT_EQ (p.band[b].gain, 0.0f);
            EXPECT_EQ (p.band[b].active, 0);
            EXPECT_EQ (p.band[b].type, types[b]);
        }
        EXPECT_EQ (p.hiPassFreq, 20.0f);
        EXPECT_EQ (p.loPassFreq, 20000.0f);
        EXPECT_EQ (p.level, 0.0f);
        EXPECT_EQ (engine.getSoloBand(), -1);

        juce::Random random (1);
        juce::AudioBuffer<float> buffer (2, 512);
        signals::fillNoise (buffer, random);
        juce::AudioBuffer<float> original (buffer);
        engine.Process (buffer);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i));
    }

    TEST (Engine, InertPassFiltersAreSkippedAndRunJustInside)
    {
        const struct
        {
            float hiPass, loPass;
            bool changesAudio;
        } cases[] = { { 20.0f, 20000.0f, false }, { 20.5f, 20000.0f, true }, { 20.0f, 19999.0f, true } };

        for (const auto& c : cases)
        {
            TrellaDSP engine (fs, 256);
            engine.setEqActive (true);
            engine.setHiPass (c.hiPass);
            engine.setLoPass (c.loPass);

            juce::Random random (7);
            juce::AudioBuffer<float> buffer (2, 1024);
            signals::fillNoise (buffer, random);
            juce::AudioBuffer<float> original (buffer);
            engine.Process (buffer);

            bool identical = true;
            for (int i = 0; i < 1024; ++i)
                identical = identical && buffer.getSample (0, i) == original.getSample (0, i);
            EXPECT_EQ (identical, ! c.changesAudio) << c.hiPass << " / " << c.loPass;
        }
    }

    TEST (Engine, SoloReplacesTheChainByTheSoloedBandAndUnsoloRestoresIt)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        engine.setBandGain (0, 9.0f);
        engine.setBandActive (0, true);
        engine.setBandGain (1, 12.0f);
        engine.setBandActive (1, true);
        engine.setBandGain (2, -9.0f);
        engine.setBandActive (2, true);

        // Band 2 is a +12 dB peak at 1 kHz; soloed it is a band-pass at unity gain there.
        engine.setBandSolo (1, true);
        EXPECT_TRUE (engine.isBandSoloed (1));
        EXPECT_NEAR (sineGainDb (engine, 1000.0), 0.0, 0.05);
        EXPECT_NEAR (sineGainDb (engine, 100.0),
                     signals::toDb (textbook::bandPass (fs, 1000.0, 1.0).magnitudeAt (100.0, fs)), 0.1);
        EXPECT_EQ (engine.getParams().band[1].type, BandType::Peak); // the real type is kept

        engine.setBandSolo (1, false);
        EXPECT_EQ (engine.getSoloBand(), -1);
        const double restored = textbook::lowShelf (fs, 120.0, 1.0, 9.0).magnitudeAt (1000.0, fs) *
                                textbook::peak (fs, 1000.0, 1.0, 12.0).magnitudeAt (1000.0, fs) *
                                textbook::peak (fs, 4200.0, 1.0, -9.0).magnitudeAt (1000.0, fs);
        EXPECT_NEAR (sineGainDb (engine, 1000.0), signals::toDb (restored), 0.05);
    }

    TEST (Engine, SoloingAnotherBandRestoresTheFirstAndTypeChangeEndsSolo)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);

        // Band 1 is inactive, yet soloed it is heard: a low-pass at 120 Hz.
        engine.setBandSolo (0, true);
        EXPECT_LT (sineGainDb (engine, 5000.0), -40.0);

        engine.setBandSolo (2, true);
        EXPECT_FALSE (engine.isBandSoloed (0));
        EXPECT_TRUE (engine.isBandSoloed (2));
        EXPECT_NEAR (sineGainDb (engine, 4200.0), 0.0, 0.05); // band 3's band-pass

        engine.setBandSolo (0, true);
        engine.setBandType (3, BandType::Peak);
        EXPECT_EQ (engine.getSoloBand(), -1);
        EXPECT_EQ (engine.getChainSettings().band[0].type, BandType::LowShelf);
        EXPECT_NEAR (sineGainDb (engine, 5000.0), 0.0, 0.05); // nothing active any more
    }

    TEST (Engine, MonoAndWideBuffersProcessChannelZeroAsAPair)
    {
        auto makeEngine = []
        {
            auto engine = std::make_unique<TrellaDSP> (fs, 256);
            engine->setEqActive (true);
            engine->setBandGain (1, 10.0f);
            engine->setBandActive (1, true);
            return engine;
        };

        juce::Random random (3);
        juce::AudioBuffer<float> stereo (2, 400);
        signals::fillNoise (stereo, random);
        stereo.copyFrom (1, 0, stereo, 0, 0, 400);

        juce::AudioBuffer<float> mono (1, 400);
        mono.copyFrom (0, 0, stereo, 0, 0, 400);
        juce::AudioBuffer<float> wide (3, 400);
        wide.copyFrom (0, 0, stereo, 0, 0, 400);
        wide.clear (1, 0, 400);
        wide.applyGain (1, 0, 400, 0.0f);
        for (int i = 0; i < 400; ++i)
            wide.setSample (2, i, 0.25f);

        makeEngine()->Process (stereo);
        makeEngine()->Process (mono);
        makeEngine()->Process (wide);

        for (int i = 0; i < 400; ++i)
        {
            ASSERT_EQ (mono.getSample (0, i), stereo.getSample (0, i));
            ASSERT_EQ (wide.getSample (0, i), stereo.getSample (0, i));
            ASSERT_EQ (wide.getSample (1, i), 0.0f); // not written
            ASSERT_EQ (wide.getSample (2, i), 0.25f);
        }
    }

    TEST (Engine, SwitchingOffClearsEveryFilterState)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        engine.setBandQ (1, 10.0f);
        engine.setBandGain (1, 24.0f);
        engine.setBandActive (1, true);
        engine.setHiPass (500.0f);
        engine.setLoPass (3000.0f);

        auto tone = signals::sine (1000.0, fs, 2048, 0.5f);
        engine.Process (tone);

        engine.setEqActive (false);
        engine.setEqActive (true);

        juce::AudioBuffer<float> silence (2, 256);
        silence.clear();
        engine.Process (silence);
        EXPECT_EQ (signals::peakOf (silence), 0.0f) << "the resonant band kept ringing";
    }

    TEST (Engine, ResetClearsStateBeforeTheNextBlock)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        engine.setBandQ (2, 10.0f);
        engine.setBandGain (2, 20.0f);
        engine.setBandActive (2, true);

        auto tone = signals::sine (4200.0, fs, 1024, 0.5f);
        engine.Process (tone);
        engine.Reset (false);

        juce::AudioBuffer<float> silence (2, 128);
        silence.clear();
        engine.Process (silence);
        EXPECT_EQ (signals::peakOf (silence), 0.0f);
    }

    /** A section that stops and starts running again after a loud passage. */
    struct ComebackCase
    {
        const char* label;
        std::function<void (TrellaDSP&)> setUp, leaveOut, bringBack;
    };

    void PrintTo (const ComebackCase& c, std::ostream* out)
    {
        *out << c.label;
    }

    class SectionComeback : public ::testing::TestWithParam<ComebackCase>
    {
    };

    TEST_P (SectionComeback, StartsFromClearedState)
    {
        const auto& c = GetParam();
        juce::Random random (21);
        const auto loudBlock = [&]
        {
            juce::AudioBuffer<float> block (2, 256);
            signals::fillNoise (block, random, 1.0f);
            return block;
        };

        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        c.setUp (engine);
        for (int block = 0; block < 20; ++block)
        {
            auto loud = loudBlock();
            engine.Process (loud);
        }

        c.leaveOut (engine);
        for (int block = 0; block < 5; ++block)
        {
            auto loud = loudBlock();
            engine.Process (loud);
        }

        // From the block it comes back on, the engine sounds like a fresh one with the same settings.
        c.bringBack (engine);
        TrellaDSP fresh (fs, 256);
        fresh.setEqActive (true);
        c.setUp (fresh);

        for (int block = 0; block < 10; ++block)
        {
            auto input = loudBlock();
            juce::AudioBuffer<float> expected (input);
            engine.Process (input);
            fresh.Process (expected);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 256; ++i)
                    ASSERT_EQ (input.getSample (ch, i), expected.getSample (ch, i))
                        << c.label << ", block " << block << ", channel " << ch << ", sample " << i;
        }
    }

    INSTANTIATE_TEST_SUITE_P (Sections, SectionComeback,
                              ::testing::Values (ComebackCase{ "band switched off and on",
                                                               [] (TrellaDSP& e)
                                                               {
                                                                   e.setBandGain (1, 18.0f);
                                                                   e.setBandQ (1, 8.0f);
                                                                   e.setBandActive (1, true);
                                                               },
                                                               [] (TrellaDSP& e) { e.setBandActive (1, false); },
                                                               [] (TrellaDSP& e) { e.setBandActive (1, true); } },
                                                 ComebackCase{ "band left out during another band's solo",
                                                               [] (TrellaDSP& e)
                                                               {
                                                                   e.setBandGain (0, 12.0f);
                                                                   e.setBandActive (0, true);
                                                               },
                                                               [] (TrellaDSP& e) { e.setBandSolo (2, true); },
                                                               [] (TrellaDSP& e) { e.setBandSolo (2, false); } },
                                                 ComebackCase{ "high-pass moved out of and back into its range",
                                                               [] (TrellaDSP& e) { e.setHiPass (300.0f); },
                                                               [] (TrellaDSP& e) { e.setHiPass (20.0f); },
                                                               [] (TrellaDSP& e) { e.setHiPass (300.0f); } },
                                                 ComebackCase{ "low-pass moved out of and back into its range",
                                                               [] (TrellaDSP& e) { e.setLoPass (500.0f); },
                                                               [] (TrellaDSP& e) { e.setLoPass (20000.0f); },
                                                               [] (TrellaDSP& e) { e.setLoPass (500.0f); } }),
                              [] (const auto& testInfo)
                              {
                                  const auto words = juce::StringArray::fromTokens (testInfo.param.label, false);
                                  juce::String name;
                                  for (const auto& word : words)
                                      name << word.substring (0, 1).toUpperCase()
                                           << word.substring (1).retainCharacters (
                                                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
                                  return name.toStdString();
                              });

    TEST (Engine, ClearingAllStatesLeavesExactSilenceAndSilentMeters)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        for (int b = 0; b < 4; ++b)
        {
            engine.setBandGain (b, 15.0f);
            engine.setBandQ (b, 6.0f);
            engine.setBandActive (b, true);
        }
        engine.setHiPass (80.0f);
        engine.setLoPass (9000.0f);

        juce::Random random (4);
        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> loud (2, 256);
            signals::fillNoise (loud, random, 1.0f);
            engine.Process (loud);
        }

        engine.clearAllStates();
        juce::AudioBuffer<float> silence (2, 256);
        silence.clear();
        engine.Process (silence);
        EXPECT_EQ (signals::peakOf (silence), 0.0f);

        float readings[5];
        engine.getEnv (readings[0], readings[1], readings[2], readings[3], readings[4]);
        for (const float reading : readings)
            EXPECT_EQ (reading, 0.0f);
    }

    TEST (Engine, NonFiniteInputNeverStaysInTheOutput)
    {
        for (const float poison : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(), 3.0e38f })
        {
            TrellaDSP engine (fs, 256);
            engine.setEqActive (true);
            for (int b = 0; b < 4; ++b)
            {
                engine.setBandGain (b, 24.0f);
                engine.setBandActive (b, true);
            }
            engine.setLevel (12.0f);

            auto bad = signals::sine (440.0, fs, 256, 0.5f);
            bad.setSample (0, 17, poison);
            bad.setSample (1, 200, poison);
            engine.Process (bad);
            if (! std::isfinite (poison))
            {
                EXPECT_TRUE (signals::allFinite (bad)) << poison;
            }

            // The next clean block is finite, and so is everything after it.
            for (int block = 0; block < 8; ++block)
            {
                auto clean = signals::sine (440.0, fs, 256, 0.5f);
                engine.Process (clean);
                EXPECT_TRUE (signals::allFinite (clean)) << poison << ", block " << block;
            }
        }
    }

    TEST (Engine, FrequenciesAtOrAboveHalfTheSampleRateStayStable)
    {
        for (const double rate : { 22050.0, 32000.0 })
        {
            TrellaDSP engine (rate, 512);
            engine.setEqActive (true);
            engine.setHiPass (19000.0f);
            engine.setLoPass (19999.0f);
            for (int b = 0; b < 4; ++b)
            {
                engine.setBandFrequency (b, b == 0 ? rate * 0.5f : 20000.0f);
                engine.setBandGain (b, 24.0f);
                engine.setBandQ (b, 10.0f);
                engine.setBandActive (b, true);
            }

            juce::Random random (11);
            float peak = 0.0f;
            for (int block = 0; block < 200; ++block)
            {
                juce::AudioBuffer<float> buffer (2, 512);
                signals::fillNoise (buffer, random, 0.5f);
                engine.Process (buffer);
                ASSERT_TRUE (signals::allFinite (buffer)) << rate;
                peak = signals::peakOf (buffer);
            }
            EXPECT_LT (peak, 1.0e4f) << "unstable at " << rate;
            EXPECT_EQ (engine.getParams().band[1].frequency, 20000.0f); // the user's value is kept
        }
    }

    TEST (Engine, ExtremeParameterValuesGiveFiniteOutput)
    {
        const float extremes[] = { -1.0e30f,
                                   -10.0f,
                                   -1.0f,
                                   2.0f,
                                   10.0f,
                                   1.0e30f,
                                   std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity() };
        juce::Random random (5);

        for (const float v : extremes)
        {
            TrellaDSP engine (96000.0, 64);
            for (int index = 0; index < TrellaDSP::numParameters; ++index)
                engine.setParameter (index, index == 0 || (index >= 16 && index <= 19) ? 1.0f : v);

            for (int block = 0; block < 50; ++block)
            {
                juce::AudioBuffer<float> buffer (2, 64);
                signals::fillNoise (buffer, random, 0.5f);
                engine.Process (buffer);
                ASSERT_TRUE (signals::allFinite (buffer)) << "v = " << v << ", block " << block;
            }
        }
    }
} // namespace
