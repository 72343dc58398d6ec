#pragma once

#include <juce_graphics/juce_graphics.h>

/** The freeze button's snowflake, 32 x 32: light strokes with a dark rim, so that it reads on the
    dark face of the button when it is off and on the near-white face when it is on.
*/
class SnowflakeIcon
{
public:
    static constexpr int size = 32;
    static juce::Image render();
};
