#include "CookbookResponse.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
    constexpr double pi = 3.14159265358979323846;
    constexpr double highestDesignRatio = 0.49;

    /** b0, b1, b2, a0, a1, a2 of a filter, straight from the cookbook. */
    std::array<double, 6> design (const EqualiserText::Filter& filter, double sampleRate)
    {
        const double f0 = std::min (filter.frequency, highestDesignRatio * sampleRate);
        const double w0 = 2.0 * pi * f0 / sampleRate;
        const double cosW0 = std::cos (w0);
        const double alpha = std::sin (w0) / (2.0 * filter.q);
        const double a = std::pow (10.0, filter.gainDb / 40.0);
        const double twoRootAAlpha = 2.0 * std::sqrt (a) * alpha;

        using Kind = EqualiserText::FilterKind;
        switch (filter.kind)
        {
            case Kind::peak:
                return {
                    1.0 + alpha * a, -2.0 * cosW0, 1.0 - alpha * a, 1.0 + alpha / a, -2.0 * cosW0, 1.0 - alpha / a
                };
            case Kind::lowShelf:
                return { a * ((a + 1.0) - (a - 1.0) * cosW0 + twoRootAAlpha),
                         2.0 * a * ((a - 1.0) - (a + 1.0) * cosW0),
                         a * ((a + 1.0) - (a - 1.0) * cosW0 - twoRootAAlpha),
                         (a + 1.0) + (a - 1.0) * cosW0 + twoRootAAlpha,
                         -2.0 * ((a - 1.0) + (a + 1.0) * cosW0),
                         (a + 1.0) + (a - 1.0) * cosW0 - twoRootAAlpha };
            case Kind::highShelf:
                return { a * ((a + 1.0) + (a - 1.0) * cosW0 + twoRootAAlpha),
                         -2.0 * a * ((a - 1.0) + (a + 1.0) * cosW0),
                         a * ((a + 1.0) + (a - 1.0) * cosW0 - twoRootAAlpha),
                         (a + 1.0) - (a - 1.0) * cosW0 + twoRootAAlpha,
                         2.0 * ((a - 1.0) - (a + 1.0) * cosW0),
                         (a + 1.0) - (a - 1.0) * cosW0 - twoRootAAlpha };
            case Kind::lowPass:
                return {
                    (1.0 - cosW0) / 2.0, 1.0 - cosW0, (1.0 - cosW0) / 2.0, 1.0 + alpha, -2.0 * cosW0, 1.0 - alpha
                };
            case Kind::highPass:
                return { (1.0 + cosW0) / 2.0, -(1.0 + cosW0), (1.0 + cosW0) / 2.0,
                         1.0 + alpha,         -2.0 * cosW0,   1.0 - alpha };
        }
        return { 1.0, 0.0, 0.0, 1.0, 0.0, 0.0 };
    }

    double squaredMagnitude (double c0, double c1, double c2, double w)
    {
        const double re = c0 + c1 * std::cos (w) + c2 * std::cos (2.0 * w);
        const double im = -(c1 * std::sin (w) + c2 * std::sin (2.0 * w));
        return re * re + im * im;
    }
} // namespace

double CookbookResponse::filterDecibels (const EqualiserText::Filter& filter, double frequency, double sampleRate)
{
    const auto c = design (filter, sampleRate);
    const double w = 2.0 * pi * frequency / sampleRate;
    const double numerator = squaredMagnitude (c[0], c[1], c[2], w);
    const double denominator = squaredMagnitude (c[3], c[4], c[5], w);
    if (! (numerator > 0.0) || ! (denominator > 0.0))
        return floorDecibels;
    return std::max (floorDecibels, 10.0 * std::log10 (numerator / denominator));
}

std::vector<double> CookbookResponse::fileDecibels (const EqualiserText::Result& file,
                                                    const std::vector<double>& frequencies, double sampleRate)
{
    std::vector<double> decibels (frequencies.size(), file.preampDb);
    for (const auto& filter : file.filters)
        for (size_t i = 0; i < frequencies.size(); ++i)
            decibels[i] += filterDecibels (filter, frequencies[i], sampleRate);

    for (auto& level : decibels)
        level = std::max (level, floorDecibels);
    return decibels;
}
