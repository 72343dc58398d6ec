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

// Lane selections with constant indices: 0..7 pick from the first operand, 8..15 from the second.
#define KRO_LANES_LO 0, 8, 1, 9, 4, 12, 5, 13
#define KRO_LANES_HI 2, 10, 3, 11, 6, 14, 7, 15
#define KRO_LANES_PAIR_LO 0, 1, 8, 9, 4, 5, 12, 13
#define KRO_LANES_PAIR_HI 2, 3, 10, 11, 6, 7, 14, 15
#define KRO_LANES_HALF_LO 0, 1, 2, 3, 8, 9, 10, 11
#define KRO_LANES_HALF_HI 4, 5, 6, 7, 12, 13, 14, 15

inline void transpose8 (Vec* r)
{
    Vec t[8], s[8];
    for (int i = 0; i < 4; ++i)
    {
        t[2 * i] = __builtin_shufflevector (r[2 * i], r[2 * i + 1], KRO_LANES_LO);
        t[2 * i + 1] = __builtin_shufflevector (r[2 * i], r[2 * i + 1], KRO_LANES_HI);
    }
    for (int i = 0; i < 2; ++i)
    {
        s[4 * i + 0] = __builtin_shufflevector (t[4 * i + 0], t[4 * i + 2], KRO_LANES_PAIR_LO);
        s[4 * i + 1] = __builtin_shufflevector (t[4 * i + 0], t[4 * i + 2], KRO_LANES_PAIR_HI);
        s[4 * i + 2] = __builtin_shufflevector (t[4 * i + 1], t[4 * i + 3], KRO_LANES_PAIR_LO);
        s[4 * i + 3] = __builtin_shufflevector (t[4 * i + 1], t[4 * i + 3], KRO_LANES_PAIR_HI);
    }
    for (int i = 0; i < 4; ++i)
    {
        r[i] = __builtin_shufflevector (s[i], s[i + 4], KRO_LANES_HALF_LO);
        r[i + 4] = __builtin_shufflevector (s[i], s[i + 4], KRO_LANES_HALF_HI);
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

/** y = sum of a z + b m over the terms, `count` complex values, four vectors at a time so that the
    sums of the terms stay in registers.
*/
template <typename Wide>
inline void sumProducts (const StereoFft::Term* terms, int numTerms, float* yRe, float* yIm, int count)
{
    constexpr int group = 4;
    constexpr int width = (int) (sizeof (Wide) / sizeof (float));
    auto* yr = reinterpret_cast<Wide*> (yRe);
    auto* yi = reinterpret_cast<Wide*> (yIm);

    for (int v0 = 0; v0 < count / width; v0 += group)
    {
        Wide re[group], im[group];
        for (int g = 0; g < group; ++g)
            re[g] = im[g] = Wide{} + 0.0f;

        for (int t = 0; t < numTerms; ++t)
        {
            const auto& term = terms[t];
            auto at = [v0] (const float* p) { return reinterpret_cast<const Wide*> (p) + v0; };
            const Wide *ar = at (term.a.re), *ai = at (term.a.im), *zr = at (term.z.re), *zi = at (term.z.im);
            const Wide *br = at (term.b.re), *bi = at (term.b.im), *mr = at (term.m.re), *mi = at (term.m.im);
            for (int g = 0; g < group; ++g)
            {
                re[g] += ar[g] * zr[g] - ai[g] * zi[g] + br[g] * mr[g] - bi[g] * mi[g];
                im[g] += ar[g] * zi[g] + ai[g] * zr[g] + br[g] * mi[g] + bi[g] * mr[g];
            }
        }

        for (int g = 0; g < group; ++g)
        {
            yr[v0 + g] = re[g];
            yi[v0 + g] = im[g];
        }
    }
}

/** m[k] = conj z[N - k], in the scrambled order: each vector's partner vector with its lanes permuted,
    then the few bins whose partner lies elsewhere.
*/
inline void mirrorSpectrum (const StereoFft::Tables& t, const float* zRe, const float* zIm, float* mRe, float* mIm)
{
    const auto* re = reinterpret_cast<const Vec*> (zRe);
    const auto* im = reinterpret_cast<const Vec*> (zIm);
    auto* outRe = reinterpret_cast<Vec*> (mRe);
    auto* outIm = reinterpret_cast<Vec*> (mIm);

    for (int v = 0; v < t.columns; ++v)
    {
        const int partner = t.partnerVector[(size_t) v];
        if (v < 8)
        {
            outRe[v] = __builtin_shufflevector (re[partner], re[partner], 0, 1, 3, 2, 7, 6, 5, 4);
            outIm[v] = -__builtin_shufflevector (im[partner], im[partner], 0, 1, 3, 2, 7, 6, 5, 4);
        }
        else
        {
            outRe[v] = __builtin_shufflevector (re[partner], re[partner], 7, 6, 5, 4, 3, 2, 1, 0);
            outIm[v] = -__builtin_shufflevector (im[partner], im[partner], 7, 6, 5, 4, 3, 2, 1, 0);
        }
    }

    for (const auto& [position, partner] : t.irregularPartners)
    {
        mRe[position] = zRe[partner];
        mIm[position] = -zIm[partner];
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

    static void sumOfProducts (const StereoFft::Term* terms, int numTerms, float* yRe, float* yIm, int count)
    {
        sumProducts<SumVector> (terms, numTerms, yRe, yIm, count);
    }

    static void mirror (const StereoFft::Tables& t, const float* zRe, const float* zIm, float* mRe, float* mIm)
    {
        mirrorSpectrum (t, zRe, zIm, mRe, mIm);
    }
};
