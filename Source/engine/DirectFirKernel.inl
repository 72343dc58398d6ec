// The body of one DirectFir kernel, included once for each vector unit by DirectFir.cpp inside a
// namespace that defines `Vector`, `width`, `zero`, `broadcast`, `load`, `store`, `add` and
// `multiplyAdd`, with the matching target options in force.
//
// Outputs are computed in vectors of consecutive samples, up to four vectors at a time, each with two
// accumulators (even and odd taps), so that eight independent chains of multiply-adds keep the
// arithmetic units busy. A lane's result depends only on its own inputs and the taps, summed in a
// fixed order, so where a block starts or ends never changes a sample. The last, partial vector of a
// block is computed whole from the read-ahead samples and only its valid lanes are kept.

template <int vectors>
inline void filterGroup (const float* taps, int numTaps, const float* x, float* y, int valid)
{
    Vector even[(size_t) vectors], odd[(size_t) vectors];
    for (int v = 0; v < vectors; ++v)
    {
        even[v] = zero();
        odd[v] = zero();
    }

    for (int k = 0; k < numTaps; k += 2)
    {
        const Vector tapEven = broadcast (taps + k);
        const Vector tapOdd = broadcast (taps + k + 1);
        const float* past = x - k;
        for (int v = 0; v < vectors; ++v)
        {
            even[v] = multiplyAdd (tapEven, load (past + v * width), even[v]);
            odd[v] = multiplyAdd (tapOdd, load (past + v * width - 1), odd[v]);
        }
    }

    for (int v = 0; v < vectors; ++v)
    {
        const Vector sum = add (even[v], odd[v]);
        const int lanes = valid - v * width;
        if (lanes >= width)
        {
            store (y + v * width, sum);
        }
        else
        {
            alignas (64) float lanesOut[width];
            store (lanesOut, sum);
            for (int lane = 0; lane < width; ++lane)
                if (lane < lanes)
                    y[v * width + lane] = lanesOut[lane];
        }
    }
}

inline void filterBlock (const float* taps, int numTaps, const float* x, float* y, int numSamples)
{
    constexpr int group = 4 * width;
    int i = 0;
    for (; i + group <= numSamples; i += group)
        filterGroup<4> (taps, numTaps, x + i, y + i, group);

    const int left = numSamples - i;
    switch ((left + width - 1) / width)
    {
        case 1:
            filterGroup<1> (taps, numTaps, x + i, y + i, left);
            break;
        case 2:
            filterGroup<2> (taps, numTaps, x + i, y + i, left);
            break;
        case 3:
            filterGroup<3> (taps, numTaps, x + i, y + i, left);
            break;
        case 4:
            filterGroup<4> (taps, numTaps, x + i, y + i, left);
            break;
        default:
            break;
    }
}
