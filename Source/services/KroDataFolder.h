#pragma once

#include <juce_core/juce_core.h>

/** The folder that holds the user's settings file and the crash report:
    <application data directory>/Palvenmark/KroTrella.

    On Linux the application data directory is the one named by the environment variable
    XDG_CONFIG_HOME when that holds an absolute path, otherwise what JUCE reports ("~/.config").
    JUCE itself only looks for XDG_CONFIG_HOME in ~/.config/user-dirs.dirs, where it never appears,
    so the variable is read here.
*/
class KroDataFolder
{
public:
    static juce::File getApplicationDataDirectory();
    static juce::File get();
};
