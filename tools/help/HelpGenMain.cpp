// Copies the hand-written help pages from the source folder into the output folder in their
// embedded form (see HelpPageFormatter) and refuses pages the help view cannot show as written.

#include "HelpMarkupCheck.h"
#include "HelpPageFormatter.h"

#include <iostream>

int main (int argc, char* argv[])
{
    if (argc != 3)
    {
        std::cerr << "usage: KroHelpGen <source folder> <output folder>\n";
        return 2;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto sourceFolder = cwd.getChildFile (argv[1]);
    const auto outputFolder = cwd.getChildFile (argv[2]);
    const juce::StringArray pages{ "help_0.htm", "help_1.htm", "help_2.htm", "help_4.htm" };

    if (! outputFolder.createDirectory())
    {
        std::cerr << "cannot create " << outputFolder.getFullPathName() << "\n";
        return 1;
    }

    bool allFine = true;

    for (const auto& name : pages)
    {
        const auto source = sourceFolder.getChildFile (name);
        if (! source.existsAsFile())
        {
            std::cerr << name << ": missing in " << sourceFolder.getFullPathName() << "\n";
            allFine = false;
            continue;
        }

        const auto page = HelpPageFormatter::format (source.loadFileAsString());

        for (const auto& problem : HelpMarkupCheck::findProblems (page, pages))
        {
            std::cerr << name << ": " << problem << "\n";
            allFine = false;
        }

        if (! outputFolder.getChildFile (name).replaceWithData (page.toRawUTF8(), page.getNumBytesAsUTF8()))
        {
            std::cerr << "cannot write " << name << "\n";
            return 1;
        }
    }

    return allFine ? 0 : 1;
}
