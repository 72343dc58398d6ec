// The body of the StereoFft kernels, included once for each instruction set by StereoFft.cpp inside
// a namespace, with the matching target options in force.
//
// Size N = 8 * C, index n = r + 8 c (r the lane of a vector of eight, c the vector). The forward
// transform runs a C-point decimation-in-frequency transform across the vectors (each lane its own
// sequence), multiplies by W_N^(r * k_c), transposes each 8 x 8 block and runs an 8-point
// transform across the vectors again. The inverse runs the same steps backwards, each butterfly
// undone, so it needs no reordering either.

using Vec = float __attribute__ ((vector_size (32)));

inline __attribute__ ((always_inline)) Vec splat (float v)
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

#define KRO_ALWAYS_INLINE inline __attribute__ ((always_inline))
// The passes are unrolled whole, so that each vector stays in a register and trivial twiddles vanish.
#define KRO_UNROLL _Pragma ("GCC unroll 64")

KRO_ALWAYS_INLINE void transpose8 (Vec* r)
{
    Vec t[8], s[8];
    KRO_UNROLL
    for (int i = 0; i < 4; ++i)
    {
        t[2 * i] = __builtin_shufflevector (r[2 * i], r[2 * i + 1], KRO_LANES_LO);
        t[2 * i + 1] = __builtin_shufflevector (r[2 * i], r[2 * i + 1], KRO_LANES_HI);
    }
    KRO_UNROLL
    for (int i = 0; i < 2; ++i)
    {
        s[4 * i + 0] = __builtin_shufflevector (t[4 * i + 0], t[4 * i + 2], KRO_LANES_PAIR_LO);
        s[4 * i + 1] = __builtin_shufflevector (t[4 * i + 0], t[4 * i + 2], KRO_LANES_PAIR_HI);
        s[4 * i + 2] = __builtin_shufflevector (t[4 * i + 1], t[4 * i + 3], KRO_LANES_PAIR_LO);
        s[4 * i + 3] = __builtin_shufflevector (t[4 * i + 1], t[4 * i + 3], KRO_LANES_PAIR_HI);
    }
    KRO_UNROLL
    for (int i = 0; i < 4; ++i)
    {
        r[i] = __builtin_shufflevector (s[i], s[i + 4], KRO_LANES_HALF_LO);
        r[i + 4] = __builtin_shufflevector (s[i], s[i + 4], KRO_LANES_HALF_HI);
    }
}

/** Butterfly j of a span, forward: a += b, b = (a - b) w, with w = 1 at j = 0 and -i at j = span / 2
    done without multiplying.
*/
KRO_ALWAYS_INLINE void butterflyForward (Vec* re, Vec* im, int a, int b, int j, int span, float wr, float wi)
{
    const Vec dr = re[a] - re[b], di = im[a] - im[b];
    re[a] += re[b];
    im[a] += im[b];
    if (j == 0)
    {
        re[b] = dr;
        im[b] = di;
    }
    else if (2 * j == span)
    {
        re[b] = di;
        im[b] = -dr;
    }
    else
    {
        const Vec cr = splat (wr), ci = splat (wi);
        re[b] = dr * cr - di * ci;
        im[b] = dr * ci + di * cr;
    }
}

/** The butterfly undone: b times conj w, then a +- b. */
KRO_ALWAYS_INLINE void butterflyInverse (Vec* re, Vec* im, int a, int b, int j, int span, float wr, float wi)
{
    Vec br, bi;
    if (j == 0)
    {
        br = re[b];
        bi = im[b];
    }
    else if (2 * j == span)
    {
        br = -im[b];
        bi = re[b];
    }
    else
    {
        const Vec cr = splat (wr), ci = splat (wi);
        br = re[b] * cr + im[b] * ci;
        bi = im[b] * cr - re[b] * ci;
    }
    re[b] = re[a] - br;
    im[b] = im[a] - bi;
    re[a] += br;
    im[a] += bi;
}

/** The stage of the C-point passes with butterflies `span` apart (0 for span C / 2). */
constexpr int stageOf (int columns, int span)
{
    int stage = 0;
    for (int s = columns / 2; s > span; s /= 2)
        ++stage;
    return stage;
}

/** The C-point passes across the vectors, forward (decimation in frequency), from `span` down. */
template <int columns, int span = columns / 2>
KRO_ALWAYS_INLINE void columnsForward (const StereoFft::Tables& t, Vec* re, Vec* im)
{
    const float* wr = t.stageRe.data() + stageOf (columns, span) * (columns / 2);
    const float* wi = t.stageIm.data() + stageOf (columns, span) * (columns / 2);
    KRO_UNROLL
    for (int g = 0; g < columns; g += 2 * span)
        KRO_UNROLL
    for (int j = 0; j < span; ++j)
        butterflyForward (re, im, g + j, g + j + span, j, span, wr[j], wi[j]);
    if constexpr (span > 1)
        columnsForward<columns, span / 2> (t, re, im);
}

