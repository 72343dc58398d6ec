#pragma once

/** The vector kernels of the engine (the equaliser chain, the direct filter and the FFT of the
    preamp) are compiled three times, each for one set of instructions; one decision picks the set
    that all of them use.
*/
enum class KernelSet
{
    sse2,  // every x86-64 processor
    avx2,  // compiled for "avx2,fma"
    avx512 // compiled for "avx512f,avx512vl,fma"
};

/** What the processor and the operating system offer, and the kernel set that follows from it.

    A set is chosen only when the processor has every feature its code may contain: the features
    named in its target and those the compilers imply by them (GCC: AVX2 implies AVX, SSE4.2,
    SSSE3, SSE3 and POPCNT; clang: AVX-512F also implies FMA and F16C), and when the system saves the
    wider registers on a task switch. A processor with AVX-512F but without AVX-512VL gets the AVX2
    set: the AVX-512 kernels use the upper sixteen vector registers at 128 and 256 bits, which need VL.
*/
class InstructionSet
{
public:
    struct Features
    {
        bool sse3 = false, ssse3 = false, sse41 = false, sse42 = false, popcnt = false;
        bool avx = false, avx2 = false, fma = false, f16c = false;
        bool avx512f = false, avx512vl = false;
        bool systemSavesAvx = false;    // XSAVE enabled by the system, with the 256-bit registers
        bool systemSavesAvx512 = false; // and the 512-bit registers and the mask registers
    };

    /** The features of the processor this runs on (CPUID and XGETBV). */
    static Features ofThisMachine() noexcept;

    /** The widest kernel set whose every feature is present. */
    static KernelSet choose (const Features& features) noexcept;

    /** The set for this machine, decided once. */
    static KernelSet forThisMachine() noexcept;

    /** "sse2", "avx2" or "avx512". */
    static const char* nameOf (KernelSet set) noexcept;

    /** Whether this machine can run a set (every set up to the chosen one). */
    static bool canRun (KernelSet set) noexcept;
};
