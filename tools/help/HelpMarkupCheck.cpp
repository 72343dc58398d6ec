#include "HelpMarkupCheck.h"

juce::StringArray HelpMarkupCheck::findProblems (const juce::String& page, const juce::StringArray& embeddedPages)
{
    juce::StringArray problems;

    for (auto p = page.getCharPointer(); ! p.isEmpty(); ++p)
        if (*p > 127)
        {
            problems.add ("a character outside ASCII");
            break;
        }

    int position = 0;
    while ((position = page.indexOfChar (position, '<')) >= 0)
    {
        const int end = page.indexOfChar (position, '>');
        if (end < 0)
        {
            problems.add ("a tag without its closing '>'");
            break;
        }

        const auto tag = page.substring (position + 1, end);
        if (tag.containsChar ('<'))
            problems.add ("a '<' inside the tag <" + tag + ">");
        else if (! isSupportedTag (tag))
            problems.add ("the tag <" + tag + ">, which the help view ignores");
        else if (const auto target = linkTarget (tag);
                 target.isNotEmpty() && ! target.startsWithIgnoreCase ("http") && ! embeddedPages.contains (target))
            problems.add ("a link to \"" + target + "\", which is not an embedded page");

        position = end + 1;
    }

    return problems;
}

bool HelpMarkupCheck::isSupportedTag (const juce::String& tag)
{
    static const juce::StringArray plainTags{ "br",  "b",  "/b", "i",  "/i", "u",   "/u",  "/a",  "/font", "li",
                                              "/ul", "h1", "h2", "h3", "h4", "/h1", "/h2", "/h3", "/h4" };

    if (plainTags.contains (tag))
        return true;

    if (tag.startsWith ("a href=\"") && tag.endsWith ("\"") && tag.removeCharacters ("\"").length() == tag.length() - 2)
        return true;

    if (tag.startsWith ("font "))
    {
        // Only size, color and face, each with a quoted value.
        auto attributes = juce::StringArray::fromTokens (tag.fromFirstOccurrenceOf ("font ", false, false), " ", "\"");
        attributes.removeEmptyStrings();

        for (const auto& attribute : attributes)
        {
            const auto name = attribute.upToFirstOccurrenceOf ("=", false, false);
            const auto value = attribute.fromFirstOccurrenceOf ("=", false, false);
            if (! juce::StringArray{ "size", "color", "face" }.contains (name) || ! value.isQuotedString())
                return false;
        }

        return ! attributes.isEmpty();
    }

    return false;
}

juce::String HelpMarkupCheck::linkTarget (const juce::String& tag)
{
    if (! tag.startsWith ("a href="))
        return {};

    return tag.fromFirstOccurrenceOf ("href=", false, false).removeCharacters ("\"");
}
