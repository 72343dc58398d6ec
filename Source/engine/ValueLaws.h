#pragma once

#include "EQParameters.h"

/** The value laws: how the normalised value of a parameter (what hosts, automation and saved states
    hold, nominally 0..1) becomes its setting in units, and back. Parameters are addressed by their
    index (see ParameterIndex).

    | parameters                      | setting in units                         |
    |---------------------------------|------------------------------------------|
    | frequencies (bands, HP, LP)     | v x 19980 + 20 Hz                        |
    | band gains                      | v x 48 - 24 dB                           |
    | Q                               | v x 9.9 + 0.1                            |
    | output level                    | v x 24 - 12 dB                           |
    | band types (bands 1 and 4)      | trunc (2 v): 0 Peak, 1 Lo-Shelf, 2 Hi-Shelf |
    | preamp                          | trunc (8 v): index into IR_list          |
    | switches (EQ, band on/off)      | on for v > 0                             |

    Types, preamp indices and switches are whole numbers in units; a switch is 1 when on.
*/
struct ValueLaws
{
    /** The kind of setting a parameter drives, which decides its law. */
    enum class Law
    {
        none, // an index outside 0..22
        frequency,
        gain,
        q,
        level,
        bandType,
        preamp,
        onOff
    };

    static Law lawOf (int index) noexcept;

    static float frequencyFromNormalised (float v) noexcept { return v * 19980.0f + 20.0f; }
    static float normalisedFromFrequency (float hz) noexcept { return (hz - 20.0f) / 19980.0f; }
    static float gainFromNormalised (float v) noexcept { return v * 48.0f - 24.0f; }
    static float normalisedFromGain (float dB) noexcept { return (dB + 24.0f) / 48.0f; }
    static float qFromNormalised (float v) noexcept { return v * 9.9f + 0.1f; }
    static float normalisedFromQ (float q) noexcept { return (q - 0.1f) / 9.9f; }
    static float levelFromNormalised (float v) noexcept { return v * 24.0f - 12.0f; }
    static float normalisedFromLevel (float dB) noexcept { return (dB + 12.0f) / 24.0f; }
    static int bandTypeFromNormalised (float v) noexcept;
    static float normalisedFromBandType (int type) noexcept { return (float) type * 0.5f; }
    static int preampIndexFromNormalised (float v) noexcept;
    static float normalisedFromPreampIndex (int index) noexcept { return (float) index * 0.125f; }
    static bool switchFromNormalised (float v) noexcept { return v > 0.0f; }
    static float normalisedFromSwitch (bool on) noexcept { return on ? 1.0f : 0.0f; }

    /** A parameter's setting in its unit for a normalised value (0 for an index outside 0..22). */
    static float unitsFromNormalised (int index, float normalised) noexcept;

    /** The normalised value of a parameter's setting given in its unit (0 for an index outside 0..22). */
    static float normalisedFromUnits (int index, float units) noexcept;

    /** A parameter's setting in its unit, as a setting record holds it (0 for an index outside 0..22). */
    static float unitsOf (const EQParameters& setting, int index) noexcept;

    /** The normalised value of a parameter in a setting (0 for an index outside 0..22). */
    static float normalisedValueOf (const EQParameters& setting, int index) noexcept
    {
        return normalisedFromUnits (index, unitsOf (setting, index));
    }
};
