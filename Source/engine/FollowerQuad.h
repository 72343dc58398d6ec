#pragma once

#include "EnvelopeFollower.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

/** Four envelope followers run side by side (the input and output meters of both channels), with
    exactly the arithmetic of EnvelopeFollower::process in each lane. Loaded from the followers at
    the start of a block and handed back at its end.
*/
struct FollowerQuad
{
    static FollowerQuad load (EnvelopeFollower* const (&followers)[4]) noexcept
    {
        float envelopes[4], attacks[4], releases[4];
        for (int i = 0; i < 4; ++i)
        {
            const auto c = followers[i]->loadCoefficients();
            envelopes[i] = followers[i]->getEnvelope();
            attacks[i] = c.attack;
            releases[i] = c.release;
        }
        return { fromArray (envelopes), fromArray (attacks), fromArray (releases) };
    }

    void store (EnvelopeFollower* const (&followers)[4], float (&latest)[4]) const noexcept
    {
        toArray (envelope, latest);
        for (int i = 0; i < 4; ++i)
            followers[i]->setEnvelope (latest[i]);
    }

#if defined(__SSE2__)
    using Lanes = __m128;

    /** Follows |a|, |b|, |c|, |d|; returns the sum of the last two envelopes. */
    inline float process (float a, float b, float c, float d) noexcept
    {
        const Lanes x = _mm_andnot_ps (_mm_set1_ps (-0.0f), _mm_set_ps (d, c, b, a));
        const Lanes rising = _mm_cmpgt_ps (x, envelope);
        const Lanes coefficient = _mm_or_ps (_mm_and_ps (rising, attack), _mm_andnot_ps (rising, release));
        envelope = _mm_add_ps (x, _mm_mul_ps (_mm_sub_ps (envelope, x), coefficient));
        const Lanes upper = _mm_movehl_ps (envelope, envelope);
        return _mm_cvtss_f32 (_mm_add_ss (upper, _mm_shuffle_ps (upper, upper, 1)));
    }

    static Lanes fromArray (const float (&v)[4]) noexcept
    {
        return _mm_loadu_ps (v);
    }
    static void toArray (Lanes lanes, float (&v)[4]) noexcept
    {
        _mm_storeu_ps (v, lanes);
    }
#else
    struct Lanes
    {
        float v[4];
    };

    inline float process (float a, float b, float c, float d) noexcept
    {
        const float x[4] = { std::abs (a), std::abs (b), std::abs (c), std::abs (d) };
        for (int i = 0; i < 4; ++i)
        {
            const float coefficient = x[i] > envelope.v[i] ? attack.v[i] : release.v[i];
            envelope.v[i] = x[i] + (envelope.v[i] - x[i]) * coefficient;
        }
        return envelope.v[2] + envelope.v[3];
    }

    static Lanes fromArray (const float (&v)[4]) noexcept
    {
        return { { v[0], v[1], v[2], v[3] } };
    }
    static void toArray (Lanes lanes, float (&v)[4]) noexcept
    {
        for (int i = 0; i < 4; ++i)
            v[i] = lanes.v[i];
    }
#endif

    Lanes envelope, attack, release;
};
