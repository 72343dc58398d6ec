#include "PipeWireFilter.h"

#include "engine/ValueLaws.h"
#include "state/Lv2PortLayout.h"

namespace
{
    /** Text that may stand in a comment line: no line breaks or other control characters. */
    juce::String commentSafe (const juce::String& text)
    {
        juce::String safe;
        for (auto c : text)
            safe << (c < 0x20 || c == 0x7f ? juce::juce_wchar (' ') : c);
        return safe;
    }

    /** A value as PipeWire reads it back to the same float: whole numbers plainly, others with
        the nine significant digits that identify a float.
    */
    juce::String formatValue (const PipeWireFilter::Control& control)
    {
        if (control.wholeNumber)
            return juce::String (juce::roundToInt (control.value));

        char text[32];
        std::snprintf (text, sizeof (text), "%.9g", (double) control.value);
        return text;
    }
} // namespace

std::vector<PipeWireFilter::Control>
PipeWireFilter::controlsFor (const std::array<float, ParameterIndex::count>& normalised, juce::String& error)
{
    std::vector<Control> controls;
    for (const auto& port : Lv2PortLayout::controls())
    {
        const auto index = port.parameterIndex;
        const auto value = normalised[(size_t) index];
        const auto portValue = Lv2PortLayout::portValueFromNormalised (index, value);
        const auto asked = ValueLaws::unitsFromNormalised (index, value);
        const auto given =
            ValueLaws::unitsFromNormalised (index, Lv2PortLayout::normalisedFromPortValue (index, portValue));

        // The port value must give the same setting: the same choice (the engine takes a preamp
        // index beyond the list as its last entry, as the port's range does), or the same value in
        // units to single-precision rounding.
        const bool same = port.isInteger() ? juce::jlimit (port.minimum, port.maximum, asked) == given
                                           : std::abs (asked - given) <= 1.0e-6f * std::max (1.0f, std::abs (asked));
        if (! same)
        {
            error = port.symbol + " " + juce::String (asked) + " is outside what its port holds (" +
                    juce::String (port.minimum) + " to " + juce::String (port.maximum) + ")";
            return {};
        }
        controls.push_back ({ port.symbol, portValue, port.isInteger() });
    }
    return controls;
}

juce::String PipeWireFilter::create (const std::vector<Control>& controls, const juce::String& fileName,
                                     const juce::String& pluginUri, const juce::String& madeWith)
{
    const auto file = commentSafe (fileName);
    juce::String text;
    text << "# Kro Trella EQ: the Kro Trella equaliser on everything this computer plays.\n"
         << "# A PipeWire filter-chain with a stereo virtual output device, \"" << sinkDescription << "\", that\n"
         << "# runs the Kro Trella LV2 plug-in with the setting below and passes the sound on to the\n"
         << "# default output.\n"
         << "# Made by krotrella-render with: " << commentSafe (madeWith) << "\n"
         << "#\n"
         << "# Install: the Kro Trella LV2 must be where LV2 hosts look (~/.lv2 or /usr/lib/lv2, as\n"
         << "# `cmake --install` puts it). Then copy this file into ~/.config/pipewire/pipewire.conf.d/\n"
         << "# and restart PipeWire (PipeWire 0.3.65 or later):\n"
         << "#     mkdir -p ~/.config/pipewire/pipewire.conf.d\n"
         << "#     cp " << file << " ~/.config/pipewire/pipewire.conf.d/\n"
         << "#     systemctl --user restart pipewire pipewire-pulse wireplumber\n"
         << "#\n"
         << "# Make it the default output, so that every application plays through it:\n"
         << "#     wpctl status                  (the number before \"" << sinkDescription << "\" under Sinks)\n"
         << "#     wpctl set-default NUMBER\n"
         << "# or, with pipewire-pulse: pactl set-default-sink " << inputNodeName << "\n"
         << "# or choose \"" << sinkDescription << "\" as output in the desktop's sound settings.\n"
         << "#\n"
         << "# Remove it: delete the file and restart PipeWire:\n"
         << "#     rm ~/.config/pipewire/pipewire.conf.d/" << file << "\n"
         << "#     systemctl --user restart pipewire pipewire-pulse wireplumber\n"
         << "#\n"
         << "# To change the setting, write the file again with krotrella-render --pipewire-filter, or\n"
         << "# edit the values below (in the parameters' units: Hz, dB, Q; band types 0 Peak,\n"
         << "# 1 Lo-Shelf, 2 Hi-Shelf; preamp 0 Neutral to 7; switches 0 or 1), and restart PipeWire.\n"
         << "\n"
         << "context.modules = [\n"
         << "    {   name = libpipewire-module-filter-chain\n"
         << "        args = {\n"
         << "            node.description = \"" << sinkDescription << "\"\n"
         << "            media.name       = \"" << sinkDescription << "\"\n"
         << "            audio.channels   = 2\n"
         << "            audio.position   = [ FL FR ]\n"
         << "            filter.graph = {\n"
         << "                nodes = [\n"
         << "                    {\n"
         << "                        type   = lv2\n"
         << "                        name   = krotrella\n"
         << "                        plugin = \"" << pluginUri << "\"\n"
         << "                        control = {\n";

    for (const auto& control : controls)
        text << "                            \"" << control.symbol << "\" = " << formatValue (control) << "\n";

    text << "                        }\n"
         << "                    }\n"
         << "                ]\n"
         << "                inputs  = [ \"krotrella:audio_in_1\" \"krotrella:audio_in_2\" ]\n"
         << "                outputs = [ \"krotrella:audio_out_1\" \"krotrella:audio_out_2\" ]\n"
         << "            }\n"
         << "            capture.props = {\n"
         << "                node.name   = \"" << inputNodeName << "\"\n"
         << "                media.class = Audio/Sink\n"
         << "            }\n"
         << "            playback.props = {\n"
         << "                node.name    = \"" << outputNodeName << "\"\n"
         << "                node.passive = true\n"
         << "            }\n"
         << "        }\n"
         << "    }\n"
         << "]\n";
    return text;
}
