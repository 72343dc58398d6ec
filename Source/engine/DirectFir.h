#pragma once

#include "InstructionSet.h"

/** A finite impulse response filter evaluated directly, with the widest vector unit the processor
    offers (AVX-512, AVX2 with FMA, or SSE2), as InstructionSet decides.

    Every output sample is computed by the same sequence of operations whatever the lengths of the
    blocks it arrives in, so a stream filtered in blocks of 1, 77 or 4096 samples comes out bit for
    bit the same.
*/
class DirectFir
{
public:
    /** Outputs y[i] = sum over k of taps[k] * x[i - k], for i in [0, numSamples).

        `taps` holds an even number of taps (pad with a zero). `x` points at the first new input;
        x[-(numTaps - 1)] .. x[-1] hold the past and x[numSamples .. numSamples + readAhead - 1]
        must be readable (their values do not matter).
    */
    using Kernel = void (*) (const float* taps, int numTaps, const float* x, float* y, int numSamples);

    static constexpr int readAhead = 16;

    /** The kernel of a set (which the processor must be able to run). */
    static Kernel kernelFor (KernelSet set) noexcept;

    /** The kernel for the vector unit of this processor. */
    static Kernel kernelForThisMachine() noexcept { return kernelFor (InstructionSet::forThisMachine()); }

    /** The name of that vector unit ("avx512", "avx2" or "sse2"). */
    static const char* instructionSetName() noexcept
    {
        return InstructionSet::nameOf (InstructionSet::forThisMachine());
    }

    static void runSse2 (const float* taps, int numTaps, const float* x, float* y, int numSamples);
    static void runAvx2 (const float* taps, int numTaps, const float* x, float* y, int numSamples);
    static void runAvx512 (const float* taps, int numTaps, const float* x, float* y, int numSamples);
};
