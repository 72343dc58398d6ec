#pragma once

#include <juce_core/juce_core.h>

#include <array>

/** One choice of the preamp stage: the impulse response of a piece of studio gear, or none. */
struct IREntry
{
    bool bypass;              // the stage passes the signal untouched
    const char* menuName;     // the name the preamp selector shows
    const char* resourceName; // the embedded impulse response; empty for none
};

/** The eight preamp choices, in the order of the preamp parameter's index. */
extern const std::array<IREntry, 8> IR_list;
