#pragma once

#include "../pages/PagesTestSupport.h"
#include "../support/ScratchFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <initializer_list>
#include <utility>

/** Helpers shared by the tests of the main screen and the editor window. */
namespace screen_test
{
    /** Points the data folder (XDG_CONFIG_HOME) at a fresh folder for the lifetime of the object, so
        the settings file starts missing and nothing a test saves reaches another test.
    */
    class FreshDataFolder
    {
    public:
        FreshDataFolder();

    private:
        ScratchFolder folder;
        pages_test::ScopedEnvironmentVariable variable;
    };

    /** Writes a settings file into the current data folder: the default options with these values,
        stored as given (even ones the page would refuse; a void value leaves the row without one).
    */
    void saveOptions (std::initializer_list<std::pair<const char*, juce::var>> values);

    /** The value of an option row in a settings tree. */
    juce::var optionValue (const juce::ValueTree& settingsTree, const juce::String& id);

    /** Sets an option row in a settings tree, as a change on the settings page does. */
    void setOption (juce::ValueTree settingsTree, const juce::String& id, const juce::var& value);
} // namespace screen_test
