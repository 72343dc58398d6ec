#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroSettings.h"
#include "services/KroDataFolder.h"
#include "text/GuardedXml.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using pages_test::ScopedEnvironmentVariable;
using pages_test::ScratchFolder;

namespace
{
    const std::vector<juce::String> rowIds{ "show_fft",  "fill_fft",    "rounded",    "show_peak",
                                            "peak_time", "meters_time", "band_info",  "show_guides",
                                            "win_size",  "use_opengl",  "btn_chkupd", "btn_support" };

    const std::map<juce::String, int> defaultValues{ { "show_fft", 1 },   { "fill_fft", 0 },    { "rounded", 0 },
                                                     { "show_peak", 0 },  { "peak_time", 1 },   { "meters_time", 2 },
                                                     { "band_info", 1 },  { "show_guides", 0 }, { "win_size", 2 },
                                                     { "use_opengl", 0 }, { "btn_chkupd", 0 },  { "btn_support", 0 } };

    struct Report
    {
        juce::String id;
        int value;
        bool operator== (const Report& other) const { return id == other.id && value == other.value; }
    };

    std::ostream& operator<< (std::ostream& out, const Report& r)
    {
        return out << "(" << r.id << ", " << r.value << ")";
    }

    int treeValue (const KroSettings& settings, const juce::String& id)
    {
        const auto row = settings.settingsTree.getChildWithName ("Parameters").getChildWithProperty ("ID", id);
        return row["Value"].toString().getIntValue();
    }

    std::map<juce::String, int> treeValues (const KroSettings& settings)
    {
        std::map<juce::String, int> values;
        for (const auto& id : rowIds)
            values[id] = treeValue (settings, id);
        return values;
    }

    /** The "Value" attribute of a row in the saved file, read as the file holds it. */
    juce::String savedValue (const juce::File& file, const juce::String& id)
    {
        const auto xml = juce::XmlDocument::parse (file);
        if (xml == nullptr)
            return "<no file>";
        if (const auto* parameters = xml->getChildByName ("Parameters"))
            if (const auto* item = parameters->getChildByAttribute ("ID", id))
                return item->getStringAttribute ("Value");
        return "<no row>";
    }

    template <typename Row>
    Row* rowOf (KroSettings& settings, const juce::String& id)
    {
        const auto index = (int) (std::find (rowIds.begin(), rowIds.end(), id) - rowIds.begin());
        return dynamic_cast<Row*> (settings.getRows()[index]);
    }

    template <typename Child>
    Child* childOf (juce::Component* component)
    {
        for (auto* child : component->getChildren())
            if (auto* found = dynamic_cast<Child*> (child))
                return found;
        return nullptr;
    }

    juce::ToggleButton& switchOf (KroSettings& settings, const juce::String& id)
    {
        return *childOf<juce::ToggleButton> (rowOf<juce::BooleanPropertyComponent> (settings, id));
    }

    juce::ComboBox& listOf (KroSettings& settings, const juce::String& id)
    {
        return *childOf<juce::ComboBox> (rowOf<juce::ChoicePropertyComponent> (settings, id));
    }

    juce::TextButton& buttonOf (KroSettings& settings, const juce::String& id)
    {
        return *childOf<juce::TextButton> (rowOf<KroSettings::BPC> (settings, id));
    }

    /** A settings file in the form the page writes, with the given (id, value) rows. */
    juce::String settingsXml (const std::vector<std::pair<juce::String, juce::String>>& rows)
    {
        juce::String xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>\n  <Parameters>\n";
        for (const auto& [id, value] : rows)
            xml << "    <Item ID=\"" << id << "\" Name=\"x\" Min=\"0\" Max=\"1\" Value=\"" << value
                << "\" Txt=\"\"/>\n";
        xml << "  </Parameters>\n</Settings>\n";
        return xml;
    }

    class SettingsPage : public testing::Test
    {
    protected:
        ScratchFolder scratch;
        // The data folder does not exist yet: the page has to create it.
        juce::File settingsFile = scratch.get().getChildFile ("Palvenmark/KroTrella/Settings.xml");
        std::vector<Report> reports;

