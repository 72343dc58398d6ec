#include "DirectFir.h"
#include "InstructionSetRegion.h"

#include <immintrin.h>

namespace sse2
{
    using Vector = __m128;
    constexpr int width = 4;
    inline Vector zero()
    {
        return _mm_setzero_ps();
    }
    inline Vector broadcast (const float* p)
    {
        return _mm_set1_ps (*p);
    }
    inline Vector load (const float* p)
    {
        return _mm_loadu_ps (p);
    }
    inline void store (float* p, Vector v)
    {
        _mm_storeu_ps (p, v);
    }
    inline Vector add (Vector a, Vector b)
    {
        return _mm_add_ps (a, b);
    }
    inline Vector multiplyAdd (Vector a, Vector b, Vector c)
    {
        return _mm_add_ps (_mm_mul_ps (a, b), c);
    }

#include "DirectFirKernel.inl"
} // namespace sse2

void DirectFir::runSse2 (const float* taps, int numTaps, const float* x, float* y, int numSamples)
{
    sse2::filterBlock (taps, numTaps, x, y, numSamples);
}

KRO_BEGIN_INSTRUCTION_SET (KRO_AVX2_TARGET)
namespace avx2
{
    using Vector = __m256;
    constexpr int width = 8;
    inline Vector zero()
    {
        return _mm256_setzero_ps();
    }
    inline Vector broadcast (const float* p)
    {
        return _mm256_broadcast_ss (p);
    }
    inline Vector load (const float* p)
    {
        return _mm256_loadu_ps (p);
    }
    inline void store (float* p, Vector v)
    {
        _mm256_storeu_ps (p, v);
    }
    inline Vector add (Vector a, Vector b)
    {
        return _mm256_add_ps (a, b);
    }
    inline Vector multiplyAdd (Vector a, Vector b, Vector c)
    {
        return _mm256_fmadd_ps (a, b, c);
    }

#include "DirectFirKernel.inl"
} // namespace avx2

void DirectFir::runAvx2 (const float* taps, int numTaps, const float* x, float* y, int numSamples)
{
    avx2::filterBlock (taps, numTaps, x, y, numSamples);
}
KRO_END_INSTRUCTION_SET

KRO_BEGIN_INSTRUCTION_SET (KRO_AVX512_TARGET)
namespace avx512
{
    using Vector = __m512;
    constexpr int width = 16;
    inline Vector zero()
    {
        return _mm512_setzero_ps();
    }
    inline Vector broadcast (const float* p)
    {
        return _mm512_set1_ps (*p);
    }
    inline Vector load (const float* p)
    {
        return _mm512_loadu_ps (p);
    }
    inline void store (float* p, Vector v)
    {
        _mm512_storeu_ps (p, v);
    }
    inline Vector add (Vector a, Vector b)
    {
        return _mm512_add_ps (a, b);
    }
    inline Vector multiplyAdd (Vector a, Vector b, Vector c)
    {
        return _mm512_fmadd_ps (a, b, c);
    }

#include "DirectFirKernel.inl"
} // namespace avx512

void DirectFir::runAvx512 (const float* taps, int numTaps, const float* x, float* y, int numSamples)
{
    avx512::filterBlock (taps, numTaps, x, y, numSamples);
}
KRO_END_INSTRUCTION_SET

DirectFir::Kernel DirectFir::kernelFor (KernelSet set) noexcept
{
    switch (set)
    {
        case KernelSet::avx512:
            return runAvx512;
        case KernelSet::avx2:
            return runAvx2;
        case KernelSet::sse2:
            break;
    }
    return runSse2;
}
