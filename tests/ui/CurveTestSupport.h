#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Helpers shared by the curve area tests: synthetic mouse events, snapshots and pixel checks. */
namespace curvetest
{
    /** A mouse event at a position in the component, as the framework would deliver it. */
    juce::MouseEvent mouseAt (juce::Component& component, juce::Point<int> position, juce::ModifierKeys mods = {},
                              int numberOfClicks = 1);

    juce::ModifierKeys leftButton();
    juce::ModifierKeys rightButton();

    /** Renders a component at its own size; saved as a PNG named `name` when KRO_TEST_IMAGE_DIR is set. */
    juce::Image snapshot (juce::Component& component, const juce::String& name);

    /** The largest difference of the R, G, B channels (alpha ignored). */
    int rgbDistance (juce::Colour a, juce::Colour b);

    /** True if some pixel of column x between rows top and bottom (inclusive) is within
        `tolerance` of the colour in R, G and B and at least this opaque.
    */
    bool columnHasColour (const juce::Image& image, int x, int top, int bottom, juce::Colour colour, int tolerance,
                          int minimumAlpha = 128);

    /** Rows of column x whose pixel is within tolerance of the colour and at least half opaque. */
    juce::Array<int> rowsWithColour (const juce::Image& image, int x, juce::Colour colour, int tolerance);
} // namespace curvetest
