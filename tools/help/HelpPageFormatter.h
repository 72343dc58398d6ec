#pragma once

#include <juce_core/juce_core.h>

/** Turns a hand-written help page into its embedded form. The help view drops line breaks of the
    source entirely, so two words on either side of one would run together; every line that ends
    in running text therefore gets a trailing space. Lines that end a line in the view already (a
    "br", a heading's end, a list's end) and empty lines are left as they are. Lines end in CR LF.
*/
class HelpPageFormatter
{
public:
    static juce::String format (const juce::String& source);

private:
    static bool endsAViewLine (const juce::String& line);
};
