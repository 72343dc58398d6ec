#pragma once

#include <juce_core/juce_core.h>

/** Reads numbers from text that comes from outside the program (saved states, typed values, help
    pages) the way juce::String::getDoubleValue does, but safely: the framework's reader gathers
    the exponent in an int and overflows on an exponent of more than nine digits. An exponent of
    more than four significant digits is read as 9999, which gives the same infinity or zero.
*/
class NumberText
{
public:
    static double toDouble (const juce::String& text);
};
