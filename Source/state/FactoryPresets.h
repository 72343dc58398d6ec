#pragma once

#include "PresetDocument.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

/** The settings that ship with the plug-in: starting points named for their purpose. Entry 0 is
    "Default", the engine's initial setting, so program 0 behaves as the plug-in always has.

    Each setting is written as the texts a user would type ("band2_gain=-3 dB"), read through the
    parameter texts on top of the initial setting, so every value is one a knob can show.
*/
class FactoryPresets
{
public:
    using Values = PresetDocument::Values;

    /** The number of settings, "Default" included. */
    static int count() noexcept;

    /** The name of a setting ("Default", "Vocal Presence", ...); empty outside 0..count-1. */
    static juce::String name (int index);

    /** The normalised values of a setting (the initial setting outside 0..count-1). */
    static Values values (int index);

    /** The index of the setting whose name equals the given one, ignoring case, if any. */
    static std::optional<int> find (const juce::String& name);

    /** The engine's initial setting as normalised values. */
    static Values initialValues();

    /** One assignment of a setting, as written: the parameter id and the text of its value. */
    struct Assignment
    {
        const char* id;
        const char* value;
    };

    /** The assignments of a setting as written (for the tests that check every one is understood). */
    static std::vector<Assignment> assignments (int index);
};
