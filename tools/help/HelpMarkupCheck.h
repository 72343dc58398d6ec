#pragma once

#include <juce_core/juce_core.h>

/** Finds what the help view cannot show as written: characters outside ASCII (the viewer reads the
    pages as plain ASCII), tags outside the view's small set, unterminated tags, and links to pages
    that are not embedded.
*/
class HelpMarkupCheck
{
public:
    /** One message per problem; empty when the page is fine. */
    static juce::StringArray findProblems (const juce::String& page, const juce::StringArray& embeddedPages);

private:
    static bool isSupportedTag (const juce::String& tag);
    static juce::String linkTarget (const juce::String& tag);
};
