#pragma once

#include <juce_graphics/juce_graphics.h>

/** "Kro Trella" lettering over a small equaliser curve, 180 x 48, on a transparent background. */
class ProductLogo
{
public:
    static constexpr int width = 180, height = 48;
    static juce::Image render();
};
