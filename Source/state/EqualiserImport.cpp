#include "EqualiserImport.h"

#include "CookbookResponse.h"
#include "EqualiserFit.h"

#include "engine/BandType.h"
#include "engine/ChainResponse.h"
#include "engine/ParameterIndex.h"
#include "engine/ValueLaws.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace
{
    using Kind = EqualiserText::FilterKind;

    juce::String describeFrequency (double hz)
    {
        return hz >= 1000.0 ? juce::String (hz / 1000.0, hz >= 10000.0 ? 1 : 2) + " kHz"
                            : juce::String (juce::roundToInt (hz)) + " Hz";
    }

    juce::String onLine (const EqualiserText::Filter& filter)
    {
        return "line " + juce::String (filter.line) + ": ";
    }

    /** Why a filter's own values are beyond the section it would take, or nothing. */
    juce::String outOfRange (const EqualiserText::Filter& filter)
    {
        if (filter.frequency < EqualiserFit::lowestFrequency || filter.frequency > EqualiserFit::highestFrequency)
            return onLine (filter) + "Fc " + describeFrequency (filter.frequency) + " is beyond 20 Hz to 20 kHz";

        if (filter.kind == Kind::highPass || filter.kind == Kind::lowPass)
        {
            if (std::abs (filter.q - TrellaDSP::passFilterQ) > 1.0e-6)
                return onLine (filter) + "the " + EqualiserText::describe (filter.kind) + " has Q " +
                       juce::String (filter.q, 2) + "; Kro Trella's has the fixed Q 0.5";
            if (filter.kind == Kind::highPass && filter.frequency <= TrellaDSP::hiPassInertFrequency)
                return onLine (filter) + "a high-pass at 20 Hz is where Kro Trella's switches off";
            if (filter.kind == Kind::lowPass && filter.frequency >= TrellaDSP::loPassInertFrequency)
                return onLine (filter) + "a low-pass at 20 kHz is where Kro Trella's switches off";
            return {};
        }

        if (std::abs (filter.gainDb) > EqualiserFit::largestGainDb)
            return onLine (filter) + "Gain " + juce::String (filter.gainDb, 1) + " dB is beyond +-24 dB";
        if (filter.q < EqualiserFit::smallestQ || filter.q > EqualiserFit::largestQ)
            return onLine (filter) + "Q " + juce::String (filter.q, 3) + " is beyond 0.1 to 10";
        return {};
    }

    void placeBand (BandParameters& band, const EqualiserText::Filter& filter, int type)
    {
        band = { (float) filter.gainDb, (float) filter.frequency, (float) filter.q, 1, type };
    }

    /** The file's filters one to one in the sections, or nothing (with the reason) when they do
        not fit.
    */
    std::optional<EQParameters> mapExactly (const EqualiserText::Result& reading, juce::String& whyNot)
    {
        std::vector<EqualiserText::Filter> lowShelves, highShelves, peaks, hiPasses, loPasses;
        for (const auto& filter : reading.filters)
        {
            // A peak or shelf of 0 dB does nothing and needs no band.
            if ((filter.kind == Kind::peak || filter.kind == Kind::lowShelf || filter.kind == Kind::highShelf) &&
                filter.gainDb == 0.0)
                continue;

            whyNot = outOfRange (filter);
            if (whyNot.isNotEmpty())
                return std::nullopt;

            auto& group = filter.kind == Kind::peak        ? peaks
                          : filter.kind == Kind::lowShelf  ? lowShelves
                          : filter.kind == Kind::highShelf ? highShelves
                          : filter.kind == Kind::highPass  ? hiPasses
                                                           : loPasses;
            group.push_back (filter);
        }

        const int bandsForPeaks = TrellaDSP::numBands - (int) std::min<size_t> (lowShelves.size(), 1) -
                                  (int) std::min<size_t> (highShelves.size(), 1);
        if (lowShelves.size() > 1)
            whyNot = juce::String ((int) lowShelves.size()) + " low shelves; only band 1 is a low shelf";
        else if (highShelves.size() > 1)
            whyNot = juce::String ((int) highShelves.size()) + " high shelves; only band 4 is a high shelf";
        else if ((int) peaks.size() > bandsForPeaks)
            whyNot = juce::String ((int) (peaks.size() + lowShelves.size() + highShelves.size())) +
                     " peaks and shelves for " + juce::String (TrellaDSP::numBands) + " bands";
        else if (hiPasses.size() > 1 || loPasses.size() > 1)
            whyNot = "more than one high-pass or low-pass";
        else if (std::abs (reading.preampDb) > EqualiserFit::largestLevelDb)
            whyNot = "Preamp " + juce::String (reading.preampDb, 1) + " dB is beyond the output level's +-12 dB";
        if (whyNot.isNotEmpty())
            return std::nullopt;

        auto setting = TrellaDSP::DefaultParameters;
        setting.eqActive = 1;
        setting.preampType = 0;
        setting.level = (float) reading.preampDb;

        std::array<bool, TrellaDSP::numBands> taken{};
        if (! lowShelves.empty())
        {
            placeBand (setting.band[0], lowShelves.front(), BandType::LowShelf);
            taken[0] = true;
        }
        if (! highShelves.empty())
        {
            placeBand (setting.band[3], highShelves.front(), BandType::HighShelf);
            taken[3] = true;
        }

        std::stable_sort (peaks.begin(), peaks.end(),
                          [] (const auto& a, const auto& b) { return a.frequency < b.frequency; });
        size_t band = 0;
        for (const auto& peak : peaks)
        {
            while (taken[band])
                ++band;
            placeBand (setting.band[band], peak, BandType::Peak);
            taken[band] = true;
        }

        if (! hiPasses.empty())
            setting.hiPassFreq = (float) hiPasses.front().frequency;
        if (! loPasses.empty())
            setting.loPassFreq = (float) loPasses.front().frequency;
        return setting;
    }

    std::array<float, TrellaDSP::numParameters> valuesOf (const EQParameters& setting)
    {
        std::array<float, TrellaDSP::numParameters> values{};
        for (int i = 0; i < TrellaDSP::numParameters; ++i)
            values[(size_t) i] = juce::jlimit (0.0f, 1.0f, ValueLaws::normalisedValueOf (setting, i));
        return values;
    }

    /** The level of the equaliser's chain for a setting at each frequency, in dB: its sections as
        the engine designs them, and the output level (0 dB everywhere while it is switched off).
    */
    std::vector<double> chainDecibels (const EQParameters& setting, const std::vector<double>& frequencies)
    {
        std::vector<double> levels (frequencies.size(), 0.0);
        if (setting.eqActive == 0)
            return levels;

        int types[TrellaDSP::numBands];
        for (int b = 0; b < TrellaDSP::numBands; ++b)
            types[b] = setting.band[b].type;
        const auto chain = TrellaDSP::makeChainSettings (setting, types, -1);
        const ChainResponse response (chain, EqualiserImport::sampleRate);

        const double levelDb = 20.0 * std::log10 (std::max (1.0e-15, (double) chain.levelGain));
        for (size_t i = 0; i < frequencies.size(); ++i)
            levels[i] = levelDb +
                        20.0 * std::log10 (std::max (1.0e-15, (double) response.magnitudeAt ((float) frequencies[i])));
        return levels;
    }

    EQParameters flatSetting()
    {
        auto setting = TrellaDSP::DefaultParameters;
        setting.eqActive = 1;
        return setting;
    }
} // namespace