/** The forward passes undone, from `span` up. */
template <int columns, int span = 1>
KRO_ALWAYS_INLINE void columnsInverse (const StereoFft::Tables& t, Vec* re, Vec* im)
{
    const float* wr = t.stageRe.data() + stageOf (columns, span) * (columns / 2);
    const float* wi = t.stageIm.data() + stageOf (columns, span) * (columns / 2);
    KRO_UNROLL
    for (int g = 0; g < columns; g += 2 * span)
        KRO_UNROLL
    for (int j = 0; j < span; ++j)
        butterflyInverse (re, im, g + j, g + j + span, j, span, wr[j], wi[j]);
    if constexpr (span < columns / 2)
        columnsInverse<columns, span * 2> (t, re, im);
}

constexpr float rowTwiddleRe[4] = { 1.0f, 0.70710678118654752f, 0.0f, -0.70710678118654752f };
constexpr float rowTwiddleIm[4] = { 0.0f, -0.70710678118654752f, -1.0f, -0.70710678118654752f };

/** The 8-point passes across the eight vectors of a transposed block, from `span` down. */
template <int span = 4>
KRO_ALWAYS_INLINE void rowsForward (Vec* re, Vec* im)
{
    KRO_UNROLL
    for (int g = 0; g < 8; g += 2 * span)
        KRO_UNROLL
    for (int j = 0; j < span; ++j)
        butterflyForward (re, im, g + j, g + j + span, j, span, rowTwiddleRe[j * 4 / span], rowTwiddleIm[j * 4 / span]);
    if constexpr (span > 1)
        rowsForward<span / 2> (re, im);
}

template <int span = 1>
KRO_ALWAYS_INLINE void rowsInverse (Vec* re, Vec* im)
{
    KRO_UNROLL
    for (int g = 0; g < 8; g += 2 * span)
        KRO_UNROLL
    for (int j = 0; j < span; ++j)
        butterflyInverse (re, im, g + j, g + j + span, j, span, rowTwiddleRe[j * 4 / span], rowTwiddleIm[j * 4 / span]);
    if constexpr (span < 4)
        rowsInverse<span * 2> (re, im);
}

template <int columns>
inline void twiddleColumns (const StereoFft::Tables& t, Vec* re, Vec* im, bool conjugate)
{
    const auto* wr = reinterpret_cast<const float*> (t.columnRe.data());
    const auto* wi = reinterpret_cast<const float*> (t.columnIm.data());
    KRO_UNROLL
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
    // Worked on in local arrays: the compiler then knows the two parts do not overlap and keeps
    // them in registers across the passes.
    Vec re[(size_t) columns], im[(size_t) columns];
    __builtin_memcpy (re, reData, sizeof (re));
    __builtin_memcpy (im, imData, sizeof (im));
    columnsForward<columns> (t, re, im);
    twiddleColumns<columns> (t, re, im, false);
    KRO_UNROLL
    for (int block = 0; block < columns; block += 8)
    {
        transpose8 (re + block);
        transpose8 (im + block);
        rowsForward (re + block, im + block);
    }
    __builtin_memcpy (reData, re, sizeof (re));
    __builtin_memcpy (imData, im, sizeof (im));
}

template <int columns>
void inverseTransform (const StereoFft::Tables& t, float* reData, float* imData)
{
    Vec re[(size_t) columns], im[(size_t) columns];
    __builtin_memcpy (re, reData, sizeof (re));
    __builtin_memcpy (im, imData, sizeof (im));
    KRO_UNROLL
    for (int block = 0; block < columns; block += 8)
    {
        rowsInverse (re + block, im + block);
        transpose8 (re + block);
        transpose8 (im + block);
    }
    twiddleColumns<columns> (t, re, im, true);
    columnsInverse<columns> (t, re, im);
    __builtin_memcpy (reData, re, sizeof (re));
    __builtin_memcpy (imData, im, sizeof (im));
}

/** Vector v's partner with its lanes in the order of v's mirror bins. */
inline Vec partnerLanes (int v, Vec partner)
{
    return v < 8 ? __builtin_shufflevector (partner, partner, 0, 1, 3, 2, 7, 6, 5, 4)
                 : __builtin_shufflevector (partner, partner, 7, 6, 5, 4, 3, 2, 1, 0);
}

/** 2 L = z + m and 2 R = -i (z - m), with m[k] = conj z[N - k]. */
inline void separateChannels (const StereoFft::Tables& t, const float* zRe, const float* zIm, float* halves)
{
    const int half = t.halfSize;
    const auto* re = reinterpret_cast<const Vec*> (zRe);
    const auto* im = reinterpret_cast<const Vec*> (zIm);
    auto* leftRe = reinterpret_cast<Vec*> (halves);
    auto* leftIm = reinterpret_cast<Vec*> (halves + half);
    auto* rightRe = reinterpret_cast<Vec*> (halves + 2 * half);
    auto* rightIm = reinterpret_cast<Vec*> (halves + 3 * half);

    for (size_t r = 0; r < t.halfVectors.size(); ++r)
    {
        const int v = t.halfVectors[r], partner = t.partnerVector[(size_t) v];
        const Vec mr = partnerLanes (v, re[partner]), mi = -partnerLanes (v, im[partner]);
        leftRe[r] = re[v] + mr;
        leftIm[r] = im[v] + mi;
        rightRe[r] = im[v] - mi;
        rightIm[r] = mr - re[v];
    }

    for (const auto& f : t.separateFixups)
    {
        const float zr = zRe[f.position], zi = zIm[f.position], mr = zRe[f.other], mi = -zIm[f.other];
        halves[f.index] = zr + mr;
        halves[half + f.index] = zi + mi;
        halves[2 * half + f.index] = zi - mi;
        halves[3 * half + f.index] = mr - zr;
    }
}

