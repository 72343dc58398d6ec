#pragma once

#include <juce_graphics/juce_graphics.h>

/** The interface's own colours, so that the artwork matches the panel it sits on. */
namespace ArtworkColours
{
    const juce::Colour panel{ 0xff2a232d };
    const juce::Colour accent{ 0xff9ecbe8 };
    const juce::Colour curve{ 0xffadd8e6 };
    const juce::Colour gridTop{ 0xff206084 };
    const juce::Colour gridBottom{ 0xff2c0a48 };
    const juce::Colour lettering{ 0xfff2f4f8 };
} // namespace ArtworkColours
