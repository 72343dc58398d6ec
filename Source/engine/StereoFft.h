#pragma once

#include <cstddef>
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

    /** y += a * b for `count` complex values in split form (count a multiple of 8, all arrays
        32-byte aligned).
    */
    void multiplyAccumulate (const float* aRe, const float* aIm, const float* bRe, const float* bIm, float* yRe,
                             float* yIm, int count) const noexcept;

    struct Tables
    {
        int columns = 0;                       // C: vectors of eight per array
        std::vector<float> stageRe, stageIm;   // twiddles of the C-point stages, C / 2 per stage
        std::vector<float> columnRe, columnIm; // the twiddles between the two passes, 8 * C
    };

    using Transform = void (*) (const Tables&, float* re, float* im);
    using MultiplyAccumulate = void (*) (const float*, const float*, const float*, const float*, float*, float*, int);

private:
    template <typename Kernels>
    void chooseKernels (int columns) noexcept;

    int size;
    Tables tables;
    std::vector<int> positions;
    Transform forwardKernel, inverseKernel;
    MultiplyAccumulate macKernel;
};
