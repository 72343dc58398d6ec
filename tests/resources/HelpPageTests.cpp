#include "EmbeddedResource.h"

#include <gtest/gtest.h>

namespace
{
    const char* const pageFiles[] = { "help_0.htm", "help_1.htm", "help_2.htm", "help_4.htm" };

    /** The help viewer's rule: the page "help_1.htm" is the resource "help_1_htm". */
    juce::String resourceNameOf (const juce::String& pageFile)
    {
        return pageFile.replaceCharacter ('.', '_');
    }

    juce::String loadPage (const juce::String& pageFile)
    {
        return EmbeddedResource::find (resourceNameOf (pageFile).toRawUTF8()).asText();
    }

    struct Tag
    {
        juce::String text; // between "<" and ">"
        int position;      // of the "<"
    };

    std::vector<Tag> tagsOf (const juce::String& page)
    {
        std::vector<Tag> tags;
        for (int start = page.indexOfChar ('<'); start >= 0; start = page.indexOfChar (start + 1, '<'))
        {
            const int end = page.indexOfChar (start, '>');
            tags.push_back ({ end < 0 ? page.substring (start + 1) : page.substring (start + 1, end), start });
        }
        return tags;
    }

    bool isQuotedValue (const juce::String& value)
    {
        return value.length() >= 2 && value.startsWithChar ('"') && value.endsWithChar ('"') &&
               ! value.substring (1, value.length() - 1).containsChar ('"');
    }

    /** A "font" attribute the view reads as meant: a size, a six-digit colour (read as opaque) or a face. */
    bool isViewFontAttribute (const juce::String& attribute)
    {
        const auto name = attribute.upToFirstOccurrenceOf ("=", false, false);
        const auto value = attribute.fromFirstOccurrenceOf ("=", false, false);
        if (! isQuotedValue (value))
            return false;

        const auto unquoted = value.unquoted();
        if (name == "color")
            return unquoted.length() == 7 && unquoted.startsWithChar ('#') &&
                   unquoted.substring (1).containsOnly ("0123456789abcdefABCDEF");
        if (name == "size")
            return unquoted.containsOnly ("0123456789.") && unquoted.getFloatValue() > 0.0f;
        return name == "face" && unquoted.isNotEmpty();
    }

    /** The tags the help view acts on, in the forms the pages may use. */
    bool isViewTag (const juce::String& tag)
    {
        static const juce::StringArray plain{ "br",  "b",  "/b", "i",  "/i", "u",   "/u",  "/a",  "/font", "li",
                                              "/ul", "h1", "h2", "h3", "h4", "/h1", "/h2", "/h3", "/h4" };
        if (plain.contains (tag))
            return true;

        if (tag.startsWith ("a href="))
            return isQuotedValue (tag.fromFirstOccurrenceOf ("href=", false, false)) && tag.length() > 9;

        if (tag.startsWith ("font "))
        {
            auto attributes = juce::StringArray::fromTokens (tag.substring (5), " ", "\"");
            attributes.removeEmptyStrings();
            return ! attributes.isEmpty() && std::all_of (attributes.begin(), attributes.end(),
                                                          [] (const auto& a) { return isViewFontAttribute (a); });
        }

        return false;
    }

    juce::String linkTarget (const Tag& tag)
    {
        return tag.text.startsWith ("a href=") ? tag.text.fromFirstOccurrenceOf ("href=", false, false).unquoted()
                                               : juce::String();
    }

    enum class SourceLineBreaks
    {
        dropped, // what the view does
        asSpaces // what a reader of the source sees
    };

    /** The page's text as the help view lays it out: tags removed, line breaks only where a tag makes one. */
    juce::String viewText (const juce::String& page, SourceLineBreaks lineBreaks)
    {
        const auto source = page.replace ("\r\n", lineBreaks == SourceLineBreaks::dropped ? "" : " ");
        juce::String text;

        for (int position = 0; position < source.length();)
        {
            if (source[position] != '<')
            {
                text << source[position++];
                continue;
            }

            const int end = source.indexOfChar (position, '>');
            const auto tag = source.substring (position + 1, end);
            position = end < 0 ? source.length() : end + 1;

            if (tag == "br" || tag.startsWith ("/ul") || (tag.startsWith ("/h") && tag.containsAnyOf ("1234")))
                text << "\n";
            else if (tag.startsWith ("li"))
                text << "\n  - ";
        }

        return text;
    }

