#include "BandLimitedResampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

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
    using Complex = std::complex<double>;

    /** In-place radix-2 FFT of a power-of-two length; `inverse` conjugates the kernel and divides by N. */
    void transform (std::vector<Complex>& data, bool inverse)
    {
        const size_t n = data.size();
        for (size_t i = 1, j = 0; i < n; ++i)
        {
            size_t bit = n >> 1;
            for (; (j & bit) != 0; bit >>= 1)
                j ^= bit;
            j ^= bit;
            if (i < j)
                std::swap (data[i], data[j]);
        }

        for (size_t length = 2; length <= n; length <<= 1)
        {
            const double angle = (inverse ? 2.0 : -2.0) * pi / (double) length;
            const Complex step (std::cos (angle), std::sin (angle));
            for (size_t start = 0; start < n; start += length)
            {
                Complex w (1.0, 0.0);
                for (size_t k = 0; k < length / 2; ++k)
                {
                    const Complex a = data[start + k], b = data[start + k + length / 2] * w;
                    data[start + k] = a + b;
                    data[start + k + length / 2] = a - b;
                    w *= step;
                }
            }
        }

        if (inverse)
            for (auto& value : data)
                value /= (double) n;
    }

    /** The minimum-phase response with the magnitude of `response`, by the folded real cepstrum. */
    std::vector<double> minimumPhase (const std::vector<double>& response, size_t length)
    {
        size_t size = 2048;
        while (size < 4 * response.size())
            size <<= 1;

        std::vector<Complex> spectrum (size);
        std::copy (response.begin(), response.end(), spectrum.begin());
        transform (spectrum, false);

        double peak = 0.0;
        for (const auto& value : spectrum)
            peak = std::max (peak, std::abs (value));
        const double floor = std::max (peak * 1.0e-7, 1.0e-30);
        for (auto& value : spectrum)
            value = std::log (std::max (std::abs (value), floor));

        transform (spectrum, true); // the real cepstrum
        for (size_t i = 1; i < size / 2; ++i)
        {
            spectrum[i] = 2.0 * spectrum[i].real();
            spectrum[size - i] = 0.0;
        }
        spectrum[0] = spectrum[0].real();
        spectrum[size / 2] = spectrum[size / 2].real();

        transform (spectrum, false);
        for (auto& value : spectrum)
            value = std::exp (value);
        transform (spectrum, true);

        std::vector<double> result (length);
        for (size_t i = 0; i < length && i < size; ++i)
            result[i] = spectrum[i].real();
        return result;
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
    // The interpolation reaches `before` target samples ahead of time zero.
    const int before = (int) std::ceil (halfWidth / step);
    const int length = (int) std::ceil ((sourceLength - 1 + halfWidth) / step) + 1;

    std::vector<double> interpolated ((size_t) (before + length));
    const double angleStep = pi * cutoff;
    const double cosStep = std::cos (angleStep), sinStep = std::sin (angleStep);

    for (int m = -before; m < length; ++m)
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

        interpolated[(size_t) (m + before)] = gain * sum;
    }

    // The band-limited response starts before time zero. Cutting that part off would change its
    // level and tilt its top end; its minimum-phase equivalent has the same magnitude and is causal.
    // (The recorded responses come from minimum-phase sections, so little else changes.)
    const auto causal = minimumPhase (interpolated, interpolated.size());
    return std::vector<float> (causal.begin(), causal.end());
}
