#include "Lv2TurtleWriter.h"

#include "state/FactoryPresets.h"
#include "state/Lv2PortLayout.h"

#include <charconv>

namespace
{
    const char* const prefixes = "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
                                 "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                 "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                                 "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                                 "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                                 "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                                 "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
                                 "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
                                 "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                                 "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                 "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                 "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                 "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                                 "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                 "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
                                 "\n";

    juce::String iri (const juce::String& uri)
    {
        return "<" + uri + ">";
    }

    juce::String inputGroup (const Lv2TurtleWriter::Identity& identity)
    {
        return iri (identity.uri + "#input");
    }

    juce::String outputGroup (const Lv2TurtleWriter::Identity& identity)
    {
        return iri (identity.uri + "#output");
    }

    juce::String audioPort (const Lv2TurtleWriter::Identity& identity, uint32_t index)
    {
        const bool input = index == Lv2PortLayout::audioInLeft || index == Lv2PortLayout::audioInRight;
        const bool left = index == Lv2PortLayout::audioInLeft || index == Lv2PortLayout::audioOutLeft;
        const auto channel = juce::String (left ? 1 : 2);

        juce::String text;
        text << "        a lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
             << "        lv2:index " << (int) index << " ;\n"
             << "        lv2:symbol \"" << (input ? "audio_in_" : "audio_out_") << channel << "\" ;\n"
             << "        lv2:name \"" << (input ? "Audio In " : "Audio Out ") << channel << "\" ;\n"
             << "        pg:group " << (input ? inputGroup (identity) : outputGroup (identity)) << " ;\n"
             << "        lv2:designation pg:" << (left ? "left" : "right") << " ;\n";
        return text;
    }

    juce::String controlPort (const Lv2PortLayout::ControlPort& port)
    {
        juce::String text;
        text << "        a lv2:InputPort , lv2:ControlPort ;\n"
             << "        lv2:index " << (int) Lv2PortLayout::portOf (port.parameterIndex) << " ;\n"
             << "        lv2:symbol " << Lv2TurtleWriter::quoted (port.symbol) << " ;\n"
             << "        lv2:name " << Lv2TurtleWriter::quoted (port.name) << " ;\n"
             << "        lv2:default " << Lv2TurtleWriter::number (port.defaultValue) << " ;\n"
             << "        lv2:minimum " << Lv2TurtleWriter::number (port.minimum) << " ;\n"
             << "        lv2:maximum " << Lv2TurtleWriter::number (port.maximum) << " ;\n";

        if (port.unit != nullptr)
            text << "        units:unit units:" << port.unit << " ;\n";

        juce::StringArray properties;
        if (port.isLogarithmic())
            properties.add ("pprop:logarithmic");
        if (port.isToggle())
            properties.add ("lv2:toggled");
        if (port.isInteger())
            properties.add ("lv2:integer");
        if (port.isEnumeration())
            properties.add ("lv2:enumeration");
        if (! properties.isEmpty())
            text << "        lv2:portProperty " << properties.joinIntoString (" , ") << " ;\n";

        for (const auto& point : port.scalePoints)
            text << "        lv2:scalePoint [ rdfs:label " << Lv2TurtleWriter::quoted (point.label) << " ; rdf:value "
                 << Lv2TurtleWriter::number (point.value) << " ] ;\n";

        return text;
    }

    juce::String latencyPort()
    {
        juce::String text;
        text << "        a lv2:OutputPort , lv2:ControlPort ;\n"
             << "        lv2:index " << (int) Lv2PortLayout::latency << " ;\n"
             << "        lv2:symbol \"latency\" ;\n"
             << "        lv2:name \"Latency\" ;\n"
             << "        lv2:designation lv2:latency ;\n"
             << "        lv2:minimum 0 ;\n"
             << "        lv2:maximum 0 ;\n"
             << "        units:unit units:frame ;\n"
             << "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprop:notOnGUI ;\n";
        return text;
    }
} // namespace

juce::String Lv2TurtleWriter::number (float value)
{
    char digits[64]{};
    const auto written = std::to_chars (std::begin (digits), std::end (digits) - 1, value);
    juce::String text (digits, (size_t) (written.ptr - digits));

    // A decimal point keeps it an xsd:decimal (or an xsd:double when written with an exponent).
    if (! text.containsAnyOf (".eE"))
        text << ".0";
    return text;
}

juce::String Lv2TurtleWriter::quoted (const juce::String& text)
{
    return "\"" + text.replace ("\\", "\\\\").replace ("\"", "\\\"") + "\"";
}

juce::String Lv2TurtleWriter::manifest (const Identity& identity)
{
    juce::String text (prefixes);
    text << iri (identity.uri) << "\n"
         << "    a lv2:Plugin ;\n"
         << "    lv2:binary " << iri (identity.binaryName) << " ;\n"
         << "    rdfs:seeAlso " << iri (pluginFile) << " .\n\n"
         << iri (uiUri (identity)) << "\n"
         << "    a ui:X11UI ;\n"
         << "    lv2:binary " << iri (identity.binaryName) << " ;\n"
         << "    rdfs:seeAlso " << iri (uiFile) << " .\n";

    // Each preset is announced here, so hosts list them without loading the plug-in's description.
    for (int preset = 0; preset < FactoryPresets::count(); ++preset)
        text << "\n"
             << iri (presetUri (identity, preset)) << "\n"
             << "    a pset:Preset ;\n"
             << "    lv2:appliesTo " << iri (identity.uri) << " ;\n"
             << "    rdfs:seeAlso " << iri (presetsFile) << " .\n";
    return text;
}

