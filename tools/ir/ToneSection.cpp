#include "ToneSection.h"

#include <cmath>

namespace
{
    constexpr double pi = 3.14159265358979323846;

    double angularFrequency (double frequency, double sampleRate)
    {
        return 2.0 * pi * frequency / sampleRate;
    }
} // namespace

ToneSection::ToneSection (double b0_, double b1_, double b2_, double a0, double a1_, double a2_) noexcept
    : b0 (b0_ / a0)
    , b1 (b1_ / a0)
    , b2 (b2_ / a0)
    , a1 (a1_ / a0)
    , a2 (a2_ / a0)
{
}

ToneSection ToneSection::peak (double frequency, double q, double gainDb, double sampleRate)
{
    const double a = std::pow (10.0, gainDb / 40.0);
    const double w = angularFrequency (frequency, sampleRate);
    const double alpha = std::sin (w) / (2.0 * q);
    const double c = std::cos (w);
    return { 1.0 + alpha * a, -2.0 * c, 1.0 - alpha * a, 1.0 + alpha / a, -2.0 * c, 1.0 - alpha / a };
}

ToneSection ToneSection::lowShelf (double frequency, double q, double gainDb, double sampleRate)
{
    const double a = std::pow (10.0, gainDb / 40.0);
    const double w = angularFrequency (frequency, sampleRate);
    const double c = std::cos (w);
    const double twoRootAAlpha = 2.0 * std::sqrt (a) * std::sin (w) / (2.0 * q);
    return { a * ((a + 1.0) - (a - 1.0) * c + twoRootAAlpha),
             2.0 * a * ((a - 1.0) - (a + 1.0) * c),
             a * ((a + 1.0) - (a - 1.0) * c - twoRootAAlpha),
             (a + 1.0) + (a - 1.0) * c + twoRootAAlpha,
             -2.0 * ((a - 1.0) + (a + 1.0) * c),
             (a + 1.0) + (a - 1.0) * c - twoRootAAlpha };
}

ToneSection ToneSection::highShelf (double frequency, double q, double gainDb, double sampleRate)
{
    const double a = std::pow (10.0, gainDb / 40.0);
    const double w = angularFrequency (frequency, sampleRate);
    const double c = std::cos (w);
    const double twoRootAAlpha = 2.0 * std::sqrt (a) * std::sin (w) / (2.0 * q);
    return { a * ((a + 1.0) + (a - 1.0) * c + twoRootAAlpha),
             -2.0 * a * ((a - 1.0) + (a + 1.0) * c),
             a * ((a + 1.0) + (a - 1.0) * c - twoRootAAlpha),
             (a + 1.0) - (a - 1.0) * c + twoRootAAlpha,
             2.0 * ((a - 1.0) - (a + 1.0) * c),
             (a + 1.0) - (a - 1.0) * c - twoRootAAlpha };
}

ToneSection ToneSection::lowPass (double frequency, double q, double sampleRate)
{
    const double w = angularFrequency (frequency, sampleRate);
    const double alpha = std::sin (w) / (2.0 * q);
    const double c = std::cos (w);
    return { (1.0 - c) / 2.0, 1.0 - c, (1.0 - c) / 2.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha };
}

double ToneSection::process (double x) noexcept
{
    const double y = b0 * x + s1;
    s1 = b1 * x - a1 * y + s2;
    s2 = b2 * x - a2 * y;
    return y;
}

std::vector<double> ToneSection::impulseResponse (std::vector<ToneSection> chain, int numSamples)
{
    std::vector<double> response;
    response.reserve ((size_t) numSamples);

    for (int n = 0; n < numSamples; ++n)
    {
        double sample = n == 0 ? 1.0 : 0.0;

        for (auto& section : chain)
            sample = section.process (sample);

        response.push_back (sample);
    }

    return response;
}
