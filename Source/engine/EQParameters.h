#pragma once

#include <cstring>
#include <type_traits>

/** One parametric band in engineering units. */
struct BandParameters
{
    float gain;      // dB
    float frequency; // Hz
    float q;
    int active; // 0 or 1
    int type;   // BandType
};

/** The engine's complete setting in engineering units. The interface keeps copies of this record
    and compares them byte for byte to notice changes, so it must stay free of padding.
*/
struct EQParameters
{
    float hiPassFreq; // Hz
    float loPassFreq; // Hz
    float level;      // dB
    BandParameters band[4];
    int eqActive;   // 0 or 1
    int preampType; // index into IR_list

    /** True when both records hold the same bytes. */
    bool sameBytesAs (const EQParameters& other) const noexcept
    {
        return std::memcmp (this, &other, sizeof (EQParameters)) == 0;
    }
};

static_assert (std::is_trivially_copyable_v<EQParameters>);
static_assert (sizeof (BandParameters) == 5 * 4 && sizeof (EQParameters) == 3 * 4 + 4 * sizeof (BandParameters) + 2 * 4,
               "the parameter record must not contain padding");
