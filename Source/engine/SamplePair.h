#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

/** A left and a right value in double precision, worked on side by side: on x86-64 one SSE2
    register, so a stereo filter section costs the instructions of a mono one.
*/
struct SamplePair
{
#if defined(__SSE2__)
    __m128d v;

    static SamplePair of (double left, double right) noexcept
    {
        return { _mm_set_pd (right, left) };
    }
    static SamplePair both (double value) noexcept
    {
        return { _mm_set1_pd (value) };
    }
    double left() const noexcept
    {
        return _mm_cvtsd_f64 (v);
    }
    double right() const noexcept
    {
        return _mm_cvtsd_f64 (_mm_unpackhi_pd (v, v));
    }

    friend SamplePair operator+ (SamplePair a, SamplePair b) noexcept
    {
        return { _mm_add_pd (a.v, b.v) };
    }
    friend SamplePair operator- (SamplePair a, SamplePair b) noexcept
    {
        return { _mm_sub_pd (a.v, b.v) };
    }
    friend SamplePair operator* (SamplePair a, SamplePair b) noexcept
    {
        return { _mm_mul_pd (a.v, b.v) };
    }
#else
    double l, r;

    static SamplePair of (double left, double right) noexcept
    {
        return { left, right };
    }
    static SamplePair both (double value) noexcept
    {
        return { value, value };
    }
    double left() const noexcept
    {
        return l;
    }
    double right() const noexcept
    {
        return r;
    }

    friend SamplePair operator+ (SamplePair a, SamplePair b) noexcept
    {
        return { a.l + b.l, a.r + b.r };
    }
    friend SamplePair operator- (SamplePair a, SamplePair b) noexcept
    {
        return { a.l - b.l, a.r - b.r };
    }
    friend SamplePair operator* (SamplePair a, SamplePair b) noexcept
    {
        return { a.l * b.l, a.r * b.r };
    }
#endif

    static SamplePair zero() noexcept
    {
        return both (0.0);
    }

    bool isFinite() const noexcept
    {
        return std::isfinite (left()) && std::isfinite (right());
    }
};
