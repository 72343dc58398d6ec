#pragma once

#include <cstddef>
#include <utility>
#include <vector>

/** A complex FFT of size 8 * C (C = 8, 16, 32 or 64) built for fast convolution of two real
    channels at once: the left channel goes into the real part and the right into the imaginary.

    The spectrum comes out in a scrambled bin order (binPosition tells where bin k lives), and the
    inverse takes that order back to natural time order; convolution never needs the bins sorted.
    Data are in split form (real and imaginary parts in separate arrays of `size` floats, 32-byte
    aligned). The work runs on vectors of eight floats, compiled for AVX-512, AVX2 with FMA and
    SSE2; the widest one the processor offers is chosen at construction.
*/
class StereoFft
{
public:
    explicit StereoFft (int size);

    int getSize() const noexcept { return size; }

    /** In place, natural time order in, scrambled bins out. Not normalised. */
    void forward (float* re, float* im) const noexcept;

    /** In place, scrambled bins in, natural time order out; the result is `size` times the input
        of the matching forward transform.
    */
    void inverse (float* re, float* im) const noexcept;

    /** Where bin k (0 .. size - 1) sits in the scrambled order. */
    int binPosition (int k) const noexcept { return positions[(size_t) k]; }

    /** A spectrum (or any `size` complex values) in split form. */
    struct Spectrum
    {
        const float* re;
        const float* im;
    };

    /** One term a * z + b * m. With z the transform of left + i right, m its mirror (below),
        a = (HL + HR) / 2 and b = (HL - HR) / 2 for the spectra HL, HR of two real responses, the term
        is the transform of (left * hl) + i (right * hr): both channels filtered at once.
    */
    struct Term
    {
        Spectrum a, z, b, m;
    };

    /** y = the sum of the terms over all `size` values. */
    void sumOfProducts (const Term* terms, int numTerms, float* yRe, float* yIm) const noexcept;

    /** m[k] = conj z[size - k] (in the scrambled order), the transform of conj (left + i right). */
    void mirror (const float* zRe, const float* zIm, float* mRe, float* mIm) const noexcept;

    struct Tables
    {
        int columns = 0;                                    // C: vectors of eight per array
        std::vector<float> stageRe, stageIm;                // twiddles of the C-point stages, C / 2 per stage
        std::vector<float> columnRe, columnIm;              // the twiddles between the two passes, 8 * C
        std::vector<int> partnerVector;                     // the vector holding each vector's mirror bins
        std::vector<std::pair<int, int>> irregularPartners; // (position, partner) not covered by that rule
    };

    using Transform = void (*) (const Tables&, float* re, float* im);
    using SumOfProducts = void (*) (const Term*, int, float*, float*, int);
    using Mirror = void (*) (const Tables&, const float*, const float*, float*, float*);

private:
    template <typename Kernels>
    void chooseKernels (int columns) noexcept;

    int size;
    Tables tables;
    std::vector<int> positions;
    Transform forwardKernel, inverseKernel;
    SumOfProducts sumKernel;
    Mirror mirrorKernel;
};