        std::unique_ptr<KroSettings> makePage()
        {
            auto page = std::make_unique<KroSettings> (800, 580, settingsFile);
            page->onOptionChanged = [this] (juce::String id, int value) { reports.push_back ({ id, value }); };
            return page;
        }

        void writeSettings (const juce::String& content)
        {
            settingsFile.getParentDirectory().createDirectory();
            ASSERT_TRUE (settingsFile.replaceWithText (content));
        }
    };
} // namespace

//==============================================================================
TEST (SettingsDataFolder, FollowsAnAbsoluteXdgConfigHome)
{
    ScratchFolder scratch;
    const ScopedEnvironmentVariable config ("XDG_CONFIG_HOME", scratch.get().getFullPathName());

    EXPECT_EQ (KroSettings::getDefaultSettingsFile().getFullPathName(),
               scratch.get().getFullPathName() + "/Palvenmark/KroTrella/Settings.xml");
    EXPECT_EQ (KroDataFolder::get(), scratch.get().getChildFile ("Palvenmark").getChildFile ("KroTrella"));
}

TEST (SettingsDataFolder, IgnoresARelativeOrEmptyXdgConfigHome)
{
    // Only the paths are compared here; nothing is written to the real configuration folder.
    const auto frameworkFolder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
    const auto expected = frameworkFolder.getChildFile ("Palvenmark/KroTrella/Settings.xml");

    for (const juce::String value : { "relative/config", "" })
    {
        const ScopedEnvironmentVariable config ("XDG_CONFIG_HOME", value);
        EXPECT_EQ (KroSettings::getDefaultSettingsFile(), expected) << "XDG_CONFIG_HOME=\"" << value << "\"";
    }
}

TEST (SettingsDataFolder, TheDefaultPageCreatesTheFolderAtItsFirstWrite)
{
    ScratchFolder scratch;
    const auto configHome = scratch.get().getChildFile ("config");
    const ScopedEnvironmentVariable config ("XDG_CONFIG_HOME", configHome.getFullPathName());

    {
        KroSettings page (800, 580);
        EXPECT_FALSE (configHome.exists());
        switchOf (page, "show_peak").setToggleState (true, juce::sendNotificationSync);
    }

    EXPECT_EQ (savedValue (configHome.getChildFile ("Palvenmark/KroTrella/Settings.xml"), "show_peak"), "1");
}

