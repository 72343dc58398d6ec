#include "Signals.h"

#include <cmath>
#include <complex>

namespace signals
{
    std::vector<double> logSpacedFrequencies (double low, double high, int count)
    {
        std::vector<double> result;
        for (int i = 0; i < count; ++i)
            result.push_back (low * std::pow (high / low, (double) i / (double) (count - 1)));
        return result;
    }

    double magnitudeAt (const std::vector<float>& response, double frequency, double sampleRate)
    {
        const double w = 2.0 * juce::MathConstants<double>::pi * frequency / sampleRate;
        const std::complex<double> step (std::cos (w), -std::sin (w));
        std::complex<double> phasor (1.0, 0.0), sum (0.0, 0.0);

        for (size_t n = 0; n < response.size(); ++n)
        {
            sum += (double) response[n] * phasor;
            phasor *= step;
            if ((n & 1023) == 0)
                phasor /= std::abs (phasor); // keep the rotation exact over long sums
        }

        return std::abs (sum);
    }

    StereoResponse impulseResponse (const std::function<void (juce::AudioBuffer<float>&)>& process, int length,
                                    int blockSize)
    {
        StereoResponse result;
        result.left.reserve ((size_t) length);
        result.right.reserve ((size_t) length);

        juce::AudioBuffer<float> block (2, blockSize);
        for (int start = 0; start < length; start += blockSize)
        {
            const int n = juce::jmin (blockSize, length - start);
            block.setSize (2, n, false, false, true);
            block.clear();
            if (start == 0)
            {
                block.setSample (0, 0, 1.0f);
                block.setSample (1, 0, 1.0f);
            }

            process (block);

            for (int i = 0; i < n; ++i)
            {
                result.left.push_back (block.getSample (0, i));
                result.right.push_back (block.getSample (1, i));
            }
        }

        return result;
    }

    juce::AudioBuffer<float> sine (double frequency, double sampleRate, int numSamples, float amplitude, int channels)
    {
        juce::AudioBuffer<float> buffer (channels, numSamples);
        for (int i = 0; i < numSamples; ++i)
        {
            const auto value =
                (float) (amplitude * std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / sampleRate));
            for (int c = 0; c < channels; ++c)
                buffer.setSample (c, i, value);
        }
        return buffer;
    }

    void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float amplitude)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                buffer.setSample (c, i, amplitude * (2.0f * random.nextFloat() - 1.0f));
    }

    bool allFinite (const juce::AudioBuffer<float>& buffer)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
                if (! std::isfinite (buffer.getSample (c, i)))
                    return false;
        return true;
    }

    float peakOf (const juce::AudioBuffer<float>& buffer)
    {
        float peak = 0.0f;
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            peak = juce::jmax (peak, buffer.getMagnitude (c, 0, buffer.getNumSamples()));
        return peak;
    }

    double toDb (double linear)
    {
        return 20.0 * std::log10 (juce::jmax (linear, 1.0e-30));
    }
} // namespace signals

namespace textbook
{
    namespace
    {
        constexpr double pi = 3.14159265358979323846;

        double omega (double sampleRate, double frequency)
        {
            return 2.0 * pi * frequency / sampleRate;
        }
    } // namespace

    double Biquad::magnitudeAt (double frequency, double sampleRate) const
    {
        const std::complex<double> z1 = std::polar (1.0, -omega (sampleRate, frequency));
        const std::complex<double> z2 = z1 * z1;
        return std::abs ((b0 + b1 * z1 + b2 * z2) / (a0 + a1 * z1 + a2 * z2));
    }

    Biquad peak (double fs, double f0, double q, double gainDb)
    {
        const double A = std::pow (10.0, gainDb / 40.0), w = omega (fs, f0), alpha = std::sin (w) / (2.0 * q);
        return { 1 + alpha * A, -2 * std::cos (w), 1 - alpha * A, 1 + alpha / A, -2 * std::cos (w), 1 - alpha / A };
    }

    Biquad lowShelf (double fs, double f0, double q, double gainDb)
    {
        const double A = std::pow (10.0, gainDb / 40.0), w = omega (fs, f0), c = std::cos (w);
        const double twoSqrtAAlpha = 2.0 * std::sqrt (A) * std::sin (w) / (2.0 * q);
        return { A * ((A + 1) - (A - 1) * c + twoSqrtAAlpha),
                 2 * A * ((A - 1) - (A + 1) * c),
                 A * ((A + 1) - (A - 1) * c - twoSqrtAAlpha),
                 (A + 1) + (A - 1) * c + twoSqrtAAlpha,
                 -2 * ((A - 1) + (A + 1) * c),
                 (A + 1) + (A - 1) * c - twoSqrtAAlpha };
    }

    Biquad highShelf (double fs, double f0, double q, double gainDb)
    {
        const double A = std::pow (10.0, gainDb / 40.0), w = omega (fs, f0), c = std::cos (w);
        const double twoSqrtAAlpha = 2.0 * std::sqrt (A) * std::sin (w) / (2.0 * q);
        return { A * ((A + 1) + (A - 1) * c + twoSqrtAAlpha),
                 -2 * A * ((A - 1) + (A + 1) * c),
                 A * ((A + 1) + (A - 1) * c - twoSqrtAAlpha),
                 (A + 1) - (A - 1) * c + twoSqrtAAlpha,
                 2 * ((A - 1) - (A + 1) * c),
                 (A + 1) - (A - 1) * c - twoSqrtAAlpha };
    }

    Biquad lowPass (double fs, double f0, double q)
    {
        const double w = omega (fs, f0), c = std::cos (w), alpha = std::sin (w) / (2.0 * q);
        return { (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha };
    }

    Biquad highPass (double fs, double f0, double q)
    {
        const double w = omega (fs, f0), c = std::cos (w), alpha = std::sin (w) / (2.0 * q);
        return { (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha };
    }

    Biquad bandPass (double fs, double f0, double q)
    {
        const double w = omega (fs, f0), c = std::cos (w), alpha = std::sin (w) / (2.0 * q);
        return { alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha };
    }
} // namespace textbook
