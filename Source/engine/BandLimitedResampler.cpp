#include "BandLimitedResampler.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
    constexpr double pi = 3.14159265358979323846;
    constexpr int windowPoints = 4096;

    double besselI0 (double x)
    {
        double sum = 1.0, term = 1.0;
        for (int k = 1; k < 60; ++k)
        {
            term *= (x / (2.0 * k)) * (x / (2.0 * k));
            sum += term;
            if (term < sum * 1.0e-17)
                break;
        }
        return sum;
    }

    /** The Kaiser window over [0, 1] of its half, tabulated. */
    const std::array<double, windowPoints + 2>& kaiserTable()
    {
        static const auto table = []
        {
            std::array<double, windowPoints + 2> t{};
            const double norm = besselI0 (BandLimitedResampler::kaiserBeta);
            for (int i = 0; i <= windowPoints; ++i)
            {
                const double u = (double) i / windowPoints;
                t[(size_t) i] =
                    besselI0 (BandLimitedResampler::kaiserBeta * std::sqrt (std::max (0.0, 1.0 - u * u))) / norm;
            }
            t[windowPoints + 1] = 0.0;
            return t;
        }();
        return table;
    }

    double kaiser (const std::array<double, windowPoints + 2>& table, double u)
    {
        const double position = std::abs (u) * windowPoints;
        if (position >= windowPoints)
            return 0.0;
        const int i = (int) position;
        const double fraction = position - i;
        return table[(size_t) i] + fraction * (table[(size_t) i + 1] - table[(size_t) i]);
    }
} // namespace

std::vector<float> BandLimitedResampler::resample (const std::vector<float>& source, double sourceRate,
                                                   double targetRate)
{
    if (source.empty() || ! (sourceRate > 0.0) || ! (targetRate > 0.0) || sourceRate == targetRate)
        return source;

    const auto& table = kaiserTable();
    const double step = sourceRate / targetRate; // source samples per target sample
    const double cutoff = std::min (1.0, targetRate / sourceRate);
    const double halfWidth = zeroCrossings / cutoff; // in source samples
    // Each target sample stands for `step` source samples' worth of time; the sinc's own height at
    // a lower cutoff is `cutoff`.
    const double gain = step * cutoff;
    const int sourceLength = (int) source.size();
    const int length = (int) std::ceil ((sourceLength - 1 + halfWidth) / step) + 1;

    std::vector<float> result ((size_t) length);
    const double angleStep = pi * cutoff;
    const double cosStep = std::cos (angleStep), sinStep = std::sin (angleStep);

    for (int m = 0; m < length; ++m)
    {
        const double t = m * step;
        const int first = std::max (0, (int) std::ceil (t - halfWidth));
        const int last = std::min (sourceLength - 1, (int) std::floor (t + halfWidth));
        if (first > last)
            continue;

        // sin (pi * cutoff * (t - k)) for k = first, first + 1, ... by rotation.
        const double startAngle = angleStep * (t - first);
        double s = std::sin (startAngle), c = std::cos (startAngle);
        double sum = 0.0;

        for (int k = first; k <= last; ++k)
        {
            const double distance = t - k;
            const double x = angleStep * distance;
            const double sinc = std::abs (x) < 1.0e-9 ? 1.0 : s / x;
            sum += source[(size_t) k] * sinc * kaiser (table, distance / halfWidth);

            const double nextS = s * cosStep - c * sinStep;
            c = c * cosStep + s * sinStep;
            s = nextS;
        }

        result[(size_t) m] = (float) (gain * sum);
    }

    return result;
}
