#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroInlineHelp.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
    const juce::String filler =
        juce::String::repeatedString ("Some words to make the page long enough to scroll.<br>", 60);

    const std::map<juce::String, juce::String> fakePages{
        { "help_0_htm", "<h2>Start page</h2><a href=\"help_1.htm\">one</a> <a href=\"gone.htm\">gone</a> "
                        "<a href=\"https://example.com/help\">web</a><br>" },
        { "help_1_htm", "Page one <a href=\"help_2.htm\">two</a><br>" + filler + "<a href=\"help_2.htm\">end two</a>" },
        { "help_2_htm", "Page two <a href=\"help_0.htm\">home</a><br>" + filler },
    };

    class HelpViewer : public testing::Test
    {
    protected:
        KroInlineHelp help;
        juce::StringArray browserCalls;

        void SetUp() override
        {
            help.pageSource = [] (const juce::String& resourceName)
            {
                const auto page = fakePages.find (resourceName);
                return page != fakePages.end() ? page->second : juce::String();
            };
            help.setBounds (0, 0, 800, 580);
            help.getHtmlView().openWebLink = [this] (const juce::String& address) { browserCalls.add (address); };
        }

        juce::TextEditor& editor() { return help.getHtmlView().getEditor(); }

        juce::String pageOnShow() { return editor().getText().upToFirstOccurrenceOf ("\n", false, false); }

        void clickLink (const juce::String& text)
        {
            const auto start = editor().getText().indexOf (text);
            ASSERT_GE (start, 0) << text;
            const auto centre = editor().getTextBounds ({ start, start + text.length() }).getBounds().getCentre();
            help.getHtmlView().mouseUp (ui_test::mouseEventAt (editor(), centre.toFloat()));
        }

        void pressBack()
        {
            auto& back = help.getBackButton();
            back.mouseUp (ui_test::mouseEventAt (back, { 60.0f, 15.0f }));
        }

        /** Where the first character is drawn: the same for every page shown from its top. */
        int firstLineY() { return editor().getTextBounds ({ 0, 1 }).getBounds().getY(); }
    };

    struct Step
    {
        const char* action; // "open", "back" or the text of a link to click
        juce::StringArray history;
        bool backEnabled;
        const char* pageOnShow;
    };
} // namespace

TEST_F (HelpViewer, HistoryAndBackFollowTheLinksAndGoBackOneByOne)
{
    const Step steps[] = {
        { "open", { "help_0.htm" }, false, "Start page" },
        { "one", { "help_0.htm", "help_1.htm" }, true, "Page one two" },
        { "two", { "help_0.htm", "help_1.htm", "help_2.htm" }, true, "Page two home" },
        { "back", { "help_0.htm", "help_1.htm" }, true, "Page one two" },
        { "back", { "help_0.htm" }, false, "Start page" },
        { "back", { "help_0.htm" }, false, "Start page" },            // disabled: nothing happens
        { "gone", { "help_0.htm", "gone.htm" }, true, "Start page" }, // missing page: the page stays
        { "back", { "help_0.htm" }, false, "Start page" },
        { "web", { "help_0.htm" }, false, "Start page" }, // to the browser, not the history
        { "one", { "help_0.htm", "help_1.htm" }, true, "Page one two" },
        { "open", { "help_0.htm" }, false, "Start page" }, // HELP again starts afresh
    };

    for (const auto& step : steps)
    {
        const juce::String action (step.action);

        if (action == "open")
            help.Open();
        else if (action == "back")
            pressBack();
        else
            clickLink (action);

        EXPECT_EQ (help.getHistory(), step.history) << "after " << step.action;
        EXPECT_EQ (help.getBackButton().isEnabled(), step.backEnabled) << "after " << step.action;
        EXPECT_EQ (pageOnShow(), step.pageOnShow) << "after " << step.action;
    }

    EXPECT_EQ (browserCalls, juce::StringArray ("https://example.com/help"));
}

