#include "ProgramOnPath.h"

juce::File findProgramOnPath (const juce::String& name)
{
    for (const auto& folder :
         juce::StringArray::fromTokens (juce::SystemStats::getEnvironmentVariable ("PATH", {}), ":", ""))
        if (const auto file = juce::File (folder).getChildFile (name); file.existsAsFile())
            return file;
    return {};
}
