// Cost of the engine's block processing, next to a floor reference: six plain transposed direct
// form II biquads per channel in one tight loop, about the least any chain of this shape costs.
// Run: build/bench/KroTrellaBench   (figures are in nanoseconds per stereo sample pair)

#include "engine/TrellaDSP.h"

#include <benchmark/benchmark.h>

#include <array>

namespace
{
    constexpr double sampleRate = 44100.0;

    void fillNoise (juce::AudioBuffer<float>& buffer)
    {
        juce::Random random (1);
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                buffer.setSample (c, i, 0.25f * (2.0f * random.nextFloat() - 1.0f));
    }

    void reportPerPair (benchmark::State& state, int blockSize)
    {
        // Seconds per stereo sample pair, shown with an SI prefix ("9.3n" is 9.3 ns).
        state.counters["time_per_pair"] = benchmark::Counter (
            (double) blockSize, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    }

    /** Every section of the chain in use: high-pass, four bands, level, low-pass. */
    void configureFullChain (TrellaDSP& engine)
    {
        engine.setEqActive (true);
        engine.setHiPass (40.0f);
        engine.setLoPass (16000.0f);
        engine.setLevel (-1.5f);
        const float gains[4] = { 3.0f, -4.0f, 2.5f, 1.5f };
        for (int b = 0; b < 4; ++b)
        {
            engine.setBandGain (b, gains[b]);
            engine.setBandActive (b, true);
        }
    }

    /** Lets the convolution prepare the chosen response on its own thread and finish its fades. */
    void settlePreamp (TrellaDSP& engine, int blockSize)
    {
        juce::AudioBuffer<float> silence (2, blockSize);
        for (int i = 0; i < 4 * 44100 / blockSize + 40; ++i)
        {
            silence.clear();
            engine.Process (silence);
            if (i % 8 == 0)
                juce::Thread::sleep (5);
        }
    }

    /** Processes the same block over and over through the engine and reports the cost per pair. */
    void measureEngine (benchmark::State& state, TrellaDSP& engine, int blockSize)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        fillNoise (buffer);

        for (auto _ : state)
        {
            engine.Process (buffer);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
            benchmark::ClobberMemory();
            buffer.applyGain (0.5f); // keep the signal from growing over many passes
        }
        reportPerPair (state, blockSize);
    }

    /** The whole chain with meters and analyser fed; range(1) selects the preamp (0 = "Neutral"). */
    void TrellaProcess (benchmark::State& state)
    {
        const int blockSize = (int) state.range (0);
        TrellaDSP engine (sampleRate, blockSize);
        configureFullChain (engine);
        if (state.range (1) != 0)
        {
            engine.setPreampType ((int) state.range (1));
            settlePreamp (engine, blockSize);
        }
        measureEngine (state, engine, blockSize);
    }
    BENCHMARK (TrellaProcess)->ArgsProduct ({ { 64, 256, 512, 1024 }, { 0, 1 } })->ArgNames ({ "block", "preamp" });

    /** The filters alone: equaliser on, analyser off, preamp "Neutral" (the meters still run). */
    void TrellaProcessFiltersOnly (benchmark::State& state)
    {
        const int blockSize = (int) state.range (0);
        TrellaDSP engine (sampleRate, blockSize);
        configureFullChain (engine);
        engine.showAnalyzer = false;
        measureEngine (state, engine, blockSize);
    }
    BENCHMARK (TrellaProcessFiltersOnly)->Arg (512);

    struct PlainBiquad
    {
        float b0, b1, b2, a1, a2;
        float s1 = 0.0f, s2 = 0.0f;

        inline float process (float x) noexcept
        {
            const float y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            return y;
        }
    };

    void FloorSixPlainBiquads (benchmark::State& state)
    {
        const int blockSize = (int) state.range (0);
        juce::AudioBuffer<float> buffer (2, blockSize);
        fillNoise (buffer);

        // The same six designs the engine runs, in single precision.
        TrellaDSP engine (sampleRate, blockSize);
        configureFullChain (engine);
        const auto settings = engine.getChainSettings();
        const FilterDesign designs[6] = { settings.hiPass,  settings.band[0], settings.band[1],
                                          settings.band[2], settings.band[3], settings.loPass };
        std::array<PlainBiquad, 6> left{}, right{};
        for (int s = 0; s < 6; ++s)
        {
            const auto c = StereoIIRFilter::makeCoefficients (designs[s], sampleRate);
            left[(size_t) s] = right[(size_t) s] = PlainBiquad{ c.b0, c.b1, c.b2, c.a1, c.a2 };
        }

        for (auto _ : state)
        {
            float* l = buffer.getWritePointer (0);
            float* r = buffer.getWritePointer (1);
            for (int i = 0; i < blockSize; ++i)
            {
                float x = l[i], y = r[i];
                for (auto& f : left)
                    x = f.process (x);
                for (auto& f : right)
                    y = f.process (y);
                l[i] = x;
                r[i] = y;
            }
            benchmark::DoNotOptimize (l);
            benchmark::ClobberMemory();
            buffer.applyGain (0.5f);
        }
        reportPerPair (state, blockSize);
    }
    BENCHMARK (FloorSixPlainBiquads)->Arg (64)->Arg (256)->Arg (512)->Arg (1024);
} // namespace

BENCHMARK_MAIN();
