// The body of the StereoFft kernels, included once for each instruction set by StereoFft.cpp inside
// a namespace, with the matching target options in force.
//
// Size N = 8 * C, index n = r + 8 c (r the lane of a vector of eight, c the vector). The forward
// transform runs a C-point decimation-in-frequency transform across the vectors (each lane its own
// sequence), multiplies by W_N^(r * k_c), transposes each 8 x 8 block and runs an 8-point
// transform across the vectors again. The inverse runs the same steps backwards, each butterfly
// undone, so it needs no reordering either.

using Vec = float __attribute__ ((vector_size (32)));

inline Vec splat (float v)
{
    return Vec{ v, v, v, v, v, v, v, v };
}

inline void transpose8 (Vec* r)
{
    using Mask = int __attribute__ ((vector_size (32)));
    const Mask lo = { 0, 8, 1, 9, 4, 12, 5, 13 }, hi = { 2, 10, 3, 11, 6, 14, 7, 15 };
    const Mask pairLo = { 0, 1, 8, 9, 4, 5, 12, 13 }, pairHi = { 2, 3, 10, 11, 6, 7, 14, 15 };
    const Mask halfLo = { 0, 1, 2, 3, 8, 9, 10, 11 }, halfHi = { 4, 5, 6, 7, 12, 13, 14, 15 };

    Vec t[8], s[8];
    for (int i = 0; i < 4; ++i)
    {
        t[2 * i] = __builtin_shuffle (r[2 * i], r[2 * i + 1], lo);
        t[2 * i + 1] = __builtin_shuffle (r[2 * i], r[2 * i + 1], hi);
    }
    for (int i = 0; i < 2; ++i)
    {
        s[4 * i + 0] = __builtin_shuffle (t[4 * i + 0], t[4 * i + 2], pairLo);
        s[4 * i + 1] = __builtin_shuffle (t[4 * i + 0], t[4 * i + 2], pairHi);
        s[4 * i + 2] = __builtin_shuffle (t[4 * i + 1], t[4 * i + 3], pairLo);
        s[4 * i + 3] = __builtin_shuffle (t[4 * i + 1], t[4 * i + 3], pairHi);
    }
    for (int i = 0; i < 4; ++i)
    {
        r[i] = __builtin_shuffle (s[i], s[i + 4], halfLo);
        r[i + 4] = __builtin_shuffle (s[i], s[i + 4], halfHi);
    }
}

/** The C-point passes across the vectors, forward (decimation in frequency). */
template <int columns>
inline void columnsForward (const StereoFft::Tables& t, Vec* re, Vec* im)
{
    int stage = 0;
    for (int span = columns / 2; span >= 1; span /= 2, ++stage)
    {
        const float* wr = t.stageRe.data() + stage * (columns / 2);
        const float* wi = t.stageIm.data() + stage * (columns / 2);
        for (int g = 0; g < columns; g += 2 * span)
            for (int j = 0; j < span; ++j)
            {
                const int a = g + j, b = a + span;
                const Vec dr = re[a] - re[b], di = im[a] - im[b];
                re[a] += re[b];
                im[a] += im[b];
                const Vec cr = splat (wr[j]), ci = splat (wi[j]);
                re[b] = dr * cr - di * ci;
                im[b] = dr * ci + di * cr;
            }
    }
}

template <int columns>
inline void columnsInverse (const StereoFft::Tables& t, Vec* re, Vec* im)
{
    int stage = 0;
    for (int span = columns / 2; span >= 1; span /= 2)
        ++stage;
    for (int span = 1; span <= columns / 2; span *= 2)
    {
        --stage;
        const float* wr = t.stageRe.data() + stage * (columns / 2);
        const float* wi = t.stageIm.data() + stage * (columns / 2);
        for (int g = 0; g < columns; g += 2 * span)
            for (int j = 0; j < span; ++j)
            {
                const int a = g + j, b = a + span;
                const Vec cr = splat (wr[j]), ci = splat (wi[j]);
                // b times the conjugate twiddle
                const Vec br = re[b] * cr + im[b] * ci, bi = im[b] * cr - re[b] * ci;
                re[b] = re[a] - br;
                im[b] = im[a] - bi;
                re[a] += br;
                im[a] += bi;
            }
    }
}

