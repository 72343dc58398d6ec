#include "StereoFft.h"
#include "InstructionSetRegion.h"

#include <algorithm>
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

KRO_BEGIN_INSTRUCTION_SET (KRO_AVX2_TARGET)
namespace fftAvx2
{
    using SumVector = float __attribute__ ((vector_size (32)));
#include "StereoFftKernel.inl"
} // namespace fftAvx2
KRO_END_INSTRUCTION_SET

KRO_BEGIN_INSTRUCTION_SET (KRO_AVX512_TARGET)
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

StereoFft::StereoFft (int fftSize, KernelSet kernels)
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
    bins.resize ((size_t) size);
    for (int q = 0; q < columns / 8; ++q)
        for (int l = 0; l < 8; ++l)
            for (int m = 0; m < 8; ++m)
            {
                const int bin = columns * reverseBits (l, 3) + reverseBits (8 * q + m, columnBits);
                positions[(size_t) bin] = (8 * q + l) * 8 + m;
                bins[(size_t) ((8 * q + l) * 8 + m)] = bin;
            }

    tables.partnerVector.resize ((size_t) columns);
    for (int v = 0; v < columns; ++v)
        tables.partnerVector[(size_t) v] = mirrorPosition (8 * v + 1) / 8; // lane 1 always follows the rule
    planHalfSpectra();

    switch (kernels)
    {
        case KernelSet::avx512:
            chooseKernels<fftAvx512::Kernels> (columns);
            break;
        case KernelSet::avx2:
            chooseKernels<fftAvx2::Kernels> (columns);
            break;
        case KernelSet::sse2:
            chooseKernels<fftSse2::Kernels> (columns);
            break;
    }
}

int StereoFft::mirrorPosition (int position) const noexcept
{
    return positions[(size_t) ((size - bins[(size_t) position]) % size)];
}

/** The lane of vector v's partner that holds the mirror of lane `lane` when the rule holds. */
static int partnerLane (int v, int lane)
{
    constexpr int firstBlockLanes[8] = { 0, 1, 3, 2, 7, 6, 5, 4 };
    return v < 8 ? firstBlockLanes[lane] : 7 - lane;
}

void StereoFft::planHalfSpectra()
{
    const int columns = tables.columns;
    std::vector<int> index ((size_t) size, -1); // each position's place in the half spectra

    for (int v = 0; v < columns; ++v)
        if (v <= tables.partnerVector[(size_t) v])
        {
            for (int lane = 0; lane < 8; ++lane)
                index[(size_t) (8 * v + lane)] = 8 * (int) tables.halfVectors.size() + lane;
            tables.halfVectors.push_back (v);
        }

    int count = 8 * (int) tables.halfVectors.size();
    for (int position = 0; position < size; ++position)
        if (index[(size_t) position] < 0 && index[(size_t) mirrorPosition (position)] < 0)
            index[(size_t) position] = count++;
    tables.halfSize = (count + 15) / 16 * 16;

    halfPositions.assign ((size_t) tables.halfSize, -1);
    for (int position = 0; position < size; ++position)
        if (index[(size_t) position] >= 0)
            halfPositions[(size_t) index[(size_t) position]] = position;

    // separate: vector r of the half spectra from vector v and its partner's lanes; the rest one by one.
    for (int i = 0; i < count; ++i)
    {
        const int position = halfPositions[(size_t) i], mirror = mirrorPosition (position);
        const int v = position / 8;
        const bool byRule = i < 8 * (int) tables.halfVectors.size() &&
                            mirror == 8 * tables.partnerVector[(size_t) v] + partnerLane (v, position % 8);
        if (! byRule)
            tables.separateFixups.push_back ({ i, position, mirror });
    }

    // combine: a kept vector from itself, any other from its partner, conjugated; the rest one by one.
    std::vector<int> rank ((size_t) columns, -1);
    for (size_t r = 0; r < tables.halfVectors.size(); ++r)
        rank[(size_t) tables.halfVectors[r]] = (int) r;

    tables.combineSource.resize ((size_t) columns);
    for (int v = 0; v < columns; ++v)
    {
        const int partner = tables.partnerVector[(size_t) v];
        tables.combineSource[(size_t) v] =
            rank[(size_t) v] >= 0 ? rank[(size_t) v] : ~std::max (0, rank[(size_t) partner]);

        for (int lane = 0; lane < 8; ++lane)
        {
            const int position = 8 * v + lane;
            const bool direct = index[(size_t) position] >= 0;
            const int source = direct ? index[(size_t) position] : index[(size_t) mirrorPosition (position)];
            const int byRule =
                rank[(size_t) v] >= 0
                    ? 8 * rank[(size_t) v] + lane
                    : (rank[(size_t) partner] >= 0 ? 8 * rank[(size_t) partner] + partnerLane (v, lane) : -1);
            const bool ruleConjugates = rank[(size_t) v] < 0;
            assert (source >= 0);
            if (source != byRule || direct == ruleConjugates)
                tables.combineFixups.push_back ({ source, position, direct ? 0 : 1 });
        }
    }
}

template <typename Kernels>
void StereoFft::chooseKernels (int columns) noexcept
{
    separateKernel = Kernels::separate;
    sumKernel = Kernels::sumOfProducts;
    combineKernel = Kernels::combine;
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

void StereoFft::separate (const float* zRe, const float* zIm, float* halves) const noexcept
{
    separateKernel (tables, zRe, zIm, halves);
}

void StereoFft::sumOfProducts (const HalfTerm* terms, int numTerms, float* halves) const noexcept
{
    sumKernel (terms, numTerms, halves, tables.halfSize);
}

void StereoFft::combine (const float* halves, float* yRe, float* yIm) const noexcept
{
    combineKernel (tables, halves, yRe, yIm);
}