juce::String Lv2TurtleWriter::plugin (const Identity& identity)
{
    juce::String text (prefixes);

    text << inputGroup (identity) << "\n"
         << "    a pg:StereoGroup , pg:InputGroup ;\n"
         << "    lv2:symbol \"input\" ;\n"
         << "    lv2:name \"Input\" .\n\n"
         << outputGroup (identity) << "\n"
         << "    a pg:StereoGroup , pg:OutputGroup ;\n"
         << "    lv2:symbol \"output\" ;\n"
         << "    lv2:name \"Output\" .\n\n";

    text << iri (identity.uri) << "\n"
         << "    a lv2:Plugin , lv2:EQPlugin , doap:Project ;\n"
         << "    doap:name " << quoted (identity.name) << " ;\n"
         << "    doap:maintainer [\n"
         << "        foaf:name " << quoted (identity.maker) << " ;\n"
         << "        foaf:homepage " << iri (identity.homepage) << "\n"
         << "    ] ;\n"
         << "    lv2:minorVersion " << identity.minorVersion << " ;\n"
         << "    lv2:microVersion " << identity.microVersion
         << " ;\n"
         // Nothing is required: hosts with few features (lv2apply, ffmpeg) run it too.
         << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options , bufsz:boundedBlockLength ;\n"
         << "    opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
         << "    lv2:extensionData state:interface ;\n"
         << "    ui:ui " << iri (uiUri (identity)) << " ;\n"
         << "    pg:mainInput " << inputGroup (identity) << " ;\n"
         << "    pg:mainOutput " << outputGroup (identity) << " ;\n"
         << "    lv2:port [\n";

    juce::StringArray ports;
    for (const auto index : { Lv2PortLayout::audioInLeft, Lv2PortLayout::audioInRight, Lv2PortLayout::audioOutLeft,
                              Lv2PortLayout::audioOutRight })
        ports.add (audioPort (identity, index));
    for (const auto& port : Lv2PortLayout::controls())
        ports.add (controlPort (port));
    ports.add (latencyPort());

    text << ports.joinIntoString ("    ] , [\n") << "    ] .\n";
    return text;
}

juce::String Lv2TurtleWriter::ui (const Identity& identity)
{
    juce::String text (prefixes);
    text << iri (uiUri (identity)) << "\n"
         << "    a ui:X11UI ;\n"
         << "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
         << "    lv2:optionalFeature ui:resize , ui:touch , ui:idleInterface ;\n"
         << "    lv2:extensionData ui:resize , ui:idleInterface .\n";
    return text;
}

juce::String Lv2TurtleWriter::presets (const Identity& identity)
{
    juce::String text (prefixes);

    for (int preset = 0; preset < FactoryPresets::count(); ++preset)
    {
        text << (preset > 0 ? "\n" : "") << iri (presetUri (identity, preset)) << "\n"
             << "    a pset:Preset ;\n"
             << "    lv2:appliesTo " << iri (identity.uri) << " ;\n"
             << "    rdfs:label " << quoted (FactoryPresets::name (preset)) << " ;\n"
             << "    lv2:port [\n";

        const auto values = FactoryPresets::values (preset);
        juce::StringArray ports;
        for (const auto& port : Lv2PortLayout::controls())
            ports.add ("        lv2:symbol " + quoted (port.symbol) + " ;\n        pset:value " +
                       number (Lv2PortLayout::portValueFromNormalised (port.parameterIndex,
                                                                       values[(size_t) port.parameterIndex])) +
                       "\n");

        text << ports.joinIntoString ("    ] , [\n") << "    ] .\n";
    }

    return text;
}

juce::String Lv2TurtleWriter::presetUri (const Identity& identity, int preset)
{
    if (preset == 0)
        return defaultPresetUri (identity);

    juce::String slug;
    for (auto c : FactoryPresets::name (preset).toLowerCase())
        slug << (juce::CharacterFunctions::isLetterOrDigit (c) && c < 128 ? juce::String::charToString (c) : "-");
    return identity.uri + "#preset-" + slug;
}

juce::String Lv2TurtleWriter::writeBundle (const Identity& identity, const juce::File& bundle)
{
    if (! bundle.createDirectory())
        return "cannot create the folder " + bundle.getFullPathName();

    const std::pair<const char*, juce::String> files[] = { { manifestFile, manifest (identity) },
                                                           { pluginFile, plugin (identity) },
                                                           { uiFile, ui (identity) },
                                                           { presetsFile, presets (identity) } };

    for (const auto& [name, text] : files)
    {
        const auto file = bundle.getChildFile (name);
        if (! file.replaceWithText (text, false, false, "\n"))
            return "cannot write " + file.getFullPathName();
    }

    return {};
}
