#pragma once

#include <juce_graphics/juce_graphics.h>

/** The typefaces the artwork is drawn with, loaded by family and style name. The generator refuses
    to run when one is missing: a silent fallback to another face would change the images.
*/
class LogoFonts
{
public:
    static constexpr const char* family = "DejaVu Sans";
    static constexpr const char* book = "Book";
    static constexpr const char* bold = "Bold";
    static constexpr const char* condensed = "Condensed";
    static constexpr const char* condensedBold = "Condensed Bold";

    /** Empty when every face is installed, else the name of the first missing one. */
    static juce::String findMissingFace();

    static juce::Font make (const char* style, float height);
};
