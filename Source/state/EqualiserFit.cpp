#include "EqualiserFit.h"

#include "CookbookResponse.h"

#include "engine/BandType.h"
#include "engine/StereoIIRFilter.h"
#include "engine/TrellaDSP.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace
{
    constexpr int numBands = TrellaDSP::numBands;

    // The values searched, in this order: per band log2 of the frequency, the gain in dB and log2
    // of Q; the output level in dB; log2 of the high-pass and of the low-pass frequency.
    constexpr int numValues = 3 * numBands + 3;
    constexpr int levelValue = 3 * numBands, hiPassValue = levelValue + 1, loPassValue = levelValue + 2;
    constexpr int frequencyValue (int band)
    {
        return 3 * band;
    }
    constexpr int gainValue (int band)
    {
        return 3 * band + 1;
    }
    constexpr int qValue (int band)
    {
        return 3 * band + 2;
    }

    // Sections: the four bands, then the high-pass and the low-pass.
    constexpr int numSections = numBands + 2;
    constexpr int hiPassSection = numBands, loPassSection = numBands + 1;

    using Values = std::array<double, numValues>;

    /** One setting as the search sees it: the discrete choices and the continuous values. */
    struct Candidate
    {
        int firstType = BandType::LowShelf; // band 1: LowShelf or Peak
        int lastType = BandType::HighShelf; // band 4: HighShelf or Peak
        bool hiPass = false, loPass = false;
        Values values{};

        int bandType (int band) const
        {
            return band == 0 ? firstType : (band == numBands - 1 ? lastType : (int) BandType::Peak);
        }

        bool isFree (int value) const
        {
            return value < hiPassValue || (value == hiPassValue && hiPass) || (value == loPassValue && loPass);
        }

        bool sectionRuns (int section) const
        {
            return section < numBands || (section == hiPassSection && hiPass) || (section == loPassSection && loPass);
        }
    };

    struct Range
    {
        double low, high;
    };

    const double log2Lowest = std::log2 (EqualiserFit::lowestFrequency);
    const double log2Highest = std::log2 (EqualiserFit::highestFrequency);

    /** The range of each value. The pass filters stay just inside the frequencies at which the
        engine leaves them out, so that a pass filter in the search is one that runs.
    */
    Range rangeOf (int value)
    {
        if (value == levelValue)
            return { -EqualiserFit::largestLevelDb, EqualiserFit::largestLevelDb };
        if (value == hiPassValue)
            return { std::log2 (TrellaDSP::hiPassInertFrequency + 0.01), log2Highest };
        if (value == loPassValue)
            return { log2Lowest, std::log2 (TrellaDSP::loPassInertFrequency - 0.01) };
        switch (value % 3)
        {
            case 0:
                return { log2Lowest, log2Highest };
            case 1:
                return { -EqualiserFit::largestGainDb, EqualiserFit::largestGainDb };
            default:
                return { std::log2 (EqualiserFit::smallestQ), std::log2 (EqualiserFit::largestQ) };
        }
    }

    double limited (int value, double x)
    {
        const auto range = rangeOf (value);
        return std::clamp (x, range.low, range.high);
    }

    /** A band's default place when nothing seeds it: the engine's initial frequencies. */
    double defaultFrequency (int band)
    {
        return TrellaDSP::DefaultParameters.band[band].frequency;
    }

    double mean (const std::vector<double>& values)
    {
        double sum = 0.0;
        for (auto v : values)
            sum += v;
        return values.empty() ? 0.0 : sum / (double) values.size();
    }

    //==============================================================================
    /** The target and everything about the grid that the search computes once. */
    class Problem
    {
    public:
        explicit Problem (const EqualiserFit::Target& t)
            : target (t)
        {
            const double pi = 3.14159265358979323846;
            for (auto f : target.frequencies)
            {
                const double w = 2.0 * pi * f / target.sampleRate;
                trig.push_back ({ std::cos (w), std::sin (w), std::cos (2.0 * w), std::sin (2.0 * w) });
            }
        }

        size_t size() const noexcept { return target.frequencies.size(); }
        double frequency (size_t i) const { return target.frequencies[i]; }
        double targetAt (size_t i) const { return target.decibels[i]; }

        /** The squared magnitude of one section over the grid (kept within 1e-30 to 1e30). Ratios
            rather than decibels, so that a whole chain or a difference costs one logarithm a point.
        */
        void sectionPower (const Candidate& c, const Values& x, int section, double* out) const
        {
            const auto [b0, b1, b2, a1, a2] = designSection (c, x, section);
            for (size_t i = 0; i < trig.size(); ++i)
            {
                const auto& [c1, s1, c2, s2] = trig[i];
                const double numRe = b0 + b1 * c1 + b2 * c2, numIm = b1 * s1 + b2 * s2;
                const double denRe = 1.0 + a1 * c1 + a2 * c2, denIm = a1 * s1 + a2 * s2;
                const double ratio = (numRe * numRe + numIm * numIm) / (denRe * denRe + denIm * denIm);
                out[i] = std::clamp (ratio, 1.0e-30, 1.0e30);
            }
        }

        /** The whole chain over the grid, in dB. */
        void chainDecibels (const Candidate& c, const Values& x, std::vector<double>& out) const
        {
            std::vector<double> section (size());
            std::vector<double> power (size(), 1.0);
            for (int s = 0; s < numSections; ++s)
            {
                if (! c.sectionRuns (s))
                    continue;
                sectionPower (c, x, s, section.data());
                for (size_t i = 0; i < size(); ++i)
                    power[i] *= section[i];
            }

            out.resize (size());
            for (size_t i = 0; i < size(); ++i)
                out[i] = x[levelValue] + 10.0 * std::log10 (power[i]);
        }

        double cost (const Candidate& c, const Values& x) const
        {
            std::vector<double> residual;
            return residuals (c, x, residual);
        }

        /** How long a refinement goes on: at most so many steps, and until a step gains less than
            this fraction of the cost.
        */
        struct Effort
        {
            int steps;
            double smallestGain;
        };
        static constexpr Effort quickly{ 30, 1.0e-4 }, thoroughly{ 400, 1.0e-12 };

        /** Levenberg-Marquardt over the free values, each kept within its range. */
        void refine (Candidate& c, Effort effort = quickly) const;

    private:
        /** The section's coefficients as the engine designs them for the (single-precision) setting. */
        BiquadCoefficients designSection (const Candidate& c, const Values& x, int section) const
        {
            const auto frequencyOf = [] (double log2Frequency) { return (float) std::exp2 (log2Frequency); };

            FilterDesign design;
            if (section == hiPassSection)
                design = { BandType::HighPass, frequencyOf (x[hiPassValue]), TrellaDSP::passFilterQ, 1.0f };
            else if (section == loPassSection)
                design = { BandType::LowPass, frequencyOf (x[loPassValue]), TrellaDSP::passFilterQ, 1.0f };
            else
                design = { c.bandType (section), frequencyOf (x[(size_t) frequencyValue (section)]),
                           (float) std::exp2 (x[(size_t) qValue (section)]),
                           TrellaDSP::decibelsToFactor ((float) x[(size_t) gainValue (section)]) };

            return StereoIIRFilter::makeCoefficients (design, target.sampleRate);
        }

        static int sectionOf (int value)
        {
            if (value == hiPassValue)
                return hiPassSection;
            if (value == loPassValue)
                return loPassSection;
            return value / 3;
        }

        /** The derivatives of the level in dB at every point, per value, and of the cost (half of). */
        struct Linearisation
        {
            std::vector<std::vector<double>> columns;
            std::array<double, numValues> gradient;
        };

        /** The chain's deviation from the target at each point; returns the sum of its squares. */
        double residuals (const Candidate& c, const Values& x, std::vector<double>& residual) const;

        /** Fills the derivatives of the free values; returns those that may move. */
        std::vector<int> linearise (const Candidate& c, const std::vector<double>& residual,
                                    Linearisation& linear) const;

        /** J^T J over the values that may move (row-major). */
        std::vector<double> normalMatrix (const Linearisation& linear, const std::vector<int>& free) const;

        /** The values after one damped Gauss-Newton step, each limited to its range. */
        std::optional<Values> dampedStep (const Candidate& c, const std::vector<double>& normal,
                                          const Linearisation& linear, const std::vector<int>& free,
                                          double damping) const;

        /** Solves m * d = r in place (m is n by n, row-major); false when it is singular. */
        static bool solve (std::vector<double>& m, std::vector<double>& r, int n);

        const EqualiserFit::Target& target;
        std::vector<std::array<double, 4>> trig; // cos w, sin w, cos 2w, sin 2w per grid point
    };

    bool Problem::solve (std::vector<double>& m, std::vector<double>& r, int n)
    {
        for (int col = 0; col < n; ++col)
        {
            int pivot = col;
            for (int row = col + 1; row < n; ++row)
                if (std::abs (m[(size_t) (row * n + col)]) > std::abs (m[(size_t) (pivot * n + col)]))
                    pivot = row;
            if (! (std::abs (m[(size_t) (pivot * n + col)]) > 1.0e-300))
                return false;
            if (pivot != col)
            {
                for (int k = 0; k < n; ++k)
                    std::swap (m[(size_t) (pivot * n + k)], m[(size_t) (col * n + k)]);
                std::swap (r[(size_t) pivot], r[(size_t) col]);
            }
            for (int row = col + 1; row < n; ++row)
            {
                const double factor = m[(size_t) (row * n + col)] / m[(size_t) (col * n + col)];
                for (int k = col; k < n; ++k)
                    m[(size_t) (row * n + k)] -= factor * m[(size_t) (col * n + k)];
                r[(size_t) row] -= factor * r[(size_t) col];
            }
        }
        for (int row = n - 1; row >= 0; --row)
        {
            double sum = r[(size_t) row];
            for (int k = row + 1; k < n; ++k)
                sum -= m[(size_t) (row * n + k)] * r[(size_t) k];
            r[(size_t) row] = sum / m[(size_t) (row * n + row)];
        }
        return true;
    }

    double Problem::residuals (const Candidate& c, const Values& x, std::vector<double>& residual) const
    {
        chainDecibels (c, x, residual);
        double cost = 0.0;
        for (size_t i = 0; i < size(); ++i)
        {
            residual[i] -= target.decibels[i];
            cost += residual[i] * residual[i];
        }
        return cost;
    }

    std::vector<int> Problem::linearise (const Candidate& c, const std::vector<double>& residual,
                                         Linearisation& linear) const
    {
        // Large enough that the single-precision setting moves by many of its steps.
        constexpr double derivativeStep = 1.0e-3;
        std::vector<double> plus (size()), minus (size());
        std::vector<int> free;

        for (int v = 0; v < numValues; ++v)
        {
            if (! c.isFree (v))
                continue;

            // Central differences of the one section a value belongs to; the output level adds
            // the same to every point.
            auto& column = linear.columns[(size_t) v];
            if (v == levelValue)
                std::fill (column.begin(), column.end(), 1.0);
            else
            {
                auto x = c.values;
                x[(size_t) v] += derivativeStep;
                sectionPower (c, x, sectionOf (v), plus.data());
                x[(size_t) v] -= 2.0 * derivativeStep;
                sectionPower (c, x, sectionOf (v), minus.data());
                for (size_t i = 0; i < size(); ++i)
                    column[i] = 10.0 * std::log10 (plus[i] / minus[i]) / (2.0 * derivativeStep);
            }

            double g = 0.0;
            for (size_t i = 0; i < size(); ++i)
                g += column[i] * residual[i];
            linear.gradient[(size_t) v] = g;

            // A value held at an end of its range by a slope that pushes it further out stays.
            const auto range = rangeOf (v);
            const bool heldLow = c.values[(size_t) v] <= range.low && g > 0.0;
            const bool heldHigh = c.values[(size_t) v] >= range.high && g < 0.0;
            if (! heldLow && ! heldHigh)
                free.push_back (v);
        }
        return free;
    }

    std::vector<double> Problem::normalMatrix (const Linearisation& linear, const std::vector<int>& free) const
    {
        const size_t n = free.size();
        std::vector<double> normal (n * n);
        for (size_t a = 0; a < n; ++a)
            for (size_t b = a; b < n; ++b)
            {
                const auto& ca = linear.columns[(size_t) free[a]];
                const auto& cb = linear.columns[(size_t) free[b]];
                double sum = 0.0;
                for (size_t i = 0; i < size(); ++i)
                    sum += ca[i] * cb[i];
                normal[a * n + b] = normal[b * n + a] = sum;
            }
        return normal;
    }

    std::optional<Values> Problem::dampedStep (const Candidate& c, const std::vector<double>& normal,
                                               const Linearisation& linear, const std::vector<int>& free,
                                               double damping) const
    {
        const int n = (int) free.size();
        double largestDiagonal = 0.0;
        for (int a = 0; a < n; ++a)
            largestDiagonal = std::max (largestDiagonal, normal[(size_t) (a * n + a)]);

        // Damping scales the diagonal, plus a little of the largest, so that a value with no
        // influence at all (the frequency of a band at 0 dB) still gets a defined step.
        auto m = normal;
        std::vector<double> step ((size_t) n);
        for (int a = 0; a < n; ++a)
        {
            m[(size_t) (a * n + a)] += damping * (normal[(size_t) (a * n + a)] + 1.0e-9 * largestDiagonal + 1.0e-12);
            step[(size_t) a] = -linear.gradient[(size_t) free[(size_t) a]];
        }
        if (! solve (m, step, n))
            return std::nullopt;

        auto trial = c.values;
        for (int a = 0; a < n; ++a)
        {
            const int v = free[(size_t) a];
            trial[(size_t) v] = limited (v, trial[(size_t) v] + step[(size_t) a]);
        }
        return trial;
    }

    void Problem::refine (Candidate& c, Effort effort) const
    {
        for (int v = 0; v < numValues; ++v)
            c.values[(size_t) v] = limited (v, c.values[(size_t) v]);

        std::vector<double> residual, trialResidual;
        double cost = residuals (c, c.values, residual);
        Linearisation linear{ std::vector<std::vector<double>> (numValues, std::vector<double> (size())), {} };
        double damping = 1.0e-3;

        for (int iteration = 0; iteration < effort.steps; ++iteration)
        {
            const auto free = linearise (c, residual, linear);
            if (free.empty())
                return;
            const auto normal = normalMatrix (linear, free);

            // Levenberg-Marquardt: more damping (a shorter step, closer to steepest descent) until
            // a step lowers the cost, less after one that does.
            bool improved = false;
            while (! improved && damping < 1.0e10)
            {
                const auto trial = dampedStep (c, normal, linear, free, damping);
                const double trialCost =
                    trial.has_value() ? residuals (c, *trial, trialResidual) : std::numeric_limits<double>::infinity();
                if (! (trialCost < cost))
                {
                    damping *= 4.0;
                    continue;
                }

                const double gain = cost - trialCost;
                c.values = *trial;
                std::swap (residual, trialResidual);
                cost = trialCost;
                damping = std::max (damping / 3.0, 1.0e-9);
                improved = true;
                if (gain <= effort.smallestGain * cost + 1.0e-14)
                    return;
            }

            if (! improved)
                return;
        }
    }

    //==============================================================================
    /** How much a filter shapes the response: its mean deviation from 0 dB over the grid. */
    double importanceOf (const EqualiserText::Filter& filter, const Problem& problem, double sampleRate)
    {
        double sum = 0.0;
        for (size_t i = 0; i < problem.size(); ++i)
            sum += std::abs (CookbookResponse::filterDecibels (filter, problem.frequency (i), sampleRate));
        return sum / (double) problem.size();
    }

    void placeBand (Candidate& c, int band, double frequency, double gainDb, double q)
    {
        c.values[(size_t) frequencyValue (band)] = limited (frequencyValue (band), std::log2 (frequency));
        c.values[(size_t) gainValue (band)] = limited (gainValue (band), gainDb);
        c.values[(size_t) qValue (band)] = limited (qValue (band), std::log2 (q));
    }

    /** All bands at 0 dB on their default frequencies, the level at the target's mean. */
    Candidate flatCandidate (int firstType, int lastType, double levelDb)
    {
        Candidate c;
        c.firstType = firstType;
        c.lastType = lastType;
        for (int b = 0; b < numBands; ++b)
            placeBand (c, b, defaultFrequency (b), 0.0, 1.0);
        c.values[levelValue] = limited (levelValue, levelDb);
        c.values[hiPassValue] = rangeOf (hiPassValue).low;
        c.values[loPassValue] = rangeOf (loPassValue).high;
        return c;
    }

    /** Puts a set of the file's shelves and peaks into the bands: a low shelf into band 1, a high
        shelf into band 4, the peaks by frequency into the bands left. False when they do not fit.
    */
    bool seedBands (Candidate& c, std::vector<EqualiserText::Filter> chosen)
    {
        using Kind = EqualiserText::FilterKind;
        std::sort (chosen.begin(), chosen.end(),
                   [] (const auto& a, const auto& b) { return a.frequency < b.frequency; });

        std::array<bool, numBands> taken{};
        for (const auto& filter : chosen)
        {
            if (filter.kind == Kind::lowShelf || filter.kind == Kind::highShelf)
            {
                const int band = filter.kind == Kind::lowShelf ? 0 : numBands - 1;
                if (taken[(size_t) band])
                    return false;
                taken[(size_t) band] = true;
                (band == 0 ? c.firstType : c.lastType) =
                    filter.kind == Kind::lowShelf ? BandType::LowShelf : BandType::HighShelf;
                placeBand (c, band, filter.frequency, filter.gainDb, filter.q);
            }
        }

        for (const auto& filter : chosen)
        {
            if (filter.kind != Kind::peak)
                continue;
            int band = 0;
            while (band < numBands && taken[(size_t) band])
                ++band;
            if (band == numBands)
                return false;
            taken[(size_t) band] = true;
            if (band == 0)
                c.firstType = BandType::Peak;
            if (band == numBands - 1)
                c.lastType = BandType::Peak;
            placeBand (c, band, filter.frequency, filter.gainDb, filter.q);
        }
        return true;
    }

    /** Calls `use` with every subset of `count` elements of 0..n-1, in lexicographic order. */
    template <typename Use>
    void forEachSubset (int n, int count, Use&& use)
    {
        std::vector<int> chosen ((size_t) count);
        for (int i = 0; i < count; ++i)
            chosen[(size_t) i] = i;
        while (true)
        {
            use (chosen);
            int i = count - 1;
            while (i >= 0 && chosen[(size_t) i] == n - count + i)
                --i;
            if (i < 0)
                return;
            ++chosen[(size_t) i];
            for (int k = i + 1; k < count; ++k)
                chosen[(size_t) k] = chosen[(size_t) (k - 1)] + 1;
        }
    }

    /** Places bands one after the other where the deviation left is largest, refining all after each. */
    Candidate greedyCandidate (const Problem& problem, Candidate c)
    {
        const int firstType = c.firstType, lastType = c.lastType;
        std::vector<double> model;

        const auto meanDeviation = [&] (double from, double to)
        {
            problem.chainDecibels (c, c.values, model);
            double sum = 0.0;
            int count = 0;
            for (size_t i = 0; i < problem.size(); ++i)
                if (problem.frequency (i) >= from && problem.frequency (i) <= to)
                {
                    sum += problem.targetAt (i) - model[i];
                    ++count;
                }
            return count > 0 ? sum / count : 0.0;
        };

        if (firstType == BandType::LowShelf)
            placeBand (c, 0, 100.0, meanDeviation (20.0, 60.0), TrellaDSP::passFilterQ * 1.4);
        if (lastType == BandType::HighShelf)
            placeBand (c, numBands - 1, 8000.0, meanDeviation (12000.0, 20000.0), TrellaDSP::passFilterQ * 1.4);
        problem.refine (c);

        std::vector<int> order{ 1, 2 };
        if (firstType == BandType::Peak)
            order.push_back (0);
        if (lastType == BandType::Peak)
            order.push_back (numBands - 1);

        for (const int band : order)
        {
            problem.chainDecibels (c, c.values, model);
            size_t worst = 0;
            for (size_t i = 1; i < problem.size(); ++i)
                if (std::abs (problem.targetAt (i) - model[i]) > std::abs (problem.targetAt (worst) - model[worst]))
                    worst = i;
            placeBand (c, band, problem.frequency (worst), problem.targetAt (worst) - model[worst], 2.0);
            problem.refine (c);
        }
        return c;
    }

    /** Puts the peaks in ascending order of frequency over the bands that are peaks; the response is
        the same, and the bands read from low to high as a person would set them.
    */
    void sortPeaks (Candidate& c)
    {
        std::vector<int> peakBands;
        std::vector<std::array<double, 3>> peaks;
        for (int b = 0; b < numBands; ++b)
            if (c.bandType (b) == BandType::Peak)
            {
                peakBands.push_back (b);
                peaks.push_back ({ c.values[(size_t) frequencyValue (b)], c.values[(size_t) gainValue (b)],
                                   c.values[(size_t) qValue (b)] });
            }
        std::stable_sort (peaks.begin(), peaks.end(), [] (const auto& a, const auto& b) { return a[0] < b[0]; });
        for (size_t i = 0; i < peakBands.size(); ++i)
        {
            const int b = peakBands[i];
            c.values[(size_t) frequencyValue (b)] = peaks[i][0];
            c.values[(size_t) gainValue (b)] = peaks[i][1];
            c.values[(size_t) qValue (b)] = peaks[i][2];
        }
    }

    EQParameters settingOf (const Candidate& c)
    {
        constexpr double unusedGainDb = 0.005; // below what any display shows

        auto setting = TrellaDSP::DefaultParameters;
        setting.eqActive = 1;
        setting.preampType = 0;
        setting.level = (float) c.values[levelValue];
        setting.hiPassFreq = c.hiPass ? (float) std::exp2 (c.values[hiPassValue]) : TrellaDSP::hiPassInertFrequency;
        setting.loPassFreq = c.loPass ? (float) std::exp2 (c.values[loPassValue]) : TrellaDSP::loPassInertFrequency;
        for (int b = 0; b < numBands; ++b)
        {
            auto& band = setting.band[b];
            band.type = c.bandType (b);
            band.frequency = (float) std::exp2 (c.values[(size_t) frequencyValue (b)]);
            band.gain = (float) c.values[(size_t) gainValue (b)];
            band.q = (float) std::exp2 (c.values[(size_t) qValue (b)]);
            band.active = std::abs (band.gain) >= unusedGainDb ? 1 : 0;
            if (band.active == 0)
                band.gain = 0.0f;
        }
        return setting;
    }
} // namespace

