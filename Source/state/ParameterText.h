#pragma once

#include <juce_core/juce_core.h>

#include <optional>

/** The texts hosts show for parameter values, and the reading of texts typed into a host.

    Values are shown in their units: frequencies as "120 Hz" or "1.20 kHz" (three significant
    digits), gains and the output level as "+3.0 dB", Q as "0.71", switches as "On"/"Off", band
    types and preamps by name.

    Reading, case-insensitive and with or without a space before the unit:
    - a name shown for the parameter ("On", "Lo-Shelf", "N1073", "1176") gives its value;
    - a number with the parameter's unit ("1kHz", "1.2 k", "120Hz", "+6dB") gives that setting;
    - a bare number is a normalised value, except for Q: Q is shown as a bare number, so a bare
      number given for a Q is a Q ("0.71" gives Q 0.71). Names are tried before numbers.
    The result is limited to 0..1; a text that says nothing the parameter understands gives none.
*/
class ParameterText
{
public:
    /** The text for a normalised value of the parameter at a TrellaParams index. */
    static juce::String format (int index, float normalised);

    /** The normalised value a text stands for, or nothing when the text is not understood. */
    static std::optional<float> parse (int index, const juce::String& text);
};
