// The texts hosts show for parameter values and the reading of typed texts.

#include "engine/ValueLaws.h"
#include "processor/PluginProcessor.h"
#include "state/ParameterText.h"

#include <gtest/gtest.h>

namespace
{
    int indexOf (const char* id)
    {
        return findTrellaParamIndex (id);
    }

    TEST (ParameterText, ShowsValuesInTheirUnits)
    {
        const struct
        {
            const char* id;
            float normalised;
            const char* text;
        } cases[] = {
            { "band1_freq", ValueLaws::normalisedFromFrequency (120.0f), "120 Hz" },
            { "band2_freq", ValueLaws::normalisedFromFrequency (1200.0f), "1.20 kHz" },
            { "band2_freq", ValueLaws::normalisedFromFrequency (999.7f), "1.00 kHz" },
            { "band4_freq", ValueLaws::normalisedFromFrequency (8500.0f), "8.50 kHz" },
            { "band3_freq", ValueLaws::normalisedFromFrequency (45.56f), "45.6 Hz" },
            { "hipass_freq", 0.0f, "20.0 Hz" },
            { "lopass_freq", 1.0f, "20.0 kHz" },
            { "band2_gain", ValueLaws::normalisedFromGain (3.0f), "+3.0 dB" },
            { "band1_gain", 0.0f, "-24.0 dB" },
            { "band4_gain", 0.5f, "0.0 dB" },
            { "band3_gain", ValueLaws::normalisedFromGain (-0.04f), "0.0 dB" },
            { "master_gain", 1.0f, "+12.0 dB" },
            { "master_gain", 0.5f, "0.0 dB" },
            { "band3_q", ValueLaws::normalisedFromQ (0.7071f), "0.71" },
            { "band1_q", 1.0f, "10.00" },
            { "master_active", 1.0f, "On" },
            { "band2_active", 0.0f, "Off" },
            { "band1_type", 0.5f, "Lo-Shelf" },
            { "band1_type", 0.0f, "Peak" },
            { "band4_type", 1.0f, "Hi-Shelf" },
            { "preamp_type", 0.0f, "Neutral" },
            { "preamp_type", 0.125f, "N1073" },
            { "preamp_type", 0.75f, "1176" },
            { "preamp_type", 1.0f, "TLA50" },
        };

        for (const auto& c : cases)
            EXPECT_EQ (ParameterText::format (indexOf (c.id), c.normalised), c.text) << c.id << " " << c.normalised;

        EXPECT_EQ (ParameterText::format (indexOf ("band1_freq"), std::numeric_limits<float>::quiet_NaN()), "-");
    }

    TEST (ParameterText, ReadsTextsWithOrWithoutUnits)
    {
        const struct
        {
            const char* id;
            const char* text;
            float normalised;
        } cases[] = {
            { "band2_freq", "1kHz", ValueLaws::normalisedFromFrequency (1000.0f) },
            { "band2_freq", "1.20 kHz", ValueLaws::normalisedFromFrequency (1200.0f) },
            { "band2_freq", " 1.5 K ", ValueLaws::normalisedFromFrequency (1500.0f) },
            { "band1_freq", "120Hz", ValueLaws::normalisedFromFrequency (120.0f) },
            { "hipass_freq", "120 HZ", ValueLaws::normalisedFromFrequency (120.0f) },
            { "lopass_freq", "40 kHz", 1.0f }, // beyond the range: its end
            { "hipass_freq", "5 Hz", 0.0f },   // below the range: its start
            { "band1_freq", "0.25", 0.25f },   // a bare number is a normalised value
            { "band2_gain", "+6dB", ValueLaws::normalisedFromGain (6.0f) },
            { "band2_gain", "-3.5 db", ValueLaws::normalisedFromGain (-3.5f) },
            { "band2_gain",
              "\xe2\x88\x92"
              "6 dB",
              ValueLaws::normalisedFromGain (-6.0f) }, // typographic minus
            { "master_gain", "+3.0 dB", ValueLaws::normalisedFromLevel (3.0f) },
            { "master_gain", "0.75", 0.75f },
            { "band3_q", "0.71", ValueLaws::normalisedFromQ (0.71f) }, // Q: a bare number is the Q
            { "band1_q", "10", 1.0f },
            { "master_active", "On", 1.0f },
            { "band3_active", "off", 0.0f },
            { "band1_active", "1", 1.0f },
            { "band1_type", "Lo-Shelf", 0.5f },
            { "band4_type", "HI-SHELF", 1.0f },
            { "band4_type", "peak", 0.0f },
            { "preamp_type", "N1073", 0.125f },
            { "preamp_type", "tla50", 0.875f },
            { "preamp_type", "1176", 0.75f }, // a name, though it looks like a number
            { "preamp_type", "0.25", 0.25f },
        };

        for (const auto& c : cases)
        {
            const auto value = ParameterText::parse (indexOf (c.id), juce::CharPointer_UTF8 (c.text));
            ASSERT_TRUE (value.has_value()) << c.id << " '" << c.text << "'";
            EXPECT_FLOAT_EQ (*value, c.normalised) << c.id << " '" << c.text << "'";
        }

        const struct
        {
            const char* id;
            const char* text;
        } unread[] = {
            { "band1_freq", "" },         { "band1_freq", "loud" },   { "band1_freq", "3 dB" },
            { "band2_gain", "6 Hz" },     { "band3_q", "0.7 dB" },    { "band1_type", "Lo-Pass" },
            { "master_active", "maybe" }, { "preamp_type", "N1074" }, { "band2_gain", "nan dB" },
            { "band2_gain", "1e999 dB" }, { "band2_freq", "k" },      { "band2_freq", "." },
        };
        for (const auto& c : unread)
            EXPECT_FALSE (ParameterText::parse (indexOf (c.id), c.text).has_value()) << c.id << " '" << c.text << "'";
    }

    TEST (ParameterText, EveryShownTextReadsBackToTheValueItShows)
    {
        juce::Random random (11);
        for (int index = 0; index < (int) numTrellaParams; ++index)
        {
            for (int i = 0; i <= 400; ++i)
            {
                const float v = i <= 100 ? (float) i / 100.0f : random.nextFloat();
                const auto shown = ParameterText::format (index, v);
                const auto read = ParameterText::parse (index, shown);
                ASSERT_TRUE (read.has_value()) << TrellaParams[(size_t) index].id << " '" << shown << "'";
                EXPECT_EQ (ParameterText::format (index, *read), shown) << TrellaParams[(size_t) index].id << " " << v;
            }
        }
    }

    TEST (ParameterText, TheProcessorsParametersSpeakTheseTexts)
    {
        KroTrellaAudioProcessor p;
        auto* band2Freq = p.getKroParameter (indexOf ("band2_freq"));
        EXPECT_EQ (band2Freq->getCurrentValueAsText(), "1.00 kHz");
        EXPECT_EQ (band2Freq->getText (ValueLaws::normalisedFromFrequency (1200.0f), 4), "1.20");
        EXPECT_FLOAT_EQ (band2Freq->getValueForText ("120 Hz"), ValueLaws::normalisedFromFrequency (120.0f));

        // A text the parameter does not understand leaves it where it is.
        band2Freq->setValue (0.3f);
        EXPECT_EQ (band2Freq->getValueForText ("loud"), 0.3f);
    }
} // namespace
