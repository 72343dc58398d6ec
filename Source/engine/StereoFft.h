#pragma once

#include "InstructionSet.h"

#include <cstddef>
#include <utility>
#include <vector>

/** A complex FFT of size 8 * C (C = 8, 16, 32 or 64) built for fast convolution of two real
    channels at once: the left channel goes into the real part and the right into the imaginary.

    The spectrum comes out in a scrambled bin order (binPosition tells where bin k lives), and the
    inverse takes that order back to natural time order; convolution never needs the bins sorted.
    Data are in split form (real and imaginary parts in separate arrays of `size` floats, 32-byte
    aligned). The work runs on vectors of eight floats, compiled for each KernelSet; the machine's
    set (InstructionSet) is the default.
*/
class StereoFft
{
public:
    explicit StereoFft (int size, KernelSet kernels = InstructionSet::forThisMachine());

    int getSize() const noexcept { return size; }

    /** In place, natural time order in, scrambled bins out. Not normalised. */
    void forward (float* re, float* im) const noexcept;

    /** In place, scrambled bins in, natural time order out; the result is `size` times the input
        of the matching forward transform.
    */
    void inverse (float* re, float* im) const noexcept;

    /** Where bin k (0 .. size - 1) sits in the scrambled order. */
    int binPosition (int k) const noexcept { return positions[(size_t) k]; }

    /** Half spectra: one value for each pair of bins k and size - k of a spectrum, laid out as
        `getHalfSize()` real parts of the left channel, as many imaginary parts, then the same for
        the right channel. A real signal's spectrum is fixed by its half, so a product of two
        channels' spectra needs only the half: about half the work of the full products.
    */
    int getHalfSize() const noexcept { return tables.halfSize; }

    /** Where the half-spectrum value i sits in the scrambled order (-1 for the padding at the end). */
    int halfPosition (int i) const noexcept { return halfPositions[(size_t) i]; }

    /** From z, the transform of left + i right, the half spectra 2 L and 2 R of the two channels. */
    void separate (const float* zRe, const float* zIm, float* halves) const noexcept;

    /** One term of a sum: the half spectra of a response h and of an input x. */
    struct HalfTerm
    {
        const float* h;
        const float* x;
    };

    /** y = the sum of the products h x, channel by channel, over the half spectra of the terms. */
    void sumOfProducts (const HalfTerm* terms, int numTerms, float* halves) const noexcept;

    /** The full spectrum of yl + i yr (for the inverse) from the half spectra of yl and yr. */
    void combine (const float* halves, float* yRe, float* yIm) const noexcept;

    struct Tables
    {
        int columns = 0;                       // C: vectors of eight per array
        std::vector<float> stageRe, stageIm;   // twiddles of the C-point stages, C / 2 per stage
        std::vector<float> columnRe, columnIm; // the twiddles between the two passes, 8 * C
        std::vector<int> partnerVector;        // the vector holding each vector's mirror bins

        // The half spectra: whole vectors (each one's partner left out) first, then the bins that
        // neither those vectors nor their partners hold, then zeros up to a multiple of 16 values.
        int halfSize = 0;
        std::vector<int> halfVectors; // the vectors kept, in the order of the half spectra

        struct Fixup
        {
            int index;    // in the half spectra
            int position; // in the full spectrum
            int other;    // separate: the position of the mirror bin; combine: 1 to conjugate
        };

        std::vector<Fixup> separateFixups; // the bins the vector rule gets wrong in `separate`
        std::vector<int> combineSource;    // per vector: its index in halfVectors, or ~index of its partner
        std::vector<Fixup> combineFixups;  // the bins the vector rule gets wrong in `combine`
    };

    using Transform = void (*) (const Tables&, float* re, float* im);
    using Separate = void (*) (const Tables&, const float*, const float*, float*);
    using SumOfProducts = void (*) (const HalfTerm*, int, float*, int);
    using Combine = void (*) (const Tables&, const float*, float*, float*);

private:
    template <typename Kernels>
    void chooseKernels (int columns) noexcept;

    int size;
    Tables tables;
    int mirrorPosition (int position) const noexcept;
    void planHalfSpectra();

    std::vector<int> positions, bins, halfPositions;
    Transform forwardKernel, inverseKernel;
    Separate separateKernel;
    SumOfProducts sumKernel;
    Combine combineKernel;
};
