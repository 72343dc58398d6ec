#include "FactoryPresets.h"

#include "ParameterText.h"
#include "engine/TrellaDSP.h"
#include "engine/ValueLaws.h"

namespace
{
    struct Setting
    {
        const char* name;
        std::vector<FactoryPresets::Assignment> assignments;
    };

    // Every setting but "Default" switches the equaliser on and only the sections it uses. Gains
    // are moderate: a starting point to refine by ear, never a finished mix. The high-pass filter
    // is a 12 dB/octave section; bands 1 and 4 may be shelves or peaks.
    const std::vector<Setting>& settings()
    {
        static const std::vector<Setting> list{
            { "Default", {} },
            { "Vocal Presence",
              { { "master_active", "On" },
                { "hipass_freq", "80 Hz" },
                { "band2_active", "On" },
                { "band2_freq", "250 Hz" },
                { "band2_gain", "-2 dB" },
                { "band2_q", "1.0" },
                { "band3_active", "On" },
                { "band3_freq", "3.5 kHz" },
                { "band3_gain", "+3 dB" },
                { "band3_q", "0.9" },
                { "band4_active", "On" },
                { "band4_type", "Hi-Shelf" },
                { "band4_freq", "10 kHz" },
                { "band4_gain", "+2 dB" },
                { "band4_q", "0.7" } } },
            { "De-Mud 300 Hz",
              { { "master_active", "On" },
                { "band2_active", "On" },
                { "band2_freq", "300 Hz" },
                { "band2_gain", "-4 dB" },
                { "band2_q", "1.4" } } },
            { "Kick Weight",
              { { "master_active", "On" },
                { "hipass_freq", "30 Hz" },
                { "band1_active", "On" },
                { "band1_type", "Peak" },
                { "band1_freq", "60 Hz" },
                { "band1_gain", "+4 dB" },
                { "band1_q", "1.2" },
                { "band2_active", "On" },
                { "band2_freq", "350 Hz" },
                { "band2_gain", "-4 dB" },
                { "band2_q", "1.5" },
                { "band3_active", "On" },
                { "band3_freq", "3.5 kHz" },
                { "band3_gain", "+3 dB" },
                { "band3_q", "1.5" } } },
            { "Snare Crack",
              { { "master_active", "On" },
                { "hipass_freq", "80 Hz" },
                { "band2_active", "On" },
                { "band2_freq", "200 Hz" },
                { "band2_gain", "+2.5 dB" },
                { "band2_q", "1.4" },
                { "band3_active", "On" },
                { "band3_freq", "900 Hz" },
                { "band3_gain", "-2.5 dB" },
                { "band3_q", "1.5" },
                { "band4_active", "On" },
                { "band4_type", "Peak" },
                { "band4_freq", "5 kHz" },
                { "band4_gain", "+3.5 dB" },
                { "band4_q", "1.2" } } },
            { "Bass Clarity",
              { { "master_active", "On" },
                { "hipass_freq", "35 Hz" },
                { "band1_active", "On" },
                { "band1_type", "Lo-Shelf" },
                { "band1_freq", "80 Hz" },
                { "band1_gain", "+2 dB" },
                { "band1_q", "0.7" },
                { "band2_active", "On" },
                { "band2_freq", "250 Hz" },
                { "band2_gain", "-3 dB" },
                { "band2_q", "1.2" },
                { "band3_active", "On" },
                { "band3_freq", "800 Hz" },
                { "band3_gain", "+2.5 dB" },
                { "band3_q", "1.0" } } },
            { "Acoustic Guitar Air",
              { { "master_active", "On" },
                { "hipass_freq", "90 Hz" },
                { "band2_active", "On" },
                { "band2_freq", "200 Hz" },
                { "band2_gain", "-2.5 dB" },
                { "band2_q", "1.2" },
                { "band3_active", "On" },
                { "band3_freq", "5 kHz" },
                { "band3_gain", "+1.5 dB" },
                { "band3_q", "1.0" },
                { "band4_active", "On" },
                { "band4_type", "Hi-Shelf" },
                { "band4_freq", "12 kHz" },
                { "band4_gain", "+4 dB" },
                { "band4_q", "0.7" } } },
            { "Podcast Voice",
              { { "master_active", "On" },   { "hipass_freq", "90 Hz" },   { "band1_active", "On" },
                { "band1_type", "Peak" },    { "band1_freq", "180 Hz" },   { "band1_gain", "+1.5 dB" },
                { "band1_q", "1.0" },        { "band2_active", "On" },     { "band2_freq", "350 Hz" },
                { "band2_gain", "-3 dB" },   { "band2_q", "1.4" },         { "band3_active", "On" },
                { "band3_freq", "3 kHz" },   { "band3_gain", "+2.5 dB" },  { "band3_q", "1.0" },
                { "band4_active", "On" },    { "band4_type", "Hi-Shelf" }, { "band4_freq", "10 kHz" },
                { "band4_gain", "+1.5 dB" }, { "band4_q", "0.7" },         { "master_gain", "-1 dB" } } },
            { "Telephone Band",
              { { "master_active", "On" },
                { "hipass_freq", "300 Hz" },
                { "lopass_freq", "3.4 kHz" },
                { "band2_active", "On" },
                { "band2_freq", "1.2 kHz" },
                { "band2_gain", "+4 dB" },
                { "band2_q", "0.8" },
                { "preamp_type", "D1960" },
                { "master_gain", "-2 dB" } } },
            { "Master Air",
              { { "master_active", "On" },
                { "band4_active", "On" },
                { "band4_type", "Hi-Shelf" },
                { "band4_freq", "12 kHz" },
                { "band4_gain", "+1.5 dB" },
                { "band4_q", "0.7" } } },
            { "Low Cut 80 Hz", { { "master_active", "On" }, { "hipass_freq", "80 Hz" } } },
            { "Warm Console N1073",
              { { "master_active", "On" },
                { "preamp_type", "N1073" },
                { "band1_active", "On" },
                { "band1_type", "Lo-Shelf" },
                { "band1_freq", "100 Hz" },
                { "band1_gain", "+1.5 dB" },
                { "band1_q", "0.7" },
                { "band4_active", "On" },
                { "band4_type", "Hi-Shelf" },
                { "band4_freq", "10 kHz" },
                { "band4_gain", "+1 dB" },
                { "band4_q", "0.7" },
                { "master_gain", "-1 dB" } } },
            { "Punchy Bus 1176",
              { { "master_active", "On" },
                { "preamp_type", "1176" },
                { "band1_active", "On" },
                { "band1_type", "Peak" },
                { "band1_freq", "80 Hz" },
                { "band1_gain", "+1.5 dB" },
                { "band1_q", "1.0" },
                { "band2_active", "On" },
                { "band2_freq", "400 Hz" },
                { "band2_gain", "-1.5 dB" },
                { "band2_q", "1.0" },
                { "band3_active", "On" },
                { "band3_freq", "2.5 kHz" },
                { "band3_gain", "+1 dB" },
                { "band3_q", "1.0" },
                { "master_gain", "-1 dB" } } },
        };
        return list;
    }

