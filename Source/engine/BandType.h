#pragma once

#include <juce_core/juce_core.h>

/** The filter design of one second-order section. Types travel as plain ints (parameters,
    saved records), so values outside the list can reach the engine; they select no design.
*/
struct BandType
{
    enum : int
    {
        Peak = 0,
        LowShelf = 1,
        HighShelf = 2,
        LowPass = 3,
        HighPass = 4,
        BandPass = 5
    };

    static constexpr int numTypes = 6;

    static constexpr bool isValid (int type) noexcept { return type >= 0 && type < numTypes; }

    /** The caption the interface shows for a type; empty for a value outside the list. */
    static juce::String getName (int type)
    {
        static const char* const names[numTypes] = { "Peak", "Lo-Shelf", "Hi-Shelf", "Lo-Pass", "Hi-Pass", "BandPass" };
        return isValid (type) ? juce::String (names[type]) : juce::String();
    }
};
