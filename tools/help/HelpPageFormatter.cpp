#include "HelpPageFormatter.h"

juce::String HelpPageFormatter::format (const juce::String& source)
{
    auto lines = juce::StringArray::fromLines (source.replace ("\r\n", "\n"));

    // fromLines gives an empty last entry for a source that ends with a line break.
    if (lines.size() > 0 && lines[lines.size() - 1].isEmpty())
        lines.remove (lines.size() - 1);

    juce::String page;
    for (auto line : lines)
    {
        line = line.trimEnd();
        if (line.isNotEmpty() && ! endsAViewLine (line))
            line << " ";
        page << line << "\r\n";
    }

    return page;
}

bool HelpPageFormatter::endsAViewLine (const juce::String& line)
{
    if (line.endsWith ("<br>") || line.endsWith ("</ul>"))
        return true;

    for (const auto* heading : { "</h1>", "</h2>", "</h3>", "</h4>" })
        if (line.endsWith (heading))
            return true;

    return false;
}
