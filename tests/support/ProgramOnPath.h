#pragma once

#include <juce_core/juce_core.h>

/** The program of this name on the PATH, or an empty file: how the tests find the real hosts and
    tools they drive (lv2info, ffmpeg, pipewire, ...).
*/
juce::File findProgramOnPath (const juce::String& name);
