#pragma once

#include "state/PresetLibrary.h"
#include "state/SettingControls.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The right part of the footer: the current preset's name (a click opens the preset menu; a '*'
    marks a setting that differs from its preset), arrows to the previous and next preset, the two
    settings A and B with their copies, and undo and redo. It works on the plug-in's setting
    through SettingControls and keeps no setting of its own, so closing the window loses nothing.

    The preset menu lists the factory presets, then the user's presets (unreadable files named and
    greyed), then "Save", "Save as...", "Rename...", "Delete" and "Import EQ file...".
*/
class PresetFooter : public juce::Component, private juce::Timer
{
public:
    enum class Item
    {
        previous,
        name,
        next,
        slotA,
        slotB,
        copyAToB,
        copyBToA,
        undo,
        redo
    };

    static constexpr int naturalWidth = 472;

    PresetFooter();
    ~PresetFooter() override;

    /** Connects the footer to a setting and the folder of user presets; nullptr shows it inactive. */
    void setControls (SettingControls* controls, const juce::File& userPresetFolder);
    SettingControls* getControls() const noexcept { return controls; }

    /** Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo; returns whether the key was one of them. */
    bool handleKey (const juce::KeyPress& key);

    /** Runs what a click on an item does. */
    void click (Item item);

    /** Where an item lies in the footer. */
    juce::Rectangle<int> areaOf (Item item) const;

    /** The preset menu as it would open now. */
    juce::PopupMenu buildPresetMenu();

    /** Loads the preset before or after the current one in the menu's order (wrapping around). */
    void stepPreset (int delta);

    /** The text the name field shows now. */
    juce::String getShownName() const;

    // How the footer asks and tells; each can be replaced (the tests answer for the user).
    std::function<void (const juce::String& title, const juce::String& initialName,
                        std::function<void (const juce::String&)> onName)>
        askForName;
    std::function<void (const juce::String& question, std::function<void (bool)> onAnswer)> askToConfirm;
    std::function<void (const juce::String& title, const juce::String& message)> showMessage;
    std::function<void (std::function<void (const juce::File&)> onFile)> chooseEqualiserFile;

    // The menu's actions, also run by the tests.
    void saveCurrent();
    void saveAs (const juce::String& name);
    void renameCurrent (const juce::String& newName);
    void deleteCurrent();
    void importEqualiserFile (const juce::File& file);

    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& event) override;

private:
    struct Listed
    {
        juce::String name;
        PresetLibrary::Values values;
    };

    std::vector<Listed> listPresets() const;
    bool currentIsUserPreset() const;
    /** Why a preset may not take this name (empty, too long, a factory preset's), or empty. */
    juce::String problemWithNewName (const juce::String& name) const;
    /** Runs the action at once, or after the user agrees when another preset has the name. */
    void runAfterAskingToReplace (const juce::String& name, const juce::String& ownName, std::function<void()> action);
    void reportProblem (const juce::String& problem);
    void timerCallback() override;

    struct Shown
    {
        juce::String name;
        bool modified = false;
        int slot = 0;
        bool canUndo = false, canRedo = false;
        bool operator!= (const Shown& other) const
        {
            return name != other.name || modified != other.modified || slot != other.slot || canUndo != other.canUndo ||
                   canRedo != other.canRedo;
        }
    };
    Shown readState() const;

    SettingControls* controls = nullptr;
    std::unique_ptr<PresetLibrary> library;
    std::unique_ptr<juce::FileChooser> fileChooser;
    Shown shown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetFooter)
};