    class HelpPage : public ::testing::TestWithParam<const char*>
    {
    protected:
        const juce::String page = loadPage (GetParam());
    };
} // namespace

TEST_P (HelpPage, UsesCrLfLineEndsAndPlainAsciiOnly)
{
    ASSERT_TRUE (page.isNotEmpty());
    const auto resource = EmbeddedResource::find (resourceNameOf (GetParam()).toRawUTF8());

    for (int i = 0; i < resource.size; ++i)
    {
        const auto byte = resource.bytes()[i];
        ASSERT_LT (byte, 128) << "byte " << i << " is not ASCII (the viewer reads pages as ASCII)";

        if (byte == '\n')
        {
            ASSERT_TRUE (i > 0 && resource.data[i - 1] == '\r') << "a bare LF at byte " << i;
        }
        if (byte == '\r')
        {
            ASSERT_TRUE (i + 1 < resource.size && resource.data[i + 1] == '\n') << "a bare CR at byte " << i;
        }
    }
}

TEST_P (HelpPage, UsesOnlyTagsOfTheHelpView)
{
    for (const auto& tag : tagsOf (page))
        EXPECT_TRUE (isViewTag (tag.text)) << "<" << tag.text << "> at " << tag.position;
}

// The view's closing tags toggle styles, and its font state carries over to the next page: a tag
// left open, closed twice or nested would spill its style into text it was not meant for.
TEST_P (HelpPage, ClosesEveryStyleItOpensBeforeOpeningItAgain)
{
    const std::pair<juce::String, juce::String> pairs[] = { { "b", "/b" },  { "i", "/i" },        { "u", "/u" },
                                                            { "a ", "/a" }, { "font ", "/font" }, { "h", "/h" } };
    std::map<juce::String, bool> open;

    for (const auto& tag : tagsOf (page))
        for (const auto& [opening, closing] : pairs)
        {
            const bool isOpening = opening.endsWithChar (' ') || opening == "h"
                                       ? tag.text.startsWith (opening) && (opening != "h" || tag.text.length() == 2)
                                       : tag.text == opening;
            if (isOpening)
            {
                EXPECT_FALSE (open[opening]) << "<" << tag.text << "> at " << tag.position << " while still open";
                open[opening] = true;
            }
            else if (closing == "/h" ? tag.text.startsWith ("/h") : tag.text == closing)
            {
                EXPECT_TRUE (open[opening]) << "<" << tag.text << "> at " << tag.position << " closes nothing";
                open[opening] = false;
            }
        }

    for (const auto& [opening, isOpen] : open)
        EXPECT_FALSE (isOpen) << "<" << opening.trim() << "> is left open at the end of the page";
}

TEST_P (HelpPage, LinksToEmbeddedPagesOrWebAddresses)
{
    for (const auto& tag : tagsOf (page))
    {
        const auto target = linkTarget (tag);
        if (target.isEmpty())
            continue;

        if (target.startsWithIgnoreCase ("http"))
        {
            EXPECT_TRUE (target.startsWith ("https://") || target.startsWith ("http://")) << target;
            continue;
        }

        int size = 0;
        EXPECT_NE (BinaryData::getNamedResource (resourceNameOf (target).toRawUTF8(), size), nullptr) << target;
        EXPECT_TRUE (
            juce::StringArray (BinaryData::originalFilenames, BinaryData::namedResourceListSize).contains (target))
            << target << " is not the source file name of an embedded page";
    }
}

