// Cost of the engine's block processing, next to a floor reference: six plain transposed direct
// form II biquads per channel in one tight loop, about the least any chain of this shape costs.
// Run: build/bench/KroTrellaBench   (figures are in nanoseconds per stereo sample pair)

#include "engine/AlignedFloats.h"
#include "engine/DirectFir.h"
#include "engine/PreampStage.h"
#include "engine/StereoFft.h"
#include "engine/TrellaDSP.h"

#include <benchmark/benchmark.h>

#include <array>

namespace
{
    constexpr double sampleRate = 44100.0;
    constexpr int preampN1073 = 1; // the longest of the responses

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

    /** The whole chain with meters and analyser fed; range(1) selects the preamp (0 = "Neutral"),
        range(2) is the sample rate. A response chosen before the first block plays at once.
    */
    void TrellaProcess (benchmark::State& state)
    {
        const int blockSize = (int) state.range (0);
        TrellaDSP engine ((double) state.range (2), blockSize);
        configureFullChain (engine);
        engine.setPreampType ((int) state.range (1));
        measureEngine (state, engine, blockSize);
    }
    BENCHMARK (TrellaProcess)
        ->ArgsProduct ({ { 64, 256, 512, 1024 }, { 0, preampN1073 }, { 44100, 96000 } })
        ->ArgNames ({ "block", "preamp", "rate" });

    /** The preamp stage alone with N1073 chosen, at range(1) Hz. */
    void PreampStageAlone (benchmark::State& state)
    {
        const int blockSize = (int) state.range (0);
        const juce::ScopedNoDenormals noDenormals; // as the engine runs it
        PreampStage preamp ((double) state.range (1), blockSize);
        preamp.select (preampN1073);
        juce::AudioBuffer<float> buffer (2, blockSize);
        fillNoise (buffer);

        for (auto _ : state)
        {
            preamp.process (buffer.getWritePointer (0), buffer.getWritePointer (1), blockSize, true);
            benchmark::ClobberMemory();
            buffer.applyGain (0.5f);
        }
        reportPerPair (state, blockSize);
        state.SetLabel (DirectFir::instructionSetName());
    }
    BENCHMARK (PreampStageAlone)->ArgsProduct ({ { 64, 512 }, { 44100, 96000 } })->ArgNames ({ "block", "rate" });

    /** What the convolution is made of: a direct filter of range(0) taps over both channels (the
        whole response at 44.1 kHz is 427 taps, at 96 kHz 930), ...
    */
    void DirectFirBothChannels (benchmark::State& state)
    {
        const int taps = (int) state.range (0), blockSize = 512;
        std::vector<float> response ((size_t) taps, 0.01f), input ((size_t) (taps + blockSize + DirectFir::readAhead));
        std::vector<float> output ((size_t) blockSize);
        const auto kernel = DirectFir::kernelForThisMachine();

        for (auto _ : state)
        {
            for (int channel = 0; channel < 2; ++channel)
                kernel (response.data(), taps, input.data() + taps, output.data(), blockSize);
            benchmark::DoNotOptimize (output.data());
            benchmark::ClobberMemory();
        }
        reportPerPair (state, blockSize);
        state.SetLabel (DirectFir::instructionSetName());
    }
    BENCHMARK (DirectFirBothChannels)->Arg (32)->Arg (64)->Arg (128)->Arg (428)->Arg (930);

    /** ... and a forward plus an inverse FFT of range(0) points, which carries both channels of
        range(0) / 2 samples.
    */
    void StereoFftRoundTrip (benchmark::State& state)
    {
        const int size = (int) state.range (0);
        StereoFft fft (size);
        AlignedFloats re ((size_t) size), im ((size_t) size);

        for (auto _ : state)
        {
            fft.forward (re.data(), im.data());
            fft.inverse (re.data(), im.data());
            benchmark::ClobberMemory();
        }
        reportPerPair (state, size / 2);
    }
    BENCHMARK (StereoFftRoundTrip)->Arg (64)->Arg (128)->Arg (256);

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
            left[(size_t) s] = right[(size_t) s] =
                PlainBiquad{ (float) c.b0, (float) c.b1, (float) c.b2, (float) c.a1, (float) c.a2 };
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