TEST_F (HelpViewer, EveryPageIsShownFromItsTop)
{
    // Where a viewer that has never scrolled draws the first character of a page.
    const auto topOfFreshPage = [this] (const juce::String& page)
    {
        KroInlineHelp fresh;
        fresh.pageSource = help.pageSource;
        fresh.setBounds (0, 0, 800, 580);
        fresh.loadPage (page);
        return fresh.getHtmlView().getEditor().getTextBounds ({ 0, 1 }).getBounds().getY();
    };

    help.Open();
    clickLink ("one");
    editor().moveCaretToEnd(); // the reader scrolls to the bottom of page one
    ASSERT_LT (firstLineY(), topOfFreshPage ("help_1.htm") - 200);

    clickLink ("end two");
    EXPECT_EQ (pageOnShow(), "Page two home");
    EXPECT_EQ (firstLineY(), topOfFreshPage ("help_2.htm"));

    editor().moveCaretToEnd();
    help.Open();
    EXPECT_EQ (pageOnShow(), "Start page");
    EXPECT_EQ (firstLineY(), topOfFreshPage ("help_0.htm"));
}

TEST_F (HelpViewer, AMissingFirstPageStillOpensTheViewer)
{
    help.pageSource = [] (const juce::String&) { return juce::String(); };
    juce::Component parent;
    parent.setSize (800, 580);
    parent.addChildComponent (help);

    help.Open();

    EXPECT_TRUE (help.isVisible());
    EXPECT_EQ (editor().getText(), "");
    EXPECT_EQ (help.getHistory(), juce::StringArray ("help_0.htm"));
    pages_test::waitForAnimations();
    EXPECT_FLOAT_EQ (help.getAlpha(), 1.0f);
}

TEST_F (HelpViewer, CloseHidesTheViewerAndKeepsItsPage)
{
    juce::Component parent;
    parent.setSize (800, 580);
    parent.addChildComponent (help);
    help.Open();
    clickLink ("one");

    auto& close = help.getCloseButton();
    close.mouseUp (ui_test::mouseEventAt (close, { 60.0f, 15.0f }));

    EXPECT_FALSE (help.isVisible());
    EXPECT_EQ (help.getHistory().size(), 2);
    EXPECT_EQ (pageOnShow(), "Page one two");
    pages_test::waitForAnimations();
}

TEST_F (HelpViewer, LaysOutThePageAndTheButtonStrip)
{
    EXPECT_TRUE (help.isOpaque());
    EXPECT_EQ (help.getHtmlView().getBounds(), juce::Rectangle<int> (0, 0, 800, 540));
    EXPECT_EQ (help.getCloseButton().getBounds(), juce::Rectangle<int> (660, 545, 120, 30));
    EXPECT_EQ (help.getBackButton().getBounds(), juce::Rectangle<int> (530, 545, 120, 30));
    EXPECT_EQ (help.getCloseButton().getType(), SquareButton::pushType);
    EXPECT_EQ (help.getBackButton().getTextOff(), "<< BACK");
    EXPECT_EQ (help.getCloseButton().getTextOff(), "CLOSE");
    EXPECT_EQ (help.getHtmlView().getFontSize(), 15.0f);
}

TEST_F (HelpViewer, RenderedViewerShowsThePageAndTheButtons)
{
    help.Open();
    pages_test::waitForAnimations();

    const auto image = ui_test::snapshotOf (help);
    pages_test::saveRendered (image, "help-fake-page");

    const juce::Colour pageBackground (0xff404050);
    EXPECT_TRUE (ui_test::pixelNear (image, 400, 500, pageBackground));
    EXPECT_TRUE (ui_test::pixelNear (image, 10, 560, juce::Colours::black));
    EXPECT_TRUE (ui_test::pixelNear (image, 532, 547, juce::Colour (0xff505570)));
    EXPECT_TRUE (ui_test::pixelNear (image, 662, 547, juce::Colour (0xff505570)));
    // Disabled Back has a grey caption, Close a black one.
    EXPECT_LT (
        ui_test::channelDistance (ui_test::mostDifferentPixel (image, { 540, 550, 100, 20 }, juce::Colour (0xff505570)),
                                  juce::Colours::grey),
        20);
    EXPECT_LT (
        ui_test::channelDistance (ui_test::mostDifferentPixel (image, { 670, 550, 100, 20 }, juce::Colour (0xff505570)),
                                  juce::Colours::black),
        20);
    // The heading at the top of the page is drawn below the 20-pixel top margin, not into it.
    const auto headingInk = ui_test::inkBounds (image, { 0, 0, 300, 56 }, pageBackground);
    EXPECT_FALSE (headingInk.isEmpty());
    EXPECT_GE (headingInk.getY(), 20);
}