/** The 8-point passes across the eight vectors of a transposed block. */
inline void rowsForward (Vec* re, Vec* im)
{
    constexpr float h = 0.70710678118654752f;
    const float wr4[4] = { 1.0f, h, 0.0f, -h }, wi4[4] = { 0.0f, -h, -1.0f, -h };
    for (int span = 4; span >= 1; span /= 2)
    {
        const int step = 4 / span;
        for (int g = 0; g < 8; g += 2 * span)
            for (int j = 0; j < span; ++j)
            {
                const int a = g + j, b = a + span;
                const Vec dr = re[a] - re[b], di = im[a] - im[b];
                re[a] += re[b];
                im[a] += im[b];
                const Vec cr = splat (wr4[j * step]), ci = splat (wi4[j * step]);
                re[b] = dr * cr - di * ci;
                im[b] = dr * ci + di * cr;
            }
    }
}

inline void rowsInverse (Vec* re, Vec* im)
{
    constexpr float h = 0.70710678118654752f;
    const float wr4[4] = { 1.0f, h, 0.0f, -h }, wi4[4] = { 0.0f, -h, -1.0f, -h };
    for (int span = 1; span <= 4; span *= 2)
    {
        const int step = 4 / span;
        for (int g = 0; g < 8; g += 2 * span)
            for (int j = 0; j < span; ++j)
            {
                const int a = g + j, b = a + span;
                const Vec cr = splat (wr4[j * step]), ci = splat (wi4[j * step]);
                const Vec br = re[b] * cr + im[b] * ci, bi = im[b] * cr - re[b] * ci;
                re[b] = re[a] - br;
                im[b] = im[a] - bi;
                re[a] += br;
                im[a] += bi;
            }
    }
}

template <int columns>
inline void twiddleColumns (const StereoFft::Tables& t, Vec* re, Vec* im, bool conjugate)
{
    const auto* wr = reinterpret_cast<const float*> (t.columnRe.data());
    const auto* wi = reinterpret_cast<const float*> (t.columnIm.data());
    for (int p = 0; p < columns; ++p)
    {
        Vec cr, ci;
        __builtin_memcpy (&cr, wr + 8 * p, sizeof (Vec));
        __builtin_memcpy (&ci, wi + 8 * p, sizeof (Vec));
        if (conjugate)
            ci = -ci;
        const Vec r = re[p] * cr - im[p] * ci;
        im[p] = re[p] * ci + im[p] * cr;
        re[p] = r;
    }
}

template <int columns>
void forwardTransform (const StereoFft::Tables& t, float* reData, float* imData)
{
    auto* re = reinterpret_cast<Vec*> (reData);
    auto* im = reinterpret_cast<Vec*> (imData);
    columnsForward<columns> (t, re, im);
    twiddleColumns<columns> (t, re, im, false);
    for (int block = 0; block < columns; block += 8)
    {
        transpose8 (re + block);
        transpose8 (im + block);
        rowsForward (re + block, im + block);
    }
}

template <int columns>
void inverseTransform (const StereoFft::Tables& t, float* reData, float* imData)
{
    auto* re = reinterpret_cast<Vec*> (reData);
    auto* im = reinterpret_cast<Vec*> (imData);
    for (int block = 0; block < columns; block += 8)
    {
        rowsInverse (re + block, im + block);
        transpose8 (re + block);
        transpose8 (im + block);
    }
    twiddleColumns<columns> (t, re, im, true);
    columnsInverse<columns> (t, re, im);
}

inline void multiplyAccumulateVectors (const float* aRe, const float* aIm, const float* bRe, const float* bIm,
                                       float* yRe, float* yIm, int count)
{
    const auto* ar = reinterpret_cast<const Vec*> (aRe);
    const auto* ai = reinterpret_cast<const Vec*> (aIm);
    const auto* br = reinterpret_cast<const Vec*> (bRe);
    const auto* bi = reinterpret_cast<const Vec*> (bIm);
    auto* yr = reinterpret_cast<Vec*> (yRe);
    auto* yi = reinterpret_cast<Vec*> (yIm);
    for (int v = 0; v < count / 8; ++v)
    {
        yr[v] += ar[v] * br[v] - ai[v] * bi[v];
        yi[v] += ar[v] * bi[v] + ai[v] * br[v];
    }
}

struct Kernels
{
    template <int columns>
    static void forward (const StereoFft::Tables& t, float* re, float* im)
    {
        forwardTransform<columns> (t, re, im);
    }

    template <int columns>
    static void inverse (const StereoFft::Tables& t, float* re, float* im)
    {
        inverseTransform<columns> (t, re, im);
    }

    static void multiplyAccumulate (const float* aRe, const float* aIm, const float* bRe, const float* bIm, float* yRe,
                                    float* yIm, int count)
    {
        multiplyAccumulateVectors (aRe, aIm, bRe, bIm, yRe, yIm, count);
    }
};