TEST_P (HelpPage, KeepsWordsApartAndHeadingsOnLinesOfTheirOwn)
{
    // Line breaks of the source vanish in the view: a line ending in a word next to one starting
    // with a word would show both run together.
    const auto wordsOf = [] (const juce::String& text)
    {
        auto words = juce::StringArray::fromTokens (text, false);
        words.removeEmptyStrings();
        return words;
    };
    const auto asShown = wordsOf (viewText (page, SourceLineBreaks::dropped));
    const auto asWritten = wordsOf (viewText (page, SourceLineBreaks::asSpaces));
    for (int i = 0; i < juce::jmax (asShown.size(), asWritten.size()); ++i)
    {
        ASSERT_EQ (asShown[i], asWritten[i]) << "word " << i << " runs into its neighbour";
    }

    for (const auto& tag : tagsOf (page))
        if (tag.text.length() == 2 && tag.text.startsWithChar ('h'))
        {
            const auto before = viewText (page.substring (0, tag.position), SourceLineBreaks::dropped);
            EXPECT_TRUE (before.isEmpty() || before.endsWithChar ('\n')) << "<" << tag.text << "> at " << tag.position;
        }
}

INSTANTIATE_TEST_SUITE_P (Pages, HelpPage, ::testing::ValuesIn (pageFiles),
                          [] (const auto& instance) { return resourceNameOf (instance.param).toStdString(); });

TEST (HelpContents, HasTheTitleTheTableOfContentsAndTheMakersSite)
{
    const auto page = loadPage ("help_0.htm");
    EXPECT_EQ (page.fromFirstOccurrenceOf ("<h2>", false, false).upToFirstOccurrenceOf ("</h2>", false, false),
               "Kro Trella");

    juce::StringArray targets;
    for (const auto& tag : tagsOf (page))
        targets.addIfNotAlreadyThere (linkTarget (tag));

    for (const auto* other : { "help_1.htm", "help_2.htm", "help_4.htm" })
        EXPECT_TRUE (targets.contains (other)) << other;

    const auto contents = page.fromFirstOccurrenceOf ("<h3>", false, false);
    EXPECT_TRUE (contents.contains ("href=\"help_1.htm\"") && contents.contains ("href=\"help_4.htm\""))
        << "the links to the pages follow the h3 heading of the contents";
    EXPECT_TRUE (
        std::any_of (targets.begin(), targets.end(), [] (const auto& t) { return t.startsWith ("https://"); }));
}

TEST (HelpContents, EveryOtherPageLinksBackToIt)
{
    for (const auto* pageFile : { "help_1.htm", "help_2.htm", "help_4.htm" })
    {
        const auto tags = tagsOf (loadPage (pageFile));
        EXPECT_TRUE (
            std::any_of (tags.begin(), tags.end(), [] (const Tag& t) { return linkTarget (t) == "help_0.htm"; }))
            << pageFile;
    }
}

TEST (HelpContents, EveryPageNamesWhatItExplains)
{
    const std::map<juce::String, juce::StringArray> subjects{
        { "help_1.htm",
          { "Drag",       "Double-click", "Right-click", "Mouse wheel",  "Solo",     "UnSolo",   "Low Shelf",
            "High Shelf", "Peak",         "analyser",    "INPUT",        "OUTPUT",   "PHASE",    "HP",
            "LP",         "OUT",          "Active",      "FFT POST",     "FFT PRE",  "freeze",   "PREAMP TYPE",
            "Neutral",    "N1073",        "A512",        "D1960",        "MP573",    "MP1",      "1176",
            "TLA50",      "SETTINGS",     "HELP",        "about screen", "Lo-Shelf", "Hi-Shelf", "Alt" } },
        { "help_2.htm",
          { "Show analyzer", "Fill analyzer", "Rounded edges", "Show peaks", "Peak hold time", "Meters decay time",
            "Show band information", "Show guide lines", "Window size", "Use OpenGL", "Check updates",
            "Go to support website" } },
        { "help_4.htm", { "licence", "freeware", "Palvenmark", "warranty" } },
    };

    for (const auto& [pageFile, phrases] : subjects)
    {
        const auto text = viewText (loadPage (pageFile), SourceLineBreaks::dropped);
        for (const auto& phrase : phrases)
            EXPECT_TRUE (text.contains (phrase)) << pageFile << " does not mention \"" << phrase << "\"";
    }
}
