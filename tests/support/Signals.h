#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <functional>
#include <vector>

/** Signals and measurements shared by the audio tests. */
namespace signals
{
    /** Frequencies spread evenly on a log scale from `low` to `high`, both included. */
    std::vector<double> logSpacedFrequencies (double low, double high, int count);

    /** The magnitude (linear) of a sampled response at a frequency, by a direct Fourier sum in double precision. */
    double magnitudeAt (const std::vector<float>& response, double frequency, double sampleRate);

    /** Runs a unit impulse through `process` in blocks of `blockSize` and returns both channels. */
    struct StereoResponse
    {
        std::vector<float> left, right;
    };
    StereoResponse impulseResponse (const std::function<void (juce::AudioBuffer<float>&)>& process, int length,
                                    int blockSize = 512);

    /** A stereo sine block of the given length, starting at phase 0 (left and right equal). */
    juce::AudioBuffer<float> sine (double frequency, double sampleRate, int numSamples, float amplitude,
                                   int channels = 2);

    /** Uniform noise in [-amplitude, amplitude] from a seeded generator. */
    void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float amplitude = 0.5f);

    bool allFinite (const juce::AudioBuffer<float>& buffer);
    float peakOf (const juce::AudioBuffer<float>& buffer);
    double toDb (double linear);
} // namespace signals

/** The RBJ cookbook biquads, designed in double precision and evaluated analytically: the
    independent reference the engine's sections are measured against.
*/
namespace textbook
{
    struct Biquad
    {
        double b0, b1, b2, a0, a1, a2;
        double magnitudeAt (double frequency, double sampleRate) const;
    };

    Biquad peak (double sampleRate, double frequency, double q, double gainDb);
    Biquad lowShelf (double sampleRate, double frequency, double q, double gainDb);
    Biquad highShelf (double sampleRate, double frequency, double q, double gainDb);
    Biquad lowPass (double sampleRate, double frequency, double q);
    Biquad highPass (double sampleRate, double frequency, double q);
    Biquad bandPass (double sampleRate, double frequency, double q); // 0 dB at the centre
} // namespace textbook
