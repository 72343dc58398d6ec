// Which vector kernels a processor gets, and how far the kernel sets agree with each other. The
// suite also runs the engine and preamp tests under qemu-user with processor models that stop at
// SSE2 and at AVX2 (see tests/engine/run-under-qemu.sh); there KRO_EXPECTED_KERNEL_SET names the set
// that model must get.

#include "engine/IR_list.h"
#include "engine/InstructionSet.h"
#include "engine/TrellaDSP.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace
{
    using Features = InstructionSet::Features;

    /** Everything up to AVX2 with FMA, as on a Haswell, with the system saving the AVX registers. */
    Features haswell()
    {
        Features f;
        f.sse3 = f.ssse3 = f.sse41 = f.sse42 = f.popcnt = true;
        f.avx = f.avx2 = f.fma = f.f16c = true;
        f.systemSavesAvx = true;
        return f;
    }

    /** A Haswell with AVX-512 F and VL, as on a Skylake server, its registers saved by the system. */
    Features skylakeServer()
    {
        auto f = haswell();
        f.avx512f = f.avx512vl = true;
        f.systemSavesAvx512 = true;
        return f;
    }

    template <typename Change>
    Features with (Features f, Change change)
    {
        change (f);
        return f;
    }

    TEST (InstructionSet, ASetIsChosenOnlyWithEveryFeatureItsCodeIsCompiledFor)
    {
        const struct
        {
            const char* machine;
            Features features;
            KernelSet expected;
        } cases[] = {
            { "plain x86-64", Features{}, KernelSet::sse2 },
            { "Nehalem (SSE4.2, POPCNT)",
              with (Features{}, [] (Features& f) { f.sse3 = f.ssse3 = f.sse41 = f.sse42 = f.popcnt = true; }),
              KernelSet::sse2 },
            { "Sandy Bridge (AVX, no AVX2)", with (haswell(), [] (Features& f) { f.avx2 = f.fma = false; }),
              KernelSet::sse2 },
            { "Haswell", haswell(), KernelSet::avx2 },
            { "AVX2 without FMA", with (haswell(), [] (Features& f) { f.fma = false; }), KernelSet::sse2 },
            { "AVX2 without SSE4.2 (a masked virtual machine)", with (haswell(), [] (Features& f) { f.sse42 = false; }),
              KernelSet::sse2 },
            { "AVX2, system does not save the AVX registers",
              with (haswell(), [] (Features& f) { f.systemSavesAvx = false; }), KernelSet::sse2 },
            { "Skylake server", skylakeServer(), KernelSet::avx512 },
            { "AVX-512F without VL", with (skylakeServer(), [] (Features& f) { f.avx512vl = false; }),
              KernelSet::avx2 },
            { "AVX-512VL without F", with (skylakeServer(), [] (Features& f) { f.avx512f = false; }), KernelSet::avx2 },
            { "AVX-512, system does not save its registers",
              with (skylakeServer(), [] (Features& f) { f.systemSavesAvx512 = false; }), KernelSet::avx2 },
            { "AVX-512 without F16C (clang's AVX-512F implies it)",
              with (skylakeServer(), [] (Features& f) { f.f16c = false; }), KernelSet::avx2 },
            { "AVX-512 without FMA", with (skylakeServer(), [] (Features& f) { f.fma = false; }), KernelSet::sse2 },
            { "AVX-512 without AVX2", with (skylakeServer(), [] (Features& f) { f.avx2 = false; }), KernelSet::sse2 },
        };

        for (const auto& c : cases)
        {
            EXPECT_STREQ (InstructionSet::nameOf (InstructionSet::choose (c.features)),
                          InstructionSet::nameOf (c.expected))
                << c.machine;
        }
    }

    TEST (InstructionSet, ThisMachineGetsTheSetItsFeaturesGive)
    {
        const auto chosen = InstructionSet::forThisMachine();
        EXPECT_EQ (chosen, InstructionSet::choose (InstructionSet::ofThisMachine()));
        std::printf ("kernel set of this machine: %s\n", InstructionSet::nameOf (chosen));

        // Under qemu-user the processor model fixes the set; a model that silently gave another set
        // would leave the kernels meant for it untested.
        if (const char* expected = std::getenv ("KRO_EXPECTED_KERNEL_SET"))
        {
            EXPECT_STREQ (InstructionSet::nameOf (chosen), expected);
        }
    }

    //==============================================================================
    /** Three seconds of noise through the whole engine: every preamp response in turn (with their
        fades), four bands, both pass filters and the output level.
    */
    juce::AudioBuffer<float> renderWith (KernelSet kernels, const juce::AudioBuffer<float>& input)
    {
        constexpr double fs = 48000.0;
        TrellaDSP engine (fs, 512, kernels);
        engine.setEqActive (true);
        engine.setHiPass (40.0f);
        engine.setLoPass (15000.0f);
        engine.setLevel (-2.0f);
        const float gains[4] = { 5.0f, -7.0f, 4.0f, 3.0f };
        for (int b = 0; b < 4; ++b)
        {
            engine.setBandGain (b, gains[b]);
            engine.setBandQ (b, 2.0f);
            engine.setBandActive (b, true);
        }

        juce::AudioBuffer<float> output (input);
        const int numResponses = (int) IR_list.size();
        const int stretch = output.getNumSamples() / numResponses;
        for (int start = 0, choice = 1; start < output.getNumSamples(); start += 480)
        {
            if (start >= stretch * choice && choice < numResponses)
                engine.setPreampType (choice++ % numResponses);
            const int length = juce::jmin (480, output.getNumSamples() - start);
            juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), 2, start, length);
            engine.Process (block);
        }
        return output;
    }

    TEST (KernelSets, RenderTheSameSoundWithinTheLastBitsOfAFloat)
    {
        juce::Random random (5);
        juce::AudioBuffer<float> input (2, 3 * 48000);
        signals::fillNoise (input, random, 0.5f);

        const auto reference = renderWith (KernelSet::sse2, input);
        ASSERT_GT (signals::peakOf (reference), 0.1f);

        // Each set against SSE2 (plain multiplies and adds): the wider sets fuse multiply-adds in the
        // FFT, the direct filter and the sections, so their results differ in the last bits only:
        // measured 1.5 units in the last place of the loudest samples (9e-8); the bound is four units
        // of a full-scale sample, 126 dB below it.
        for (const auto kernels : { KernelSet::avx2, KernelSet::avx512 })
        {
            if (! InstructionSet::canRun (kernels))
            {
                std::printf ("%s: not offered by this processor\n", InstructionSet::nameOf (kernels));
                continue;
            }

            const auto output = renderWith (kernels, input);
            float largest = 0.0f;
            int differing = 0;
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < input.getNumSamples(); ++i)
                {
                    const float difference = std::abs (output.getSample (c, i) - reference.getSample (c, i));
                    largest = juce::jmax (largest, difference);
                    differing += difference > 0.0f ? 1 : 0;
                }

            std::printf ("%s against sse2: %d of %d samples differ, by at most %.3g (%.1f dB below the peak %.3f)\n",
                         InstructionSet::nameOf (kernels), differing, 2 * input.getNumSamples(), (double) largest,
                         signals::toDb (signals::peakOf (reference) / juce::jmax (largest, 1.0e-30f)),
                         (double) signals::peakOf (reference));
            EXPECT_LT (largest, 4.0e-7f) << InstructionSet::nameOf (kernels);
        }

        // AVX-512 and AVX2 perform the same fused operations in the same order lane by lane.
        if (InstructionSet::canRun (KernelSet::avx512))
        {
            const auto avx2 = renderWith (KernelSet::avx2, input);
            const auto avx512 = renderWith (KernelSet::avx512, input);
            for (int c = 0; c < 2; ++c)
                EXPECT_EQ (std::memcmp (avx2.getReadPointer (c), avx512.getReadPointer (c),
                                        sizeof (float) * (size_t) input.getNumSamples()),
                           0)
                    << "channel " << c;
        }
    }
} // namespace
