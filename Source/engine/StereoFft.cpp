#include "StereoFft.h"
#include "InstructionSetRegion.h"

#include "DirectFir.h"

#include <cassert>
#include <cmath>

// Vector code below is generic GCC vector code; each namespace compiles it for one instruction set.
// The eight-float vectors never cross a function boundary that is not inlined, so the note that
// their calling convention differs without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace fftSse2
{
    using SumVector = float __attribute__ ((vector_size (32)));
#include "StereoFftKernel.inl"
} // namespace fftSse2

KRO_BEGIN_INSTRUCTION_SET ("avx2,fma")
namespace fftAvx2
{
    using SumVector = float __attribute__ ((vector_size (32)));
#include "StereoFftKernel.inl"
} // namespace fftAvx2
KRO_END_INSTRUCTION_SET

KRO_BEGIN_INSTRUCTION_SET ("avx512f,avx512vl,fma")
namespace fftAvx512
{
    // The products are independent per bin, so they take the full width of the vector unit.
    using SumVector = float __attribute__ ((vector_size (64)));
#include "StereoFftKernel.inl"
} // namespace fftAvx512
KRO_END_INSTRUCTION_SET

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

    // Bin N - k of the bins in vector v lies in one vector, with the lanes in a fixed order (see the
    // kernel); the few bins where that does not hold are listed and copied one by one.
    const int firstBlockLanes[8] = { 0, 1, 3, 2, 7, 6, 5, 4 };
    std::vector<int> binAt ((size_t) size);
    for (int bin = 0; bin < size; ++bin)
        binAt[(size_t) positions[(size_t) bin]] = bin;
    auto partnerOf = [&] (int position) { return positions[(size_t) ((size - binAt[(size_t) position]) % size)]; };

    tables.partnerVector.resize ((size_t) columns);
    for (int v = 0; v < columns; ++v)
    {
        tables.partnerVector[(size_t) v] = partnerOf (8 * v + 1) / 8; // lane 1 always follows the rule
        for (int lane = 0; lane < 8; ++lane)
        {
            const int position = 8 * v + lane, partner = partnerOf (position);
            const int expected = 8 * tables.partnerVector[(size_t) v] + (v < 8 ? firstBlockLanes[lane] : 7 - lane);
            if (partner != expected)
                tables.irregularPartners.emplace_back (position, partner);
        }
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
    sumKernel = Kernels::sumOfProducts;
    mirrorKernel = Kernels::mirror;
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

void StereoFft::sumOfProducts (const Term* terms, int numTerms, float* yRe, float* yIm) const noexcept
{
    sumKernel (terms, numTerms, yRe, yIm, size);
}

void StereoFft::mirror (const float* zRe, const float* zIm, float* mRe, float* mIm) const noexcept
{
    mirrorKernel (tables, zRe, zIm, mRe, mIm);
}
