#pragma once

#include <juce_core/juce_core.h>

/** Writes the LV2 bundle's description (Turtle) from Lv2PortLayout, so that names, ranges,
    defaults and labels can never drift from the code:

    - "manifest.ttl": the plug-in, its window and its presets, and where each is described;
    - "KroTrella.ttl": the plug-in with its ports, features and extensions;
    - "KroTrella_ui.ttl": the X11 window;
    - "presets.ttl": the factory presets as port values; the first, "Default", is the engine's
      initial setting.
*/
class Lv2TurtleWriter
{
public:
    struct Identity
    {
        juce::String uri;        // the plug-in's URI
        juce::String binaryName; // the shared library in the bundle, for example "KroTrella.so"
        juce::String name;       // "KroTrella"
        juce::String maker;      // "Palvenmark"
        juce::String homepage;   // "https://www.palvenmark.com"
        int minorVersion = 0, microVersion = 0;
    };

    static constexpr const char* manifestFile = "manifest.ttl";
    static constexpr const char* pluginFile = "KroTrella.ttl";
    static constexpr const char* uiFile = "KroTrella_ui.ttl";
    static constexpr const char* presetsFile = "presets.ttl";

    static juce::String manifest (const Identity& identity);
    static juce::String plugin (const Identity& identity);
    static juce::String ui (const Identity& identity);
    static juce::String presets (const Identity& identity);

    /** Writes the four files into a bundle folder; an error message, or empty when all went well. */
    static juce::String writeBundle (const Identity& identity, const juce::File& bundle);

    /** A float as a Turtle decimal that reads back as exactly the same float ("120.0", "0.1"). */
    static juce::String number (float value);

    /** Text as a quoted Turtle string. */
    static juce::String quoted (const juce::String& text);

    static juce::String uiUri (const Identity& identity) { return identity.uri + "#ui"; }
    static juce::String defaultPresetUri (const Identity& identity) { return identity.uri + "#preset-default"; }

    /** The URI of a factory preset: "#preset-default" for the first, otherwise "#preset-" and the
        name in lower case with every character but letters and digits as '-'.
    */
    static juce::String presetUri (const Identity& identity, int preset);
};
