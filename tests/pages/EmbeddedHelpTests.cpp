// The help viewer on the help pages compiled into the program.

#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroInlineHelp.h"

#include <gtest/gtest.h>

#if __has_include(<BinaryData.h>)
#include <BinaryData.h>

namespace
{
    /** The source file names of the embedded help pages ("help_0.htm", ...). */
    juce::StringArray embeddedHelpPages()
    {
        juce::StringArray pages;
        for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
            if (juce::String (BinaryData::originalFilenames[i]).endsWith (".htm"))
                pages.add (BinaryData::originalFilenames[i]);
        return pages;
    }

    class EmbeddedHelp : public testing::Test
    {
    protected:
        KroInlineHelp help;

        void SetUp() override { help.setBounds (0, 0, 800, 580); }

        juce::TextEditor& editor() { return help.getHtmlView().getEditor(); }

        juce::Range<int> rangeOf (const juce::String& text)
        {
            const auto start = editor().getText().indexOf (text);
            return { start, start + text.length() };
        }
    };
} // namespace

TEST_F (EmbeddedHelp, EveryPageLoadsAndEveryLinkLeadsToAnEmbeddedPageOrTheWeb)
{
    const auto pages = embeddedHelpPages();
    ASSERT_TRUE (pages.contains ("help_0.htm"));
    ASSERT_GE (pages.size(), 4);

    for (const auto& page : pages)
    {
        help.getHtmlView().clearHtml();
        help.loadPage (page);
        EXPECT_GT (editor().getTotalNumChars(), 100) << page;
        EXPECT_FALSE (editor().getText().contains ("<")) << page << ": every tag is one the view knows or ignores";

        for (const auto& link : help.getHtmlView().getLinks())
        {
            EXPECT_LT (link.start, link.end) << page << " -> " << link.target;

            if (link.target.startsWithIgnoreCase ("http"))
                EXPECT_TRUE (KroHtmlTextEdit::isSafeWebAddress (link.target)) << page << " -> " << link.target;
            else
                EXPECT_TRUE (pages.contains (link.target)) << page << " -> " << link.target;
        }
    }
}

TEST_F (EmbeddedHelp, TheFirstPageHasItsHeadingsAndItsLinkToTheMainScreenGuide)
{
    help.Open();

    const auto& view = help.getHtmlView();
    ASSERT_FALSE (view.getRuns().empty());
    const auto& title = view.getRuns().front();
    EXPECT_EQ (title.font.getHeight(), 32.0f) << "h2 around the product line";
    EXPECT_EQ (editor().getText().substring (title.start, title.start + title.length), "Kro Trella");
    EXPECT_EQ (editor().getText()[title.length], '\n');
    EXPECT_EQ (view.findRunAt (title.length + 1)->font.getHeight(), 15.0f) << "the body text returns to 15";

    const auto contents = rangeOf ("Contents");
    ASSERT_GE (contents.getStart(), 0);
    EXPECT_EQ (view.findRunAt (contents.getStart())->font.getHeight(), 28.0f) << "h3";

    const auto mainScreen = rangeOf ("Main Screen");
    ASSERT_GE (mainScreen.getStart(), 0);
    const auto* linkRun = view.findRunAt (mainScreen.getStart());
    EXPECT_EQ (linkRun->colour, juce::Colours::yellow);
    EXPECT_TRUE (linkRun->font.isUnderlined());

    // Hovering shows the hand without a tooltip; clicking opens the guide and enables Back.
    const auto centre = editor().getTextBounds (mainScreen).getBounds().getCentre().toFloat();
    help.getHtmlView().mouseMove (ui_test::mouseEventAt (editor(), centre));
    EXPECT_EQ (editor().getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
    EXPECT_FALSE (help.getHtmlView().isTooltipShown());

    help.getHtmlView().mouseUp (ui_test::mouseEventAt (editor(), centre));
    EXPECT_EQ (help.getHistory(), juce::StringArray ({ "help_0.htm", "help_1.htm" }));
    EXPECT_TRUE (help.getBackButton().isEnabled());
    EXPECT_NE (editor().getText().indexOf ("Main Screen"), mainScreen.getStart()) << "another page is shown";
}

TEST_F (EmbeddedHelp, RenderedFirstPage)
{
    juce::Component screen;
    screen.setSize (800, 580);
    screen.addChildComponent (help);
    help.Open();
    ASSERT_TRUE (pages_test::waitForAnimations());

    const auto image = ui_test::snapshotOf (help);
    pages_test::saveRendered (image, "help-0");

    const juce::Colour pageBackground (0xff404050);
    EXPECT_TRUE (ui_test::pixelNear (image, 400, 535, pageBackground));
    EXPECT_TRUE (ui_test::pixelNear (image, 10, 570, juce::Colours::black));
    EXPECT_TRUE (ui_test::pixelNear (image, 532, 547, juce::Colour (0xff505570)));
    EXPECT_TRUE (ui_test::pixelNear (image, 662, 547, juce::Colour (0xff505570)));

    const auto headingInk = ui_test::inkBounds (image, { 0, 0, 300, 56 }, pageBackground);
    EXPECT_GE (headingInk.getY(), 20) << "the heading sits below the top margin";
    EXPECT_LT (headingInk.getY(), 30);

    // "Main Screen" is drawn in yellow.
    const auto linkArea = editor().getTextBounds (rangeOf ("Main Screen")).getBounds();
    EXPECT_LT (
        ui_test::channelDistance (ui_test::mostDifferentPixel (image, linkArea, pageBackground), juce::Colours::yellow),
        60);
}

#else

TEST (EmbeddedHelp, NeedsTheEmbeddedResources)
{
    GTEST_SKIP() << "This build has no embedded resources (BinaryData.h is missing).";
}

#endif