//==============================================================================
TEST_F (SettingsPage, FirstStartShowsTheDefaultsAndWritesTheFileOnlyWhenDestroyed)
{
    auto page = makePage();

    ASSERT_EQ (page->getRows().size(), 12);
    EXPECT_EQ (treeValues (*page), defaultValues);
    EXPECT_TRUE (switchOf (*page, "show_fft").getToggleState());
    EXPECT_FALSE (switchOf (*page, "fill_fft").getToggleState());
    EXPECT_TRUE (switchOf (*page, "band_info").getToggleState());
    EXPECT_EQ (switchOf (*page, "use_opengl").getButtonText(), "Let your GPU deal with the UI tasks");
    EXPECT_EQ (listOf (*page, "peak_time").getText(), "2 seconds");
    EXPECT_EQ (listOf (*page, "meters_time").getText(), "1 second");
    EXPECT_EQ (listOf (*page, "win_size").getText(), "Normal");
    EXPECT_EQ (listOf (*page, "win_size").getNumItems(), 6);
    EXPECT_EQ (buttonOf (*page, "btn_chkupd").getButtonText(), "Click to check for updates");
    EXPECT_EQ (rowOf<KroSettings::BPC> (*page, "btn_support")->getName(), "Go to support website");

    // Twelve 30-pixel rows in a 600-pixel panel centred above the top edge.
    EXPECT_EQ (page->getOptionPanel().getBounds(), juce::Rectangle<int> (100, -360, 600, 360));
    EXPECT_EQ (page->getShownBounds(), juce::Rectangle<int> (100, 0, 600, 360));
    EXPECT_FALSE (page->isVisible());
    EXPECT_FALSE (settingsFile.exists());

    page.reset();

    const auto xml = juce::XmlDocument::parse (settingsFile);
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (settingsFile.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_EQ (xml->getTagName(), "Settings");
    ASSERT_EQ (xml->getNumChildElements(), 4);

    const auto* parameters = xml->getChildElement (0);
    ASSERT_EQ (parameters->getNumChildElements(), 12);
    const auto* first = parameters->getChildElement (0);
    EXPECT_EQ (first->getAttributeName (0), "ID");
    EXPECT_EQ (first->getAttributeName (5), "Txt");
    EXPECT_EQ (first->getStringAttribute ("Txt"), "Show frequency analyzer");

    const auto* windowSizes = xml->getChildElement (3);
    EXPECT_EQ (windowSizes->getStringAttribute ("For"), "win_size");
    ASSERT_EQ (windowSizes->getNumChildElements(), 6);
    EXPECT_EQ (windowSizes->getChildElement (5)->getStringAttribute ("Name"), "Extra Large");
    EXPECT_DOUBLE_EQ (windowSizes->getChildElement (5)->getDoubleAttribute ("Value"), 1.5);
    EXPECT_EQ (xml->getChildElement (2)->getChildElement (3)->getStringAttribute ("Value"), "2000");
}

TEST_F (SettingsPage, SwitchAndListChangesAreSavedBeforeTheyAreReported)
{
    auto page = makePage();
    juce::StringArray savedWhenReported;
    page->onOptionChanged = [&] (juce::String id, int value)
    {
        reports.push_back ({ id, value });
        savedWhenReported.add (savedValue (settingsFile, id));
    };

    auto& analyzerSwitch = switchOf (*page, "show_fft");
    analyzerSwitch.triggerClick();
    pumpMessagesUntil ([&] { return ! reports.empty(); });

    listOf (*page, "peak_time").setSelectedId (3, juce::sendNotificationSync); // "3 seconds"

    EXPECT_EQ (reports, (std::vector<Report>{ { "show_fft", 0 }, { "peak_time", 2 } }));
    EXPECT_EQ (savedWhenReported, (juce::StringArray{ "0", "2" }));
    EXPECT_EQ (savedValue (settingsFile, "show_fft"), "0");
    EXPECT_EQ (savedValue (settingsFile, "peak_time"), "2");
    EXPECT_EQ (savedValue (settingsFile, "fill_fft"), "0");
}

TEST_F (SettingsPage, ButtonRowsReportMinusOneWithoutWritingTheFile)
{
    auto page = makePage();

    for (const auto* id : { "btn_chkupd", "btn_support" })
    {
        auto& button = buttonOf (*page, id);
        EXPECT_FALSE (button.getTriggeredOnMouseDown()) << id;
        button.triggerClick();
    }
    pumpMessagesUntil ([&] { return reports.size() == 2; });

    EXPECT_EQ (reports, (std::vector<Report>{ { "btn_chkupd", -1 }, { "btn_support", -1 } }));
    EXPECT_FALSE (settingsFile.exists());
    EXPECT_EQ (treeValue (*page, "btn_chkupd"), 0);
}

TEST_F (SettingsPage, WithoutACallbackChangesAreStillSavedAndButtonsDoNothing)
{
    auto page = std::make_unique<KroSettings> (800, 580, settingsFile);

    buttonOf (*page, "btn_support").triggerClick();
    pumpMessages (50);
    EXPECT_FALSE (settingsFile.exists());

    listOf (*page, "win_size").setSelectedId (6, juce::sendNotificationSync);
    EXPECT_EQ (savedValue (settingsFile, "win_size"), "5");
}

//==============================================================================
struct MergeCase
{
    const char* name;
    std::vector<std::pair<juce::String, juce::String>> fileRows;
    std::map<juce::String, int> changedFromDefaults;
};

std::ostream& operator<< (std::ostream& out, const MergeCase& c)
{
    return out << c.name;
}

class SettingsMerge : public SettingsPage, public testing::WithParamInterface<MergeCase>
{
};

TEST_P (SettingsMerge, TakesOverOnlyValuesOfRowsMatchingByPositionAndId)
{
    writeSettings (settingsXml (GetParam().fileRows));
    const auto page = makePage();

    auto expected = defaultValues;
    for (const auto& [id, value] : GetParam().changedFromDefaults)
        expected[id] = value;

    EXPECT_EQ (treeValues (*page), expected);
    EXPECT_TRUE (reports.empty()) << "loading reports nothing";
}

INSTANTIATE_TEST_SUITE_P (
    Table, SettingsMerge,
    testing::Values (MergeCase{ "EveryRowOfTheCurrentTable",
                                { { "show_fft", "0" },
                                  { "fill_fft", "1" },
                                  { "rounded", "1" },
                                  { "show_peak", "1" },
                                  { "peak_time", "0" },
                                  { "meters_time", "3" },
                                  { "band_info", "0" },
                                  { "show_guides", "1" },
                                  { "win_size", "5" },
                                  { "use_opengl", "1" },
                                  { "btn_chkupd", "0" },
                                  { "btn_support", "0" } },
                                { { "show_fft", 0 },
                                  { "fill_fft", 1 },
                                  { "rounded", 1 },
                                  { "show_peak", 1 },
                                  { "peak_time", 0 },
                                  { "meters_time", 3 },
                                  { "band_info", 0 },
                                  { "show_guides", 1 },
                                  { "win_size", 5 },
                                  { "use_opengl", 1 } } },
                     MergeCase{ "OnlyTheThirdRowMatches",
                                { { "old_option", "0" }, { "show_fft", "1" }, { "rounded", "1" } },
                                { { "rounded", 1 } } },
                     MergeCase{ "ReorderedRowsAreIgnored", { { "fill_fft", "1" }, { "show_fft", "0" } }, {} },
                     MergeCase{ "AShorterTableKeepsDefaultsForMissingRows",
                                { { "show_fft", "0" }, { "fill_fft", "1" } },
                                { { "show_fft", 0 }, { "fill_fft", 1 } } },
                     MergeCase{ "ListIndicesOutsideTheListKeepTheDefault",
                                { { "show_fft", "1" },
                                  { "fill_fft", "0" },
                                  { "rounded", "0" },
                                  { "show_peak", "0" },
                                  { "peak_time", "7" },
                                  { "meters_time", "-1" },
                                  { "band_info", "1" },
                                  { "show_guides", "0" },
                                  { "win_size", "999999999999" } },
                                {} },
                     MergeCase{ "SwitchesBecomeZeroOrOneAndTextReadsAsZero",
                                { { "show_fft", "abc" },
                                  { "fill_fft", "5" },
                                  { "rounded", "-3" },
                                  { "show_peak", " 1 " },
                                  { "peak_time", "two" } },
                                { { "show_fft", 0 }, { "fill_fft", 1 }, { "show_peak", 1 }, { "peak_time", 0 } } },
                     MergeCase{ "ButtonRowsStayZero",
                                { { "show_fft", "1" },
                                  { "fill_fft", "0" },
                                  { "rounded", "0" },
                                  { "show_peak", "0" },
                                  { "peak_time", "1" },
                                  { "meters_time", "2" },
                                  { "band_info", "1" },
                                  { "show_guides", "0" },
                                  { "win_size", "2" },
                                  { "use_opengl", "0" },
                                  { "btn_chkupd", "7" },
                                  { "btn_support", "-1" } },
                                {} }),
    [] (const testing::TestParamInfo<MergeCase>& paramInfo) { return std::string (paramInfo.param.name); });

TEST_F (SettingsPage, NamesLimitsTextsAndListsAlwaysComeFromTheBuiltInTable)
{
    writeSettings (R"(<?xml version="1.0" encoding="UTF-8"?>
<Settings>
  <Parameters>
    <Item ID="show_fft" Name="Hacked" Min="-5" Max="9" Value="0" Txt="evil"/>
  </Parameters>
  <Choices For="peak_time"><Item Name="forever" Value="99"/></Choices>
</Settings>)");
    const auto page = makePage();

    const auto row = page->settingsTree.getChildWithName ("Parameters").getChild (0);
    EXPECT_EQ (row["Name"].toString(), "Show analyzer");
    EXPECT_EQ ((int) row["Max"], 1);
    EXPECT_EQ (row["Txt"].toString(), "Show frequency analyzer");
    EXPECT_EQ ((int) row["Value"], 0);
    EXPECT_EQ (page->settingsTree.getChild (1).getChild (0)["Name"].toString(), "1 second");
    EXPECT_EQ (listOf (*page, "peak_time").getText(), "2 seconds");
}

TEST_F (SettingsPage, AListIndexOutsideItsListStillShowsAnEntryAndCanBeChanged)
{
    writeSettings (settingsXml (
        { { "show_fft", "1" }, { "fill_fft", "0" }, { "rounded", "0" }, { "show_peak", "0" }, { "peak_time", "-4" } }));
    auto page = makePage();

    auto& list = listOf (*page, "peak_time");
    EXPECT_EQ (list.getText(), "2 seconds");
    list.setSelectedId (1, juce::sendNotificationSync);
    EXPECT_EQ (reports, (std::vector<Report>{ { "peak_time", 0 } }));
}

//==============================================================================
class SettingsMalformedFile : public SettingsPage, public testing::WithParamInterface<const char*>
{
};

TEST_P (SettingsMalformedFile, OpensWithTheDefaultsAndIsReplacedByAValidFile)
{
    const juce::String content (GetParam());
    if (content == "<huge>")
        writeSettings (settingsXml ({ { "show_fft", "0" } }) + "<!--" + juce::String::repeatedString ("x", 1100000) +
                       "-->");
    else if (content == "<deep>") // 100 000 nested elements: more than the parser's recursion can take
        writeSettings (settingsXml ({ { "show_fft", "0" } }).replace ("</Settings>", "") +
                       juce::String::repeatedString ("<x>", 100000) + juce::String::repeatedString ("</x>", 100000) +
                       "</Settings>");
    else
        writeSettings (content);

    auto page = makePage();
    EXPECT_EQ (treeValues (*page), defaultValues);
    EXPECT_EQ (page->getRows().size(), 12);

    page.reset();
    EXPECT_EQ (savedValue (settingsFile, "show_fft"), "1");
    EXPECT_EQ (savedValue (settingsFile, "win_size"), "2");
}

INSTANTIATE_TEST_SUITE_P (
    Files, SettingsMalformedFile,
    testing::Values ("", "   \n", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Settings>\n  <Param",
                     "<?xml version=\"1.0\"?><Settings><Parameters><Item ID=\"show_fft\" Value=\"0\"",
                     "show_fft=0\nwin_size=5\n", "\x89PNG\r\n\x1a\n\xff\xfe\x01",
                     "<Settings version=\"2\"><Options><Option id=\"show_fft\" value=\"0\"/></Options></Settings>",
                     "<Parameters><Item ID=\"show_fft\" Value=\"0\"/></Parameters>", "<huge>", "<deep>"));

TEST_F (SettingsPage, TheFuzzersSeedsAndFindingsOpenSafely)
{
    // Every file the settings fuzzer starts from, crash reproducers included: the page opens with
    // values its rows can hold, and a file refused as unsafe to parse leaves every default.
    const auto files = juce::File (KRO_FUZZ_SEEDS_DIR "/settings").findChildFiles (juce::File::findFiles, false);
    ASSERT_FALSE (files.isEmpty());

    for (const auto& file : files)
    {
        writeSettings (file.loadFileAsString());
        const auto page = makePage();
        const std::map<juce::String, int> highest{ { "show_fft", 1 },   { "fill_fft", 1 },    { "rounded", 1 },
                                                   { "show_peak", 1 },  { "peak_time", 2 },   { "meters_time", 3 },
                                                   { "band_info", 1 },  { "show_guides", 1 }, { "win_size", 5 },
                                                   { "use_opengl", 1 }, { "btn_chkupd", 0 },  { "btn_support", 0 } };
        for (const auto& [id, value] : treeValues (*page))
            EXPECT_TRUE (value >= 0 && value <= highest.at (id)) << file.getFileName() << " " << id;
        if (! GuardedXml::isSafeToParse (file.loadFileAsString()))
        {
            EXPECT_EQ (treeValues (*page), defaultValues) << file.getFileName();
        }
    }
}

TEST_F (SettingsPage, AnotherVersionsFileKeepsTheValuesOfRowsThatStillMatch)
{
    writeSettings (R"(<?xml version="1.0" encoding="UTF-8"?>
<Settings version="0.9">
  <Parameters>
    <Item ID="show_fft" Value="0"/>
    <Item ID="fill_fft" Value="1"/>
    <Item ID="smooth" Value="1"/>
    <Item ID="show_peak" Value="1"/>
    <Item ID="theme" Value="3"/>
  </Parameters>
</Settings>)");
    const auto page = makePage();

    auto expected = defaultValues;
    expected["show_fft"] = 0;
    expected["fill_fft"] = 1;
    expected["show_peak"] = 1;
    EXPECT_EQ (treeValues (*page), expected);
}

//==============================================================================
TEST_F (SettingsPage, AFolderThatCannotBeCreatedLosesTheChangeQuietly)
{
    // A regular file stands where the data folder should be.
    ASSERT_TRUE (scratch.get().getChildFile ("Palvenmark").replaceWithText ("not a folder"));
    auto page = makePage();

    switchOf (*page, "rounded").setToggleState (true, juce::sendNotificationSync);
    page.reset();

    EXPECT_EQ (reports, (std::vector<Report>{ { "rounded", 1 } }));
    EXPECT_FALSE (settingsFile.exists());
}

TEST_F (SettingsPage, AFailedWriteLeavesThePreviousFileIntact)
{
    // The temporary file is named after the target plus a suffix; with a target name this long the
    // temporary name exceeds the file system's limit, so every write fails before the rename. This
    // works even for a user who may write anywhere.
    settingsFile = scratch.get().getChildFile (juce::String::repeatedString ("s", 240) + ".xml");
    const auto previous = settingsXml ({ { "show_fft", "0" }, { "fill_fft", "1" } });
    {
        // Written in place: replaceWithText would itself go through a temporary file.
        juce::FileOutputStream out (settingsFile);
        ASSERT_TRUE (out.openedOk());
        out << previous;
    }

    auto page = makePage();
    ASSERT_EQ (treeValue (*page, "fill_fft"), 1);
    switchOf (*page, "fill_fft").setToggleState (false, juce::sendNotificationSync);
    page.reset();

    EXPECT_EQ (reports, (std::vector<Report>{ { "fill_fft", 0 } }));
    EXPECT_EQ (settingsFile.loadFileAsString(), previous);
    EXPECT_EQ (scratch.get().getNumberOfChildFiles (juce::File::findFiles), 1) << "no temporary file is left behind";
}

//==============================================================================
class SettingsWindow : public SettingsPage
{
protected:
    std::unique_ptr<KroSettings> page = makePage();

    void openAndSettle()
    {
        page->Open();
        ASSERT_TRUE (pages_test::waitForAnimations());
    }

    bool hiddenAfterTheDelay()
    {
        return pumpMessagesUntil ([this] { return ! page->isVisible(); }, 1000);
    }
};

TEST_F (SettingsWindow, OpenSlidesThePanelDownOverAVisibleVeil)
{
    pages_test::DesktopWindow window (*page);
    page->setVisible (false);

    openAndSettle();

    EXPECT_TRUE (page->isVisible());
    EXPECT_TRUE (page->getOptionPanel().isVisible());
    EXPECT_EQ (page->getOptionPanel().getBounds(), juce::Rectangle<int> (100, 0, 600, 360));
    EXPECT_TRUE (page->getBackgroundCover().isVisible());
    EXPECT_FLOAT_EQ (page->getBackgroundCover().getAlpha(), 1.0f);
}

TEST_F (SettingsWindow, AClickOnTheVeilClosesAndAClickOnThePanelDoesNot)
{
    pages_test::DesktopWindow window (*page);
    openAndSettle();

    window.clickAt ({ 105, 10 });  // the label part of the first row
    window.clickAt ({ 650, 359 }); // the bottom edge of the last row
    pumpMessages (400);
    EXPECT_TRUE (page->isVisible());
    EXPECT_TRUE (reports.empty());

    window.clickAt ({ 400, 500 }); // the veil below the panel
    EXPECT_TRUE (page->isVisible()) << "the page covers the window until the panel has slid out";
    EXPECT_TRUE (hiddenAfterTheDelay());
    pages_test::waitForAnimations();
    EXPECT_EQ (page->getOptionPanel().getBounds(), juce::Rectangle<int> (100, -360, 600, 360));
}

TEST_F (SettingsWindow, AClickOnTheVeilBesideThePanelCloses)
{
    pages_test::DesktopWindow window (*page);
    openAndSettle();

    window.clickAt ({ 50, 100 });
    EXPECT_TRUE (hiddenAfterTheDelay());
}

TEST_F (SettingsWindow, EscapeClosesAndIsStillOfferedToOtherListeners)
{
    pages_test::DesktopWindow window (*page);
    openAndSettle();

    EXPECT_FALSE (page->keyPressed (juce::KeyPress ('a'), page.get()));
    pumpMessages (300);
    EXPECT_TRUE (page->isVisible());

    ASSERT_NE (page->getPeer(), nullptr);
    page->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_TRUE (hiddenAfterTheDelay());
    EXPECT_FALSE (page->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey), page.get()));
}

