#pragma once

#include <juce_core/juce_core.h>

/** Reads numbers from text that comes from outside the program (saved states, typed values, help
    pages) as juce::String::getDoubleValue reads the numbers this program writes, but without the
    framework: its reader gathers an exponent in an int, which overflows on more than nine digits,
    and skips whatever white space the C library's locale names, so no guard in front of it can
    know what reaches that int.

    The text is: optional ASCII white space (space, tab, line feed, vertical tab, form feed,
    carriage return), an optional sign, then "nan", "inf" or decimal digits with an optional point
    and an optional exponent; anything after that is ignored, and a text without a number reads 0.
    The value is the nearest double, whatever the locale; a value beyond the range of double reads
    as infinity, one too small for it as zero, however long its exponent.
*/
class NumberText
{
public:
    static double toDouble (const juce::String& text);
};