    bool isIndex (int index)
    {
        return index >= 0 && index < (int) settings().size();
    }
} // namespace

int FactoryPresets::count() noexcept
{
    return (int) settings().size();
}

juce::String FactoryPresets::name (int index)
{
    return isIndex (index) ? juce::String (settings()[(size_t) index].name) : juce::String();
}

FactoryPresets::Values FactoryPresets::initialValues()
{
    Values values{};
    for (int i = 0; i < (int) values.size(); ++i)
        values[(size_t) i] = ValueLaws::normalisedValueOf (TrellaDSP::DefaultParameters, i);
    return values;
}

FactoryPresets::Values FactoryPresets::values (int index)
{
    auto values = initialValues();

    for (const auto& assignment : assignments (index))
    {
        const int parameter = findTrellaParamIndex (assignment.id);
        if (parameter < 0)
            continue;
        if (const auto value = ParameterText::parse (parameter, assignment.value))
            values[(size_t) parameter] = *value;
    }

    return values;
}

std::vector<FactoryPresets::Assignment> FactoryPresets::assignments (int index)
{
    return isIndex (index) ? settings()[(size_t) index].assignments : std::vector<Assignment>{};
}

std::optional<int> FactoryPresets::find (const juce::String& name)
{
    for (int i = 0; i < count(); ++i)
        if (FactoryPresets::name (i).equalsIgnoreCase (name.trim()))
            return i;
    return std::nullopt;
}
