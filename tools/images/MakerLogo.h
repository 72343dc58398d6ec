#pragma once

#include <juce_graphics/juce_graphics.h>

/** The maker's mark: a round emblem and "Palvenmark", 150 x 48, on a transparent background. */
class MakerLogo
{
public:
    static constexpr int width = 150, height = 48;
    static juce::Image render();
};
