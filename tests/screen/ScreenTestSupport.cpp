#include "ScreenTestSupport.h"

#include "pages/KroSettings.h"

namespace screen_test
{
    FreshDataFolder::FreshDataFolder()
        : variable ("XDG_CONFIG_HOME", folder.get().getFullPathName())
    {
    }

    void saveOptions (std::initializer_list<std::pair<const char*, juce::var>> values)
    {
        // Written directly: a page would refuse some of the values before they reach the file.
        juce::ValueTree tree;
        {
            const KroSettings page (800, 580);
            tree = page.settingsTree.createCopy();
        }

        for (const auto& [id, value] : values)
        {
            auto row = tree.getChildWithName ("Parameters").getChildWithProperty ("ID", id);
            if (value.isVoid())
                row.removeProperty ("Value", nullptr);
            else
                row.setProperty ("Value", value, nullptr);
        }

        const auto file = KroSettings::getDefaultSettingsFile();
        file.getParentDirectory().createDirectory();
        tree.createXml()->writeTo (file);
    }

    juce::var optionValue (const juce::ValueTree& settingsTree, const juce::String& id)
    {
        return settingsTree.getChildWithName ("Parameters").getChildWithProperty ("ID", id)["Value"];
    }

    void setOption (juce::ValueTree settingsTree, const juce::String& id, const juce::var& value)
    {
        settingsTree.getChildWithName ("Parameters")
            .getChildWithProperty ("ID", id)
            .setProperty ("Value", value, nullptr);
    }
} // namespace screen_test