//==============================================================================
juce::String EqualiserImport::Deviation::describe() const
{
    return juce::String (largestDb, 2) + " dB at " + describeFrequency (largestAtHz) + ", RMS " +
           juce::String (rmsDb, 2) + " dB";
}

juce::String EqualiserImport::Result::summary() const
{
    if (! isUsable())
        return error;

    const auto filters = juce::String (filtersRead) + (filtersRead == 1 ? " filter" : " filters");
    if (exact)
        return "took over " + filters + " one to one; largest deviation " + deviation.describe();

    const auto flat = "; a flat equaliser: " + flatDeviation.describe();
    if (flatWasBetter)
        return "no setting came closer to the file's " + filters + " (" + whyFitted +
               ") than a flat equaliser, which is set" + flat;

    return "fitted the file's " + filters + " (" + whyFitted + "): largest deviation " + deviation.describe() + flat;
}

EqualiserImport::Result EqualiserImport::fromText (const juce::String& text)
{
    return fromReading (EqualiserText::read (text));
}

EqualiserImport::Result EqualiserImport::fromFile (const juce::File& file)
{
    return fromReading (EqualiserText::readFile (file));
}

std::vector<double> EqualiserImport::targetDecibels (const EqualiserText::Result& reading,
                                                     const std::vector<double>& frequencies)
{
    return CookbookResponse::fileDecibels (reading, frequencies, sampleRate);
}

