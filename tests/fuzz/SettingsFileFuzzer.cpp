// Opens the settings page on an arbitrary "Settings.xml" and checks that every option the page
// takes over is one its row can hold, and that a file refused as unsafe leaves every default.

#include "FuzzSupport.h"
#include "pages/KroSettings.h"
#include "text/GuardedXml.h"

namespace
{
    juce::File settingsFile;
    juce::ValueTree defaults;
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::startFramework();
    settingsFile = juce::File::createTempFile ("Settings.xml");
    std::atexit ([] { settingsFile.deleteFile(); });
    defaults = KroSettings (800, 580, settingsFile).settingsTree.createCopy();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    settingsFile.replaceWithData (data, size);
    const auto text = settingsFile.loadFileAsString();
    const bool refused = ! GuardedXml::isSafeToParse (text);

    // Opening the page is slow; it is worth it for files the page reads and for files it must refuse.
    // Any other file is not XML, and the page never gets past reading it.
    if (! refused && GuardedXml::parse (text) == nullptr)
        return 0;

    {
        const KroSettings page (800, 580, settingsFile);
        const auto rows = page.settingsTree.getChildWithName ("Parameters");
        fuzz::check (rows.getNumChildren() == defaults.getChildWithName ("Parameters").getNumChildren(),
                     "the page lost or gained a row");

        for (const auto& row : rows)
        {
            const int value = row["Value"].toString().getIntValue();
            const int max = row["Max"].toString().getIntValue();
            fuzz::check (value >= 0 && value <= max, "an option value its row cannot hold"); // buttons: max 0
        }

        if (refused)
            fuzz::check (page.settingsTree.isEquivalentTo (defaults), "a refused file changed an option");
    }

    fuzz::deliverPendingMessages();
    return 0;
}
