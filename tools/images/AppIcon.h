#pragma once

#include <juce_graphics/juce_graphics.h>

/** The application icon, 256 x 256: the curve area in miniature on a rounded tile. */
class AppIcon
{
public:
    static constexpr int size = 256;
    static juce::Image render();
};