//==============================================================================
std::vector<double> EqualiserFit::logarithmicGrid (int points)
{
    std::vector<double> grid;
    const double span = std::log (highestFrequency / lowestFrequency);
    for (int i = 0; i < points; ++i)
        grid.push_back (i == points - 1 ? highestFrequency
                                        : lowestFrequency * std::exp (span * i / std::max (1, points - 1)));
    return grid;
}

EQParameters EqualiserFit::fit (const Target& target, const std::vector<EqualiserText::Filter>& fileFilters)
{
    using Kind = EqualiserText::FilterKind;
    const Problem problem (target);
    const double levelStart = mean (target.decibels);

    // The file's pass filters seed ours; its shelves and peaks are ranked by how much they shape the
    // response, and the most important ones seed the bands.
    const EqualiserText::Filter* hiPass = nullptr;
    const EqualiserText::Filter* loPass = nullptr;
    std::vector<std::pair<double, EqualiserText::Filter>> ranked;
    for (const auto& filter : fileFilters)
    {
        if (filter.kind == Kind::highPass)
            hiPass = hiPass == nullptr || filter.frequency > hiPass->frequency ? &filter : hiPass;
        else if (filter.kind == Kind::lowPass)
            loPass = loPass == nullptr || filter.frequency < loPass->frequency ? &filter : loPass;
        else
            ranked.push_back ({ importanceOf (filter, problem, target.sampleRate), filter });
    }
    std::stable_sort (ranked.begin(), ranked.end(), [] (const auto& a, const auto& b) { return a.first > b.first; });

    constexpr int mostImportant = 7;
    const int candidates = std::min ((int) ranked.size(), mostImportant);

    const auto withPassFilters = [&] (Candidate c)
    {
        if (hiPass != nullptr)
        {
            c.hiPass = true;
            c.values[hiPassValue] = limited (hiPassValue, std::log2 (hiPass->frequency));
        }
        if (loPass != nullptr)
        {
            c.loPass = true;
            c.values[loPassValue] = limited (loPassValue, std::log2 (loPass->frequency));
        }
        return c;
    };

    // Every start is refined quickly; the closest few are then refined thoroughly.
    std::vector<std::pair<double, Candidate>> explored;
    const auto explore = [&] (Candidate c, bool refined)
    {
        if (! refined)
            problem.refine (c);
        explored.push_back ({ problem.cost (c, c.values), c });
    };

    // The flat start: whatever else happens, the result is never worse than this.
    explore (flatCandidate (BandType::LowShelf, BandType::HighShelf, levelStart), false);

    forEachSubset (candidates, std::min (candidates, numBands),
                   [&] (const std::vector<int>& subset)
                   {
                       std::vector<EqualiserText::Filter> chosen;
                       for (const int i : subset)
                           chosen.push_back (ranked[(size_t) i].second);
                       auto c = flatCandidate (BandType::LowShelf, BandType::HighShelf, levelStart);
                       if (seedBands (c, chosen))
                           explore (withPassFilters (c), false);
                   });

    for (const int firstType : { (int) BandType::LowShelf, (int) BandType::Peak })
        for (const int lastType : { (int) BandType::HighShelf, (int) BandType::Peak })
            explore (greedyCandidate (problem, withPassFilters (flatCandidate (firstType, lastType, levelStart))),
                     true);

    std::stable_sort (explored.begin(), explored.end(),
                      [] (const auto& a, const auto& b) { return a.first < b.first; });

    Candidate best = explored.front().second;
    double bestCost = explored.front().first;
    const auto consider = [&] (Candidate c)
    {
        problem.refine (c, Problem::thoroughly);
        const double cost = problem.cost (c, c.values);
        if (cost < bestCost)
        {
            best = c;
            bestCost = cost;
        }
    };

    constexpr size_t finalists = 3;
    for (size_t i = 0; i < std::min (finalists, explored.size()); ++i)
        consider (explored[i].second);

    // Each pass filter is tried the other way too: in or out of the chain.
    for (const bool hiPassSwitch : { false, true })
        for (const bool loPassSwitch : { false, true })
        {
            if ((! hiPassSwitch && ! loPassSwitch) || (hiPassSwitch && hiPass == nullptr) ||
                (loPassSwitch && loPass == nullptr))
                continue;
            auto c = best;
            c.hiPass = hiPassSwitch ? ! c.hiPass : c.hiPass;
            c.loPass = loPassSwitch ? ! c.loPass : c.loPass;
            consider (c);
        }

    sortPeaks (best);
    return settingOf (best);
}