/** The sums of h x for `group` vectors from v0 on, kept in registers over all the terms. */
template <typename Wide, int group>
inline void sumGroup (const StereoFft::HalfTerm* terms, int numTerms, float* halves, int half, int v0)
{
    Wide acc[4][(size_t) group];
    for (auto& part : acc)
        for (auto& value : part)
            value = Wide{} + 0.0f;

    for (int t = 0; t < numTerms; ++t)
    {
        auto at = [half, v0] (const float* p, int part)
        { return reinterpret_cast<const Wide*> (p + part * half) + v0; };
        const Wide *hlr = at (terms[t].h, 0), *hli = at (terms[t].h, 1), *hrr = at (terms[t].h, 2),
                   *hri = at (terms[t].h, 3);
        const Wide *xlr = at (terms[t].x, 0), *xli = at (terms[t].x, 1), *xrr = at (terms[t].x, 2),
                   *xri = at (terms[t].x, 3);
        for (int g = 0; g < group; ++g)
        {
            acc[0][g] += hlr[g] * xlr[g] - hli[g] * xli[g];
            acc[1][g] += hlr[g] * xli[g] + hli[g] * xlr[g];
            acc[2][g] += hrr[g] * xrr[g] - hri[g] * xri[g];
            acc[3][g] += hrr[g] * xri[g] + hri[g] * xrr[g];
        }
    }

    for (int part = 0; part < 4; ++part)
        for (int g = 0; g < group; ++g)
            reinterpret_cast<Wide*> (halves + part * half)[v0 + g] = acc[part][g];
}

template <typename Wide>
inline void sumHalves (const StereoFft::HalfTerm* terms, int numTerms, float* halves, int half)
{
    constexpr int width = (int) (sizeof (Wide) / sizeof (float));
    const int vectors = half / width;
    int v0 = 0;
    for (; v0 + 2 <= vectors; v0 += 2)
        sumGroup<Wide, 2> (terms, numTerms, halves, half, v0);
    for (; v0 < vectors; ++v0)
        sumGroup<Wide, 1> (terms, numTerms, halves, half, v0);
}

/** y = yl + i yr over all N bins, each vector from its own half-spectrum vector or its partner's. */
inline void combineChannels (const StereoFft::Tables& t, const float* halves, float* yRe, float* yIm)
{
    const int half = t.halfSize;
    const auto* leftRe = reinterpret_cast<const Vec*> (halves);
    const auto* leftIm = reinterpret_cast<const Vec*> (halves + half);
    const auto* rightRe = reinterpret_cast<const Vec*> (halves + 2 * half);
    const auto* rightIm = reinterpret_cast<const Vec*> (halves + 3 * half);
    auto* re = reinterpret_cast<Vec*> (yRe);
    auto* im = reinterpret_cast<Vec*> (yIm);

    for (int v = 0; v < t.columns; ++v)
    {
        const int source = t.combineSource[(size_t) v];
        if (source >= 0)
        {
            re[v] = leftRe[source] - rightIm[source];
            im[v] = leftIm[source] + rightRe[source];
        }
        else
        {
            // conj yl[N - k] + i conj yr[N - k]
            const int s = ~source;
            re[v] = partnerLanes (v, leftRe[s]) + partnerLanes (v, rightIm[s]);
            im[v] = partnerLanes (v, rightRe[s]) - partnerLanes (v, leftIm[s]);
        }
    }

    for (const auto& f : t.combineFixups)
    {
        const float sign = f.other != 0 ? -1.0f : 1.0f;
        const float lr = halves[f.index], li = sign * halves[half + f.index];
        const float rr = halves[2 * half + f.index], ri = sign * halves[3 * half + f.index];
        yRe[f.position] = lr - ri;
        yIm[f.position] = li + rr;
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

    static void separate (const StereoFft::Tables& t, const float* zRe, const float* zIm, float* halves)
    {
        separateChannels (t, zRe, zIm, halves);
    }

    static void sumOfProducts (const StereoFft::HalfTerm* terms, int numTerms, float* halves, int half)
    {
        sumHalves<SumVector> (terms, numTerms, halves, half);
    }

    static void combine (const StereoFft::Tables& t, const float* halves, float* yRe, float* yIm)
    {
        combineChannels (t, halves, yRe, yIm);
    }
};
