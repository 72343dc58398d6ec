#include "InstructionSet.h"

#include <cpuid.h>

namespace
{
    bool bit (unsigned int word, int index) noexcept
    {
        return ((word >> index) & 1u) != 0;
    }

    /** The register-state bits the system has enabled (XCR0); only valid when OSXSAVE is set. */
    unsigned long long enabledRegisterState() noexcept
    {
        unsigned int low = 0, high = 0;
        __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        return ((unsigned long long) high << 32) | low;
    }

    bool hasAvx2Set (const InstructionSet::Features& f) noexcept
    {
        return f.sse3 && f.ssse3 && f.sse41 && f.sse42 && f.popcnt && f.avx && f.avx2 && f.fma && f.systemSavesAvx;
    }

    bool hasAvx512Set (const InstructionSet::Features& f) noexcept
    {
        return hasAvx2Set (f) && f.f16c && f.avx512f && f.avx512vl && f.systemSavesAvx512;
    }
} // namespace

InstructionSet::Features InstructionSet::ofThisMachine() noexcept
{
    Features f;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid (1, &eax, &ebx, &ecx, &edx) == 0)
        return f;

    f.sse3 = bit (ecx, 0);
    f.ssse3 = bit (ecx, 9);
    f.fma = bit (ecx, 12);
    f.sse41 = bit (ecx, 19);
    f.sse42 = bit (ecx, 20);
    f.popcnt = bit (ecx, 23);
    f.avx = bit (ecx, 28);
    f.f16c = bit (ecx, 29);

    if (bit (ecx, 27)) // OSXSAVE: the system uses XSAVE, so XGETBV tells which registers it saves
    {
        const auto state = enabledRegisterState();
        f.systemSavesAvx = (state & 0x6) == 0x6;      // SSE and AVX state
        f.systemSavesAvx512 = (state & 0xe6) == 0xe6; // and opmask, upper ZMM halves, ZMM16-31
    }

    if (__get_cpuid_count (7, 0, &eax, &ebx, &ecx, &edx) != 0)
    {
        f.avx2 = bit (ebx, 5);
        f.avx512f = bit (ebx, 16);
        f.avx512vl = bit (ebx, 31);
    }

    return f;
}

KernelSet InstructionSet::choose (const Features& features) noexcept
{
    if (hasAvx512Set (features))
        return KernelSet::avx512;
    if (hasAvx2Set (features))
        return KernelSet::avx2;
    return KernelSet::sse2;
}

KernelSet InstructionSet::forThisMachine() noexcept
{
    static const KernelSet chosen = choose (ofThisMachine());
    return chosen;
}

const char* InstructionSet::nameOf (KernelSet set) noexcept
{
    switch (set)
    {
        case KernelSet::avx512:
            return "avx512";
        case KernelSet::avx2:
            return "avx2";
        case KernelSet::sse2:
            break;
    }
    return "sse2";
}

bool InstructionSet::canRun (KernelSet set) noexcept
{
    return (int) set <= (int) forThisMachine();
}