TEST_F (SettingsWindow, ReopeningDuringTheCloseKeepsThePageOpen)
{
    pages_test::DesktopWindow window (*page);
    openAndSettle();

    page->Close();
    pumpMessages (100);
    page->Open();
    pumpMessages (400);

    EXPECT_TRUE (page->isVisible());
    EXPECT_EQ (page->getOptionPanel().getBounds(), page->getShownBounds());
}

TEST_F (SettingsWindow, ThePendingHideDoesNothingOnceThePageIsGone)
{
    {
        pages_test::DesktopWindow window (*page);
        openAndSettle();
        page->Close();
    }
    page.reset();
    pumpMessages (400); // the delayed hide fires here and must find no page
    EXPECT_TRUE (settingsFile.existsAsFile());
}

TEST_F (SettingsWindow, RenderedOpenPageShowsTheVeilAndThePanelRows)
{
    // A grey stand-in for the main screen beneath the page.
    struct Screen : juce::Component
    {
        void paint (juce::Graphics& g) override { g.fillAll (juce::Colour (0xff808080)); }
    } screen;
    screen.setSize (800, 580);
    screen.addChildComponent (*page);
    page->setTopLeftPosition (0, 0);

    openAndSettle();
    const auto image = ui_test::snapshotOf (screen);
    pages_test::saveRendered (image, "settings-open");

    // Veil: black at alpha 202 over the grey.
    const auto veil = juce::Colour (0xff808080).overlaidWith (juce::Colour (0xca000000));
    EXPECT_TRUE (ui_test::pixelNear (image, 400, 500, veil));
    EXPECT_TRUE (ui_test::pixelNear (image, 50, 100, veil));
    EXPECT_TRUE (ui_test::pixelNear (image, 750, 10, veil));

    // Row background 0xa0473b47 over the veil, at the left end of the first and the last row.
    const auto rowBackground = veil.overlaidWith (juce::Colour (0xa0473b47));
    EXPECT_TRUE (ui_test::pixelNear (image, 101, 2, rowBackground, 3));
    EXPECT_TRUE (ui_test::pixelNear (image, 101, 332, rowBackground, 3));

    // Every row holds a label: ink in the label column of each 30-pixel row.
    for (int row = 0; row < 12; ++row)
        EXPECT_FALSE (ui_test::inkBounds (image, { 100, row * 30 + 2, 200, 26 }, rowBackground, 80).isEmpty())
            << "row " << row;

    // Nothing is drawn below the panel but the veil.
    EXPECT_TRUE (ui_test::inkBounds (image, { 0, 361, 800, 219 }, veil, 2).isEmpty());

    page->setVisible (false);
}
