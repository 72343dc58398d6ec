#pragma once

#include "engine/ParameterIndex.h"

#include <juce_core/juce_core.h>

#include <array>
#include <vector>

/** A PipeWire filter-chain drop-in that puts Kro Trella on everything the desktop plays: it runs the
    native Kro Trella LV2 with a setting given as its control ports' values, behind a stereo virtual
    sink called "Kro Trella EQ". Applications that play into that sink are heard through it on the
    default output.

    The file is what PipeWire 0.3.65 (Debian 12) and later read from
    ~/.config/pipewire/pipewire.conf.d/: one libpipewire-module-filter-chain, preceded by comments
    that say where it goes, how to make the sink the default output and how to remove it.
*/
class PipeWireFilter
{
public:
    /** One control port of the LV2 and the value it is given, in the port's unit. */
    struct Control
    {
        juce::String symbol;
        float value = 0.0f;
        bool wholeNumber = false; // switches, band types and the preamp
    };

    /** The LV2's control port values for a setting given as the 23 normalised parameter values.
        A value that no port value stands for is refused: `error` names the parameter.
    */
    static std::vector<Control> controlsFor (const std::array<float, ParameterIndex::count>& normalised,
                                             juce::String& error);

    static constexpr const char* sinkDescription = "Kro Trella EQ";
    static constexpr const char* inputNodeName = "effect_input.kro_trella_eq";
    static constexpr const char* outputNodeName = "effect_output.kro_trella_eq";

    /** The drop-in's text. `fileName` is the name it is written under (the comments use it),
        `pluginUri` the LV2's URI; `madeWith` (the command's options) is quoted in the comments so
        that the file says what setting it holds.
    */
    static juce::String create (const std::vector<Control>& controls, const juce::String& fileName,
                                const juce::String& pluginUri, const juce::String& madeWith);
};
