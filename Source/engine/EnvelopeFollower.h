#pragma once

#include <atomic>
#include <cmath>

/** Peak-style envelope of a non-negative input: it moves toward the input with the attack
    coefficient while the input is above it, and with the release coefficient otherwise.

    The coefficients may be changed from any thread; the audio thread takes them up once per block
    (`loadCoefficients`) and runs `process` per sample.
*/
class EnvelopeFollower
{
public:
    /** The coefficient that covers 99 % of a step in the given time. */
    static float coefficientFor (float milliseconds, float sampleRate) noexcept
    {
        constexpr float logOfOnePercent = -4.6051702f;
        return std::exp (logOfOnePercent / (milliseconds * sampleRate * 0.001f));
    }

    EnvelopeFollower() noexcept = default;

    /** Zeroes the envelope and sets the coefficients for a sample rate and two times in ms. */
    void prepare (float rate, float attackMs, float releaseMs) noexcept
    {
        sampleRate = rate;
        envelope = 0.0f;
        setTimes (attackMs, releaseMs);
    }

    void setTimes (float attackMs, float releaseMs) noexcept
    {
        attack.store (coefficientFor (attackMs, sampleRate), std::memory_order_relaxed);
        release.store (coefficientFor (releaseMs, sampleRate), std::memory_order_relaxed);
    }

    struct Coefficients
    {
        float attack, release;
    };

    Coefficients loadCoefficients() const noexcept
    {
        return { attack.load (std::memory_order_relaxed), release.load (std::memory_order_relaxed) };
    }

    inline float process (float x, Coefficients c) noexcept
    {
        const float coefficient = x > envelope ? c.attack : c.release;
        envelope = x + (envelope - x) * coefficient;
        return envelope;
    }

    /** Audio thread: for code that runs several followers side by side with the same arithmetic
        as `process` and hands the envelope back afterwards.
    */
    void setEnvelope (float value) noexcept { envelope = value; }

    /** Audio thread: starts again from silence. */
    void reset() noexcept { envelope = 0.0f; }

    /** Audio thread: clears a value that is not finite, which would otherwise stay for good. */
    void resetIfNotFinite() noexcept
    {
        if (! std::isfinite (envelope))
            envelope = 0.0f;
    }

    float getEnvelope() const noexcept { return envelope; }
    float getSampleRate() const noexcept { return sampleRate; }

private:
    float envelope = 0.0f; // audio thread
    std::atomic<float> attack{ 0.0f }, release{ 0.0f };
    float sampleRate = 44100.0f;
};
