#pragma once

#include "PresetDocument.h"

#include <juce_core/juce_core.h>

#include <array>

/** One of the two settings A and B: its values, and the preset it was last loaded from (or saved
    as), with that preset's values, so the window can mark a setting that differs from its preset.
*/
struct PresetSlot
{
    PresetDocument::Values values{};
    juce::String presetName;
    PresetDocument::Values presetValues{};

    bool operator== (const PresetSlot& other) const
    {
        return values == other.values && presetName == other.presetName && presetValues == other.presetValues;
    }
    bool operator!= (const PresetSlot& other) const { return ! operator== (other); }
};

/** Everything an undo step restores: both settings and which of them is heard. The active slot's
    values are the parameters' values at the moment the snapshot was taken.
*/
struct SettingSnapshot
{
    std::array<PresetSlot, 2> slots{};
    int activeSlot = 0;

    const PresetSlot& active() const noexcept { return slots[(size_t) activeSlot]; }

    bool operator== (const SettingSnapshot& other) const
    {
        return slots == other.slots && activeSlot == other.activeSlot;
    }
    bool operator!= (const SettingSnapshot& other) const { return ! operator== (other); }
};
