#include "PipeWireFilter.h"

#include "state/TrellaParams.h"

#include "engine/ParameterIndex.h"
#include "engine/ValueLaws.h"

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

std::vector<PipeWireFilter::Control> PipeWireFilter::controlsFor (const std::array<float, 23>& normalised,
                                                                  juce::String& error)
{
    std::vector<Control> controls;
    for (int i = 0; i < (int) normalised.size(); ++i)
    {
        const auto v = normalised[(size_t) i];
        Control control{ TrellaParams[(size_t) i].id, 0.0f, false };
        if (i == ParameterIndex::level)
            control.value = ValueLaws::levelFromNormalised (v);
        else if (i == ParameterIndex::loPass || i == ParameterIndex::hiPass || (i >= 2 && i <= 5))
            control.value = ValueLaws::frequencyFromNormalised (v);
        else if (i >= 6 && i <= 9)
            control.value = ValueLaws::gainFromNormalised (v);
        else if (i >= 10 && i <= 13)
            control.value = ValueLaws::qFromNormalised (v);
        else if (i == ParameterIndex::bandType (0) || i == ParameterIndex::bandType (3))
            control = { control.symbol, (float) juce::jlimit (0, 2, ValueLaws::bandTypeFromNormalised (v)), true };
        else if (i == ParameterIndex::preampType)
            control = { control.symbol, (float) juce::jlimit (0, 7, ValueLaws::preampIndexFromNormalised (v)), true };
        else
            control = { control.symbol, v > 0.0f ? 1.0f : 0.0f, true };

        if (! std::isfinite (control.value))
        {
            error = juce::String (TrellaParams[(size_t) i].id) + " has no value an LV2 port can hold";
            return {};
        }
        controls.push_back (control);
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