EqualiserImport::Result EqualiserImport::fromReading (const EqualiserText::Result& reading)
{
    Result result;
    result.notes = reading.notes;
    result.error = reading.error;
    result.filtersRead = (int) reading.filters.size();
    if (! reading.isUsable())
        return result;

    const auto grid = EqualiserFit::logarithmicGrid (gridPoints);
    const auto target = targetDecibels (reading, grid);

    auto setting = mapExactly (reading, result.whyFitted);
    result.exact = setting.has_value();
    if (! setting.has_value())
        setting = EqualiserFit::fit ({ grid, target, sampleRate }, reading.filters);

    result.values = valuesOf (*setting);
    result.setting = settingFromValues (result.values);
    result.deviation = measure (result.setting, grid, target);
    result.flatDeviation = measure (flatSetting(), grid, target);

    if (! result.exact && result.deviation.rmsDb >= result.flatDeviation.rmsDb)
    {
        result.flatWasBetter = true;
        result.values = valuesOf (flatSetting());
        result.setting = settingFromValues (result.values);
        result.deviation = measure (result.setting, grid, target);
    }
    return result;
}

EQParameters EqualiserImport::settingFromValues (const std::array<float, TrellaDSP::numParameters>& values)
{
    EQParameters setting = TrellaDSP::DefaultParameters;
    setting.eqActive = values[ParameterIndex::eqActive] > 0.0f ? 1 : 0;
    setting.level = ValueLaws::levelFromNormalised (values[ParameterIndex::level]);
    setting.hiPassFreq = ValueLaws::frequencyFromNormalised (values[ParameterIndex::hiPass]);
    setting.loPassFreq = ValueLaws::frequencyFromNormalised (values[ParameterIndex::loPass]);
    setting.preampType = juce::jlimit (0, TrellaDSP::numPreampTypes - 1,
                                       ValueLaws::preampIndexFromNormalised (values[ParameterIndex::preampType]));
    for (int b = 0; b < TrellaDSP::numBands; ++b)
    {
        auto& band = setting.band[b];
        band.frequency = ValueLaws::frequencyFromNormalised (values[(size_t) ParameterIndex::bandFrequency (b)]);
        band.gain = ValueLaws::gainFromNormalised (values[(size_t) ParameterIndex::bandGain (b)]);
        band.q =
            std::max (TrellaDSP::minimumQ, ValueLaws::qFromNormalised (values[(size_t) ParameterIndex::bandQ (b)]));
        band.active = values[(size_t) ParameterIndex::bandActive (b)] > 0.0f ? 1 : 0;
        const int typeIndex = ParameterIndex::bandType (b);
        if (typeIndex >= 0)
            band.type = ValueLaws::bandTypeFromNormalised (values[(size_t) typeIndex]);
    }
    return setting;
}

EqualiserImport::Deviation EqualiserImport::measure (const EQParameters& setting,
                                                     const std::vector<double>& frequencies,
                                                     const std::vector<double>& targetDb)
{
    const auto ours = chainDecibels (setting, frequencies);
    Deviation deviation;
    deviation.largestAtHz = frequencies.empty() ? 0.0 : frequencies.front();
    double sumOfSquares = 0.0;
    for (size_t i = 0; i < frequencies.size(); ++i)
    {
        const double difference = std::abs (ours[i] - targetDb[i]);
        sumOfSquares += difference * difference;
        if (difference > deviation.largestDb)
        {
            deviation.largestDb = difference;
            deviation.largestAtHz = frequencies[i];
        }
    }
    deviation.rmsDb = frequencies.empty() ? 0.0 : std::sqrt (sumOfSquares / (double) frequencies.size());
    return deviation;
}
