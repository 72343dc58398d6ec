#include "KroDataFolder.h"

juce::File KroDataFolder::getApplicationDataDirectory()
{
#if JUCE_LINUX || JUCE_BSD
    // A relative path in XDG_CONFIG_HOME is invalid and must be ignored.
    const auto configHome = juce::SystemStats::getEnvironmentVariable ("XDG_CONFIG_HOME", {});

    if (juce::File::isAbsolutePath (configHome))
        return juce::File (configHome);
#endif

    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
}

juce::File KroDataFolder::get()
{
    return getApplicationDataDirectory().getChildFile ("Palvenmark").getChildFile ("KroTrella");
}
