#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroHtmlTextEdit.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
    constexpr juce::uint32 white = 0xffffffff;
    constexpr juce::uint32 yellow = 0xffffff00;
    constexpr int plain = 0, bold = 1, italic = 2, underlined = 4;

    /** Every character of `text` (its first occurrence in the view) has this font and colour. */
    struct StyleProbe
    {
        const char* text;
        float height;
        int style;
        juce::uint32 colour;
        const char* face = "Verdana";
    };

    /** A link to `target` covers exactly the characters of `text`. */
    struct LinkProbe
    {
        const char* target;
        const char* text;
    };

    juce::Range<int> rangeOf (KroHtmlTextEdit& view, const juce::String& text)
    {
        const auto start = view.getEditor().getText().indexOf (text);
        return { start, start + text.length() };
    }

    testing::AssertionResult hasStyle (KroHtmlTextEdit& view, const StyleProbe& probe)
    {
        const auto text = juce::String::fromUTF8 (probe.text);
        const auto range = rangeOf (view, text);
        if (range.getStart() < 0)
            return testing::AssertionFailure() << "\"" << probe.text << "\" is not in the view";

        for (int i = range.getStart(); i < range.getEnd(); ++i)
        {
            const auto* run = view.findRunAt (i);
            if (run == nullptr)
                return testing::AssertionFailure() << "no run holds character " << i;

            const auto& font = run->font;
            if (font.getHeight() != probe.height || font.getStyleFlags() != probe.style ||
                run->colour.getARGB() != probe.colour ||
                font.getTypefaceName() != KroHtmlTextEdit::resolveTypefaceName (probe.face))
                return testing::AssertionFailure()
                       << "\"" << probe.text << "\" character " << i << ": height " << font.getHeight() << ", style "
                       << font.getStyleFlags() << ", colour " << run->colour.toDisplayString (true) << ", face "
                       << font.getTypefaceName() << "; expected " << probe.height << ", " << probe.style << ", "
                       << juce::Colour (probe.colour).toDisplayString (true) << ", " << probe.face;
        }

        return testing::AssertionSuccess();
    }

    struct FragmentCase
    {
        const char* name;
        const char* html;
        const char* expectedText;
        std::vector<StyleProbe> styles;
        std::vector<LinkProbe> links;
    };

    std::ostream& operator<< (std::ostream& out, const FragmentCase& c)
    {
        return out << c.name;
    }

    class HtmlFragment : public testing::TestWithParam<FragmentCase>
    {
    };

    TEST_P (HtmlFragment, GivesTheExpectedTextStylesAndLinks)
    {
        const auto& c = GetParam();
        KroHtmlTextEdit view;
        view.setSize (800, 540);

        view.appendHtml (juce::String::fromUTF8 (c.html));

        EXPECT_EQ (view.getEditor().getText(), juce::String::fromUTF8 (c.expectedText));

        for (const auto& probe : c.styles)
            EXPECT_TRUE (hasStyle (view, probe));

        ASSERT_EQ (view.getLinks().size(), (int) c.links.size());
        for (size_t i = 0; i < c.links.size(); ++i)
        {
            const auto& link = view.getLinks()[(int) i];
            const auto expectedRange = rangeOf (view, juce::String::fromUTF8 (c.links[i].text));
            EXPECT_EQ (link.target, juce::String::fromUTF8 (c.links[i].target));
            EXPECT_EQ (link.start, expectedRange.getStart()) << c.links[i].target;
            EXPECT_EQ (link.end, expectedRange.getEnd()) << c.links[i].target;
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        Table, HtmlFragment,
        testing::Values (
            FragmentCase{ "SourceLineBreaksVanish",
                          "Hello\r\nWorld\nagain",
                          "HelloWorldagain",
                          { { "HelloWorldagain", 18, plain, white } },
                          {} },
            FragmentCase{
                "BrBreaksTheLine", "Hello<br>World", "Hello\nWorld", { { "Hello\nWorld", 18, plain, white } }, {} },
            FragmentCase{ "BoldItalicUnderline",
                          "a<b>b</b>c<i>d</i>e<u>f</u>g",
                          "abcdefg",
                          { { "a", 18, plain, white },
                            { "b", 18, bold, white },
                            { "c", 18, plain, white },
                            { "d", 18, italic, white },
                            { "e", 18, plain, white },
                            { "f", 18, underlined, white },
                            { "g", 18, plain, white } },
                          {} },
            FragmentCase{ "NestedStylesCloseOneByOne",
                          "<b><i>x</i>y</b>z",
                          "xyz",
                          { { "x", 18, bold | italic, white }, { "y", 18, bold, white }, { "z", 18, plain, white } },
                          {} },
            FragmentCase{
                "AStrayCloseNeverSwitchesAStyleOn", "p</b>q</i>r</u>s", "pqrs", { { "pqrs", 18, plain, white } }, {} },
            FragmentCase{ "ALinkInsideBoldIsUnderlinedOnlyAndEndsTheBold",
                          "<b>bold <a href=\"help_1.htm\">link</a> after</b> end",
                          "bold link after end",
                          { { "bold ", 18, bold, white },
                            { "link", 18, underlined, yellow },
                            { " after", 18, plain, white },
                            { " end", 18, plain, white } },
                          { { "help_1.htm", "link" } } },
            FragmentCase{ "FontColourAndSizeAreRestoredAtTheClose",
                          "a<font color=\"#ff8000\" size=\"24\">b</font>c",
                          "abc",
                          { { "a", 18, plain, white }, { "b", 24, plain, 0xffff8000 }, { "c", 18, plain, white } },
                          {} },
            FragmentCase{ "FontFaceIsRestoredAtTheClose",
                          "<font face=\"Courier New\">m</font>n",
                          "mn",
                          { { "m", 18, plain, white, "Courier New" }, { "n", 18, plain, white } },
                          {} },
            FragmentCase{ "ListItemsAndTheListEnd",
                          "<ul><li>one<li>two</ul>after",
                          "\n  - one\n  - two\nafter",
                          { { "  - one", 18, plain, white } },
                          {} },
            FragmentCase{ "HeadingsSetTheirHeightAndEndWithALineBreak",
                          "<h1>A</h1><h2>B</h2><h3>C</h3><h4>D</h4>x",
                          "A\nB\nC\nD\nx",
                          { { "A", 36, plain, white },
                            { "B", 32, plain, white },
                            { "C", 28, plain, white },
                            { "D", 24, plain, white },
                            { "\nx", 18, plain, white } },
                          {} },
            FragmentCase{ "UnknownTagsAreIgnored",
                          "<p>a</p><ul>b<h5>c</h5><br/>d<span class=\"x\">e</span><B>f</B><b >g",
                          "abcdefg",
                          { { "abcdefg", 18, plain, white } },
                          {} },
            FragmentCase{
                "ATagStillOpenAtTheEndIsDropped", "abc<b class=", "abc", { { "abc", 18, plain, white } }, {} },
            FragmentCase{ "ALoneLessThanSignOpensATag", "a < b", "a ", {}, {} },
            FragmentCase{ "AnEmptyTagIsText", "a<>b", "a>b", {}, {} },
            FragmentCase{ "ALessThanSignInsideATagDoesNotStartAnother", "x<a<b>y", "xy", {}, {} },
            FragmentCase{
                "LinkTextReturnsToTheSurroundingFontColour",
                "<font color=\"#00ff00\">g<a href=\"x.htm\">l</a>h</font>",
                "glh",
                { { "g", 18, plain, 0xff00ff00 }, { "l", 18, underlined, yellow }, { "h", 18, plain, 0xff00ff00 } },
                { { "x.htm", "l" } } },
            FragmentCase{ "AStrayLinkCloseMakesNoLink", "a</a>b<a name=\"top\">c</a>", "abc", {}, {} },
            FragmentCase{ "TheTargetIsTheHrefValueOnly",
                          "<a href=\"help_2.htm\" target=\"_blank\">t</a> <a href=help_4.htm>u</a>",
                          "t u",
                          {},
                          { { "help_2.htm", "t" }, { "help_4.htm", "u" } } },
            FragmentCase{ "LinkTagsIgnoreCase",
                          "<A HREF=\"help_4.htm\">L</a>",
                          "L",
                          { { "L", 18, underlined, yellow } },
                          { { "help_4.htm", "L" } } },
            FragmentCase{ "AColourWithoutHexDigitsIsOpaqueBlack",
                          "<font color=\"zz\">k</font>",
                          "k",
                          { { "k", 18, plain, 0xff000000 } },
                          {} },
            FragmentCase{ "NonsenseFontSizesStayReadable",
                          "<font size=\"-4\">a</font><font size=\"1e39\">b</font><font size=\"100000\">c</font><font "
                          "size=\"0.2\">d</font>",
                          "abcd",
                          { { "a", 18, plain, white },
                            { "b", 18, plain, white },
                            { "c", 200, plain, white },
                            { "d", 1, plain, white } },
                          {} },
            FragmentCase{ "NonAsciiTextCountsCharacters",
                          "Grüße <b>日本</b> 😀<a href=\"x\">é</a>",
                          "Grüße 日本 😀é",
                          { { "日本", 18, bold, white }, { "é", 18, underlined, yellow } },
                          { { "x", "é" } } }),
        [] (const testing::TestParamInfo<FragmentCase>& paramInfo) { return std::string (paramInfo.param.name); });

    TEST (HtmlTextEdit, FontStateCarriesOverToTheNextFragmentAndSurvivesClear)
    {
        KroHtmlTextEdit view;
        view.appendHtml ("ab<a href=\"one\">c</a><b>d");
        view.appendHtml ("<a href=\"two\">e</a>f<b>g");

        EXPECT_EQ (view.getEditor().getText(), "abcdefg");
        ASSERT_EQ (view.getLinks().size(), 2);
        EXPECT_EQ (view.getLinks()[1].target, "two");
        EXPECT_EQ (view.getLinks()[1].start, 4);
        EXPECT_EQ (view.getLinks()[1].end, 5);
        EXPECT_TRUE (hasStyle (view, { "g", 18, bold, white }));

        view.clearHtml();
        EXPECT_TRUE (view.getLinks().isEmpty());
        EXPECT_EQ (view.getEditor().getText(), "");
        EXPECT_EQ (view.getEditor().getCaretPosition(), 0);

        view.appendHtml ("z");
        EXPECT_EQ (view.getEditor().getText(), "z");
        EXPECT_TRUE (hasStyle (view, { "z", 18, bold, white }));
    }

    TEST (HtmlTextEdit, FaceTagsSetAndRestoreTheFamilyAndMissingFamiliesFallBackToSansSerif)
    {
        const auto installed = juce::Font::findAllTypefaceNames();
        ASSERT_FALSE (installed.isEmpty());
        const auto family = installed[0];

        KroHtmlTextEdit view;
        view.appendHtml ("<font face=\"" + family + "\">m</font>n<font face=\"No Such Family 123\">o");

        EXPECT_EQ (view.findRunAt (0)->font.getTypefaceName(), family);
        EXPECT_EQ (view.findRunAt (1)->font.getTypefaceName(), KroHtmlTextEdit::resolveTypefaceName ("Verdana"));
        EXPECT_EQ (view.findRunAt (2)->font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
        EXPECT_EQ (view.getFontName(), "No Such Family 123");
        EXPECT_EQ (KroHtmlTextEdit::resolveTypefaceName (family), family);
    }

    TEST (HtmlTextEdit, FamilyNamesAreMatchedIgnoringCase)
    {
        const auto family = juce::Font::findAllTypefaceNames()[0];
        EXPECT_EQ (KroHtmlTextEdit::resolveTypefaceName (family.toUpperCase()), family);
        EXPECT_EQ (KroHtmlTextEdit::resolveTypefaceName (juce::Font::getDefaultMonospacedFontName()),
                   juce::Font::getDefaultMonospacedFontName());
    }

    TEST (HtmlTextEdit, TheBaseSizeIsWhatHeadingsAndFontTagsReturnTo)
    {
        KroHtmlTextEdit view;
        view.setBaseFontSize (15.0f);
        view.appendHtml ("a<h2>b</h2>c<font size=\"24\">d</font>e");

        EXPECT_TRUE (hasStyle (view, { "a", 15, plain, white }));
        EXPECT_TRUE (hasStyle (view, { "b", 32, plain, white }));
        EXPECT_TRUE (hasStyle (view, { "c", 15, plain, white }));
        EXPECT_TRUE (hasStyle (view, { "d", 24, plain, white }));
        EXPECT_TRUE (hasStyle (view, { "e", 15, plain, white }));
    }

    //==============================================================================
    struct HostileInput
    {
        const char* name;
        std::function<juce::String()> make;
        int expectedLength;
    };

    std::ostream& operator<< (std::ostream& out, const HostileInput& c)
    {
        return out << c.name;
    }

    class HtmlHostileInput : public testing::TestWithParam<HostileInput>
    {
    };

    constexpr int megabyte = 1 << 20;

    TEST_P (HtmlHostileInput, IsShownCompletelyWithoutFailing)
    {
        KroHtmlTextEdit view;
        view.setSize (800, 540);

        view.appendHtml (GetParam().make());

        EXPECT_EQ (view.getEditor().getTotalNumChars(), GetParam().expectedLength);
        EXPECT_EQ (view.getEditor().getText().length(), GetParam().expectedLength);

        // The runs cover the text without gaps.
        int covered = 0;
        for (const auto& run : view.getRuns())
        {
            EXPECT_EQ (run.start, covered);
            covered += run.length;
        }
        EXPECT_EQ (covered, GetParam().expectedLength);
    }

    INSTANTIATE_TEST_SUITE_P (
        Inputs, HtmlHostileInput,
        testing::Values (
            HostileInput{ "AMegabyteOfLessThanSigns", [] { return juce::String::repeatedString ("<", megabyte); }, 0 },
            HostileInput{ "AnUnclosedMegabyteTag", [] { return "ok<b" + juce::String::repeatedString ("x", megabyte); },
                          2 },
            HostileInput{
                "AMegabyteTypefaceName",
                [] { return "<font face=\"" + juce::String::repeatedString ("a", megabyte) + "\">x</font>y"; }, 2 },
            HostileInput{
                "AMegabyteLinkTarget",
                [] { return "<a href=\"http://" + juce::String::repeatedString ("a", megabyte) + "\">x</a>"; }, 1 },
            HostileInput{ "AMegabyteOfPlainText", [] { return juce::String::repeatedString ("word ", megabyte / 5); },
                          megabyte / 5 * 5 },
            HostileInput{ "AMegabyteOfStyleChanges",
                          [] { return juce::String::repeatedString ("<b>a</b> ", megabyte / 9); }, megabyte / 9 * 2 },
            HostileInput{ "AMegabyteOfListItems", [] { return juce::String::repeatedString ("<li>", megabyte / 4); },
                          megabyte / 4 * 5 }),
        [] (const testing::TestParamInfo<HostileInput>& paramInfo) { return std::string (paramInfo.param.name); });

    TEST (HtmlTextEdit, ALoneCarriageReturnBeforeAnInsertedLineBreakKeepsLinksOnTheirText)
    {
        KroHtmlTextEdit view;
        view.appendHtml ("a\r<br><a href=\"x\">link</a>\r<li>b");

        const auto text = view.getEditor().getText();
        EXPECT_EQ (view.getEditor().getTotalNumChars(), text.length());
        ASSERT_EQ (view.getLinks().size(), 1);
        const auto& link = view.getLinks().getReference (0);
        EXPECT_EQ (text.substring (link.start, link.end), "link");

        int covered = 0;
        for (const auto& run : view.getRuns())
            covered += run.length;
        EXPECT_EQ (covered, text.length());
    }

    TEST (HtmlTextEdit, InvalidUtf8IsShownWithoutFailing)
    {
        KroHtmlTextEdit view;
        const auto input = juce::String::fromUTF8 ("a\xff\xfe<b>\xc3</b>\xe2\x82", 12);
        view.appendHtml (input);

        EXPECT_TRUE (view.getEditor().getText().startsWith ("a"));
        EXPECT_FALSE (view.getEditor().getText().contains ("<"));
    }

    TEST (HtmlTextEdit, APageSizedFragmentKeepsEveryStyle)
    {
        // Two hundred style changes over 4 kB, more than any help page holds.
        juce::String html;
        for (int i = 0; i < 100; ++i)
            html << "plain text " << i << " <b>bold text " << i << "</b> ";

        KroHtmlTextEdit view;
        view.setSize (800, 540);
        view.appendHtml (html);

        EXPECT_EQ ((int) view.getRuns().size(), 201); // 100 bold, 101 plain between and around them
        EXPECT_TRUE (hasStyle (view, { "bold text 99", 18, bold, white }));
        EXPECT_TRUE (hasStyle (view, { "plain text 99", 18, plain, white }));
    }

    TEST (HtmlTextEdit, LinksStayExactInAMegabyteOfStyleChanges)
    {
        const auto filler = juce::String::repeatedString ("<i>x</i>y", megabyte / 9);
        KroHtmlTextEdit view;
        view.setSize (800, 540);
        view.appendHtml (filler + "<a href=\"help_2.htm\">last</a>");

        ASSERT_EQ (view.getLinks().size(), 1);
        const auto& link = view.getLinks().getReference (0);
        EXPECT_EQ (view.getEditor().getText().substring (link.start, link.end), "last");
        EXPECT_EQ (link.target, "help_2.htm");
    }
} // namespace

//==============================================================================
namespace
{
    /** The runs of rows in the area that hold ink, top to bottom. */
    std::vector<juce::Range<int>> inkRowBands (const juce::Image& image, juce::Rectangle<int> area,
                                               juce::Colour background)
    {
        std::vector<juce::Range<int>> bands;
        bool inBand = false;

        for (int y = area.getY(); y < area.getBottom(); ++y)
        {
            bool ink = false;
            for (int x = area.getX(); x < area.getRight() && ! ink; ++x)
                ink = ui_test::channelDistance (image.getPixelAt (x, y), background) > 60;

            if (ink && ! inBand)
                bands.push_back ({ y, y + 1 });
            else if (ink)
                bands.back().setEnd (y + 1);

            inBand = ink;
        }

        return bands;
    }

    class HtmlLinks : public testing::Test
    {
    protected:
        KroHtmlTextEdit view;
        juce::StringArray browserCalls;
        juce::StringArray linkCalls;

        void SetUp() override
        {
            view.setSize (800, 540);
            view.openWebLink = [this] (const juce::String& address) { browserCalls.add (address); };
            view.onLinkClicked = [this] (const juce::String& target) { linkCalls.add (target); };
            view.appendHtml ("Go to <a href=\"help_1.htm\">Main Screen</a> now<br>"
                             "Visit <a href=\"https://example.com/?a=support\">the site</a><br>"
                             "<a href=\"HTTP://EXAMPLE.COM\">shouting</a><br>"
                             "<a href=\"http://example.com/$(touch /tmp/kro-x)\">sneaky</a><br>"
                             "<a href=\"httpd.htm\">daemon</a><br>");
        }

        juce::Point<float> centreOf (const juce::String& text)
        {
            const auto bounds = view.getEditor().getTextBounds (rangeOf (view, text)).getBounds();
            return bounds.getCentre().toFloat();
        }

        void releaseOn (const juce::String& text, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier)
        {
            view.mouseUp (ui_test::mouseEventAt (view.getEditor(), centreOf (text), mods));
        }

        void moveTo (juce::Point<float> position)
        {
            view.mouseMove (ui_test::mouseEventAt (view.getEditor(), position));
        }
    };

    TEST_F (HtmlLinks, ClicksGoToTheOwnerOrTheBrowserByTheirTarget)
    {
        struct Click
        {
            const char* text;
            juce::StringArray browser;
            juce::StringArray owner;
        };

        const Click clicks[] = {
            { "Main Screen", {}, { "help_1.htm" } },
            { "the site", { "https://example.com/?a=support" }, {} },
            { "shouting", { "HTTP://EXAMPLE.COM" }, {} },
            { "sneaky", {}, {} }, // a shell command in the address never reaches the launcher
            { "daemon", {}, {} }, // begins with "http" but is no web address
            { "Go to", {}, {} },
            { "now", {}, {} },
        };

        for (const auto& click : clicks)
        {
            browserCalls.clear();
            linkCalls.clear();
            releaseOn (click.text);
            EXPECT_EQ (browserCalls, click.browser) << click.text;
            EXPECT_EQ (linkCalls, click.owner) << click.text;
        }
    }

    TEST_F (HtmlLinks, AnyButtonCountsAndTheEventMayComeFromTheViewItself)
    {
        releaseOn ("Main Screen", juce::ModifierKeys::rightButtonModifier);
        view.mouseUp (ui_test::mouseEventAt (view, centreOf ("the site")));

        EXPECT_EQ (linkCalls, juce::StringArray ("help_1.htm"));
        EXPECT_EQ (browserCalls, juce::StringArray ("https://example.com/?a=support"));
    }

    TEST_F (HtmlLinks, AClickInAWindowReachesTheViewOnceThroughTheEditor)
    {
        pages_test::DesktopWindow window (view);
        window.clickAt (centreOf ("Main Screen").toInt());
        window.clickAt (centreOf ("the site").toInt());

        EXPECT_EQ (linkCalls, juce::StringArray ("help_1.htm"));
        EXPECT_EQ (browserCalls, juce::StringArray ("https://example.com/?a=support"));
    }

    TEST_F (HtmlLinks, AHandlerMayReplaceTheContent)
    {
        view.onLinkClicked = [this] (const juce::String& target)
        {
            view.clearHtml();
            view.appendHtml ("<h2>Next page</h2>");
            linkCalls.add (target);
        };

        releaseOn ("Main Screen");
        EXPECT_EQ (linkCalls, juce::StringArray ("help_1.htm"));
        EXPECT_EQ (view.getEditor().getText(), "Next page\n");
    }

    TEST_F (HtmlLinks, ClickingScrolledTextFindsTheLinkUnderThePointer)
    {
        view.getEditor().setScrollbarsShown (true);
        view.appendHtml (juce::String::repeatedString ("filler<br>", 200) + "<a href=\"help_4.htm\">bottom</a>");
        view.getEditor().moveCaretToEnd();

        const auto where = centreOf ("bottom");
        ASSERT_TRUE (view.getLocalBounds().toFloat().contains (where)) << "the link is scrolled into view";
        view.mouseUp (ui_test::mouseEventAt (view.getEditor(), where));
        EXPECT_EQ (linkCalls, juce::StringArray ("help_4.htm"));
    }

    TEST_F (HtmlLinks, HoverShowsTheHandAndATooltipForWebAddressesOnly)
    {
        auto& editor = view.getEditor();

        moveTo (centreOf ("Main Screen"));
        EXPECT_EQ (editor.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
        EXPECT_FALSE (view.isTooltipShown());

        const auto overSite = centreOf ("the site");
        moveTo (overSite);
        EXPECT_EQ (editor.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::PointingHandCursor));
        ASSERT_TRUE (view.isTooltipShown());
        EXPECT_EQ (view.getTooltipText(), "https://example.com/?a=support");
        EXPECT_EQ (view.getTooltipBounds().getPosition(), overSite.toInt() + juce::Point<int> (15, 15));
        EXPECT_EQ (view.getTooltipBounds().getHeight(), 25);
        const auto textWidth =
            KroHtmlTextEdit::makeFont ("Arial", 14.0f, 0).getStringWidthFloat (view.getTooltipText());
        EXPECT_NEAR (view.getTooltipBounds().getWidth(), textWidth + 10.0f, 1.0f);

        moveTo (centreOf ("Go to"));
        EXPECT_EQ (editor.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::NormalCursor));
        EXPECT_FALSE (view.isTooltipShown());
    }

    TEST_F (HtmlLinks, TheTooltipStaysInsideTheView)
    {
        view.clearHtml();
        view.appendHtml ("<a href=\"https://example.com\">" + juce::String::repeatedString ("wide link ", 600) +
                         "</a>");
        view.getEditor().moveCaretToTop (false);

        // Near the bottom-right corner the tooltip is pushed back inside.
        view.mouseMove (ui_test::mouseEventAt (view.getEditor(), { 790.0f, 530.0f }));
        ASSERT_TRUE (view.isTooltipShown());
        auto bounds = view.getTooltipBounds();
        EXPECT_EQ (bounds.getRight(), 800);
        EXPECT_EQ (bounds.getBottom(), 540);

        // An address wider than the view gets a tooltip as wide as the view, cut with an ellipsis.
        view.clearHtml();
        view.appendHtml ("<a href=\"https://example.com/" + juce::String::repeatedString ("long/", 400) + "\">" +
                         juce::String::repeatedString ("wide link ", 300) + "</a>");
        view.getEditor().moveCaretToTop (false);
        view.mouseMove (ui_test::mouseEventAt (view.getEditor(), { 400.0f, 100.0f }));
        ASSERT_TRUE (view.isTooltipShown());
        bounds = view.getTooltipBounds();
        EXPECT_EQ (bounds.getX(), 0);
        EXPECT_EQ (bounds.getWidth(), 800);
    }

    TEST_F (HtmlLinks, RenderedLinksAreYellowAndTheTooltipBeige)
    {
        view.clearHtml();
        view.appendHtml ("<h2>Kro Trella</h2>Go to <a href=\"help_1.htm\">Main Screen</a><br>"
                         "<b>Bold</b> and <font color=\"#ff8000\">orange</font><br>"
                         "<a href=\"https://example.com/?a=support\">support site</a>");
        const auto overSite = centreOf ("support site");
        moveTo (overSite);

        const auto image = ui_test::snapshotOf (view);
        pages_test::saveRendered (image, "html-view");

        const auto black = juce::Colours::black;
        const auto linkBounds = view.getEditor().getTextBounds (rangeOf (view, "Main Screen")).getBounds();
        EXPECT_LT (
            ui_test::channelDistance (ui_test::mostDifferentPixel (image, linkBounds, black), juce::Colour (yellow)),
            40);
        const auto plainBounds = view.getEditor().getTextBounds (rangeOf (view, "Go to")).getBounds();
        EXPECT_LT (
            ui_test::channelDistance (ui_test::mostDifferentPixel (image, plainBounds, black), juce::Colour (white)),
            40);
        const auto orangeBounds = view.getEditor().getTextBounds (rangeOf (view, "orange")).getBounds();
        EXPECT_LT (ui_test::channelDistance (ui_test::mostDifferentPixel (image, orangeBounds, black),
                                             juce::Colour (0xffff8000)),
                   40);

        // The heading's letters ("Kr") are about twice as tall as the body's ("Go"), in the first column.
        const auto bands = inkRowBands (image, { 6, 0, 30, 70 }, black);
        ASSERT_GE (bands.size(), 2u);
        EXPECT_GT (bands[0].getLength(), bands[1].getLength() * 3 / 2);

        const auto tip = view.getTooltipBounds();
        EXPECT_TRUE (ui_test::pixelNear (image, tip.getX() + 3, tip.getCentreY(), juce::Colours::beige));
        EXPECT_TRUE (ui_test::pixelNear (image, tip.getRight() - 3, tip.getCentreY(), juce::Colours::beige));
        EXPECT_TRUE (ui_test::pixelNear (image, tip.getX(), tip.getY(), black, 40)) << "rounded corner";
        EXPECT_LT (ui_test::channelDistance (ui_test::mostDifferentPixel (image, tip.reduced (4), juce::Colours::beige),
                                             black),
                   60)
            << "the address is written in black";
        EXPECT_TRUE (ui_test::pixelNear (image, 790, 500, black));
    }
} // namespace
