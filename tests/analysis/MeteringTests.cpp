#include "engine/TrellaDSP.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    constexpr double fs = 44100.0;

    int samplesFor (double milliseconds)
    {
        return (int) std::lround (milliseconds * fs / 1000.0);
    }

    struct Readings
    {
        float inLeft, inRight, outLeft, outRight, phase;
    };

    Readings readingsOf (const TrellaDSP& engine)
    {
        Readings r{};
        engine.getEnv (r.inLeft, r.inRight, r.outLeft, r.outRight, r.phase);
        return r;
    }

    /** Runs `length` samples made by `sample (i)` for left and right through the engine. */
    template <typename Generator>
    void run (TrellaDSP& engine, int length, Generator&& sample)
    {
        juce::AudioBuffer<float> buffer (2, length);
        for (int i = 0; i < length; ++i)
        {
            const auto [l, r] = sample (i);
            buffer.setSample (0, i, l);
            buffer.setSample (1, i, r);
        }
        engine.Process (buffer);
    }

    std::pair<float, float> square (int i)
    {
        return (i / 50) % 2 == 0 ? std::pair{ 1.0f, 1.0f } : std::pair{ -1.0f, -1.0f };
    }
    std::pair<float, float> silence (int)
    {
        return { 0.0f, 0.0f };
    }

    TEST (Metering, LevelsRiseWithinTenMillisecondsAndFallWithinTheReleaseTime)
    {
        for (const float releaseMs : { 1000.0f, 250.0f, 2000.0f })
        {
            TrellaDSP engine (fs, 8192);
            engine.setEqActive (true);
            if (releaseMs != TrellaDSP::defaultReleaseMs)
                engine.setMeterReleaseTime (releaseMs);

            run (engine, samplesFor (10.0), square);
            EXPECT_GT (readingsOf (engine).inLeft, 0.989f);
            run (engine, samplesFor (1.0), square);
            EXPECT_GT (readingsOf (engine).inLeft, 0.99f) << releaseMs;
            EXPECT_GT (readingsOf (engine).outRight, 0.99f) << releaseMs;
            run (engine, samplesFor (200.0), square);

            run (engine, samplesFor (releaseMs * 0.9), silence);
            EXPECT_GT (readingsOf (engine).inLeft, 0.01f) << "fell too fast, release " << releaseMs;
            run (engine, samplesFor (releaseMs * 0.1 + 2.0), silence);
            EXPECT_LT (readingsOf (engine).inLeft, 0.01f) << "fell too slowly, release " << releaseMs;
            EXPECT_LT (readingsOf (engine).outLeft, 0.01f) << releaseMs;
        }
    }

    TEST (Metering, PhaseReadsHowDifferentTheOutputChannelsAre)
    {
        const struct
        {
            const char* label;
            std::function<std::pair<float, float> (int)> signal;
            float low, high;
        } cases[] = {
            { "equal",
              [] (int i)
              {
                  const float s = 0.5f * std::sin (0.06f * (float) i);
                  return std::pair{ s, s };
              },
              0.0f, 0.001f },
            { "opposite",
              [] (int i)
              {
                  const float s = 0.5f * std::sin (0.06f * (float) i);
                  return std::pair{ s, -s };
              },
              0.9f, 1.0f },
            { "right silent",
              [] (int i) {
                  return std::pair{ 0.5f * std::sin (0.06f * (float) i), 0.0f };
              },
              0.9f, 1.0f },
        };

        for (const auto& c : cases)
        {
            TrellaDSP engine (fs, 512);
            engine.setEqActive (true);
            run (engine, samplesFor (500.0), c.signal);
            const auto phase = readingsOf (engine).phase;
            EXPECT_GE (phase, c.low) << c.label;
            EXPECT_LE (phase, c.high) << c.label;
        }
    }

    TEST (Metering, OutputMetersFallWhileTheEqualiserIsOffAndTheAudioPasses)
    {
        TrellaDSP engine (fs, 1024);
        engine.setEqActive (true);
        engine.setMeterReleaseTime (250.0f);
        run (engine, samplesFor (100.0), square);
        EXPECT_GT (readingsOf (engine).outLeft, 0.99f);

        engine.setEqActive (false);
        run (engine, samplesFor (300.0), square);
        const auto r = readingsOf (engine);
        EXPECT_LT (r.outLeft, 0.01f);
        EXPECT_LT (r.outRight, 0.01f);
        EXPECT_GT (r.inLeft, 0.99f); // the input still reads the signal
        EXPECT_LT (r.phase, 0.001f); // nothing left to compare
    }

    TEST (Metering, ResetZeroesTheReadingsButNotTheFollowers)
    {
        TrellaDSP engine (fs, 512);
        engine.setEqActive (true);
        run (engine, 2048, square);
        engine.Reset (true);
        const auto zeroed = readingsOf (engine);
        EXPECT_EQ (zeroed.inLeft, 0.0f);
        EXPECT_EQ (zeroed.outRight, 0.0f);

        run (engine, 1, silence); // the envelopes carry on from where they were
        EXPECT_GT (readingsOf (engine).inLeft, 0.99f);
    }

    TEST (Metering, NonFiniteInputDoesNotStickInTheMeters)
    {
        TrellaDSP engine (fs, 256);
        engine.setEqActive (true);
        run (engine, 256,
             [] (int i) {
                 return std::pair{ i == 3 ? std::numeric_limits<float>::quiet_NaN() : 0.5f, 0.5f };
             });
        run (engine, 256, square);
        const auto r = readingsOf (engine);
        for (const float v : { r.inLeft, r.inRight, r.outLeft, r.outRight, r.phase })
            EXPECT_TRUE (std::isfinite (v));
    }
} // namespace
