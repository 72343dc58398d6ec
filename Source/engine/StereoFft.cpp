#include "StereoFft.h"

#include "DirectFir.h"

#include <cassert>
#include <cmath>

// Vector code below is generic GCC vector code; each namespace compiles it for one instruction set.
// The eight-float vectors never cross a function boundary that is not inlined, so the note that
// their calling convention differs without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace fftSse2
{
#include "StereoFftKernel.inl"
} // namespace fftSse2

#pragma GCC push_options
#pragma GCC target("avx2,fma")
namespace fftAvx2
{
#include "StereoFftKernel.inl"
} // namespace fftAvx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512vl,fma")
namespace fftAvx512
{
#include "StereoFftKernel.inl"
} // namespace fftAvx512
#pragma GCC pop_options

namespace
{
    int reverseBits (int value, int bits)
    {
        int result = 0;
        for (int b = 0; b < bits; ++b)
            result |= ((value >> b) & 1) << (bits - 1 - b);
        return result;
    }

    int log2Of (int value)
    {
        int bits = 0;
        while ((1 << bits) < value)
            ++bits;
        return bits;
    }
} // namespace

StereoFft::StereoFft (int fftSize)
    : size (fftSize)
{
    assert (size == 64 || size == 128 || size == 256 || size == 512);
    const int columns = size / 8;
    const int columnBits = log2Of (columns);
    constexpr double twoPi = 6.283185307179586476925286766559;

    tables.columns = columns;
    for (int span = columns / 2; span >= 1; span /= 2)
        for (int j = 0; j < columns / 2; ++j)
        {
            const double angle = j < span ? -twoPi * j / (2.0 * span) : 0.0;
            tables.stageRe.push_back ((float) std::cos (angle));
            tables.stageIm.push_back ((float) std::sin (angle));
        }

    // Vector p holds bin k_c = reverse(p) of the column transforms; lane r is multiplied by W_N^(r k_c).
    tables.columnRe.resize ((size_t) size);
    tables.columnIm.resize ((size_t) size);
    for (int p = 0; p < columns; ++p)
        for (int r = 0; r < 8; ++r)
        {
            const double angle = -twoPi * r * reverseBits (p, columnBits) / size;
            tables.columnRe[(size_t) (8 * p + r)] = (float) std::cos (angle);
            tables.columnIm[(size_t) (8 * p + r)] = (float) std::sin (angle);
        }

    // After the transpose, block q, vector l, lane m holds bin C * reverse3(l) + reverse(8q + m).
    positions.resize ((size_t) size);
    for (int q = 0; q < columns / 8; ++q)
        for (int l = 0; l < 8; ++l)
            for (int m = 0; m < 8; ++m)
            {
                const int bin = columns * reverseBits (l, 3) + reverseBits (8 * q + m, columnBits);
                positions[(size_t) bin] = (8 * q + l) * 8 + m;
            }

    const auto fir = DirectFir::kernelForThisMachine();
    if (fir == DirectFir::runAvx512)
        chooseKernels<fftAvx512::Kernels> (columns);
    else if (fir == DirectFir::runAvx2)
        chooseKernels<fftAvx2::Kernels> (columns);
    else
        chooseKernels<fftSse2::Kernels> (columns);
}

template <typename Kernels>
void StereoFft::chooseKernels (int columns) noexcept
{
    macKernel = Kernels::multiplyAccumulate;
    switch (columns)
    {
        case 8:
            forwardKernel = Kernels::template forward<8>;
            inverseKernel = Kernels::template inverse<8>;
            break;
        case 16:
            forwardKernel = Kernels::template forward<16>;
            inverseKernel = Kernels::template inverse<16>;
            break;
        case 32:
            forwardKernel = Kernels::template forward<32>;
            inverseKernel = Kernels::template inverse<32>;
            break;
        default:
            forwardKernel = Kernels::template forward<64>;
            inverseKernel = Kernels::template inverse<64>;
            break;
    }
}

void StereoFft::forward (float* re, float* im) const noexcept
{
    forwardKernel (tables, re, im);
}

void StereoFft::inverse (float* re, float* im) const noexcept
{
    inverseKernel (tables, re, im);
}

void StereoFft::multiplyAccumulate (const float* aRe, const float* aIm, const float* bRe, const float* bIm, float* yRe,
                                    float* yIm, int count) const noexcept
{
    macKernel (aRe, aIm, bRe, bIm, yRe, yIm, count);
}
