#pragma once

#include "PresetDocument.h"

#include <juce_core/juce_core.h>

/** What the window asks of the plug-in's setting beyond single parameters: presets, the two
    settings A and B, and undo. The plug-in's processor answers; every call is on the message
    thread. Each action the user takes here is one undo step and reaches the host as an edit of
    every parameter it changes, with begin and end gestures.
*/
class SettingControls
{
public:
    using Values = PresetDocument::Values;

    virtual ~SettingControls() = default;

    /** The parameters' values now. */
    virtual Values getCurrentValues() const = 0;

    /** The preset the current setting was last loaded from or saved as; empty for none. */
    virtual juce::String getPresetName() const = 0;

    /** Whether the current setting differs from the values of its preset. */
    virtual bool differsFromPreset() const = 0;

    /** Loads a setting as the named preset. */
    virtual void loadPreset (const juce::String& name, const Values& values) = 0;

    /** Names the current setting after a preset just saved from it (changes no value and is no edit). */
    virtual void setPresetName (const juce::String& name) = 0;

    /** 0 for A, 1 for B. */
    virtual int getActiveSlot() const = 0;
    virtual void switchToSlot (int slot) = 0;
    virtual void copySlot (int from, int to) = 0;

    virtual bool canUndo() const = 0;
    virtual bool canRedo() const = 0;
    virtual void undo() = 0;
    virtual void redo() = 0;
};
