#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

/** Helpers shared by the interface tests: rendering components, reading pixels, synthetic mouse
    events and saving images for a person to look at.
*/
namespace ui_test
{
    /** Paints the component (and its children) into a new image, exactly as the screen would. */
    juce::Image snapshotOf (juce::Component& component, float scale = 1.0f);

    /** Writes the image as <name>.png into $KRO_TEST_IMAGE_DIR when that is set, for a person to look at. */
    void savePng (const juce::Image& image, const juce::String& name);

    /** A mouse event from the main mouse source at a position in the component's coordinates. */
    juce::MouseEvent mouseEventAt (juce::Component& component, juce::Point<float> position,
                                   juce::ModifierKeys modifiers = juce::ModifierKeys::leftButtonModifier,
                                   int numberOfClicks = 1);

    /** Largest difference over the four channels. */
    int channelDistance (juce::Colour a, juce::Colour b);

    /** Passes when the pixel is within `tolerance` (per channel) of the expected colour. */
    testing::AssertionResult pixelNear (const juce::Image& image, int x, int y, juce::Colour expected,
                                        int tolerance = 2);

    /** The pixel in the area that differs most from `background`. */
    juce::Colour mostDifferentPixel (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background);

    /** Bounds of the pixels in the area that differ from `background` by more than `threshold`;
        empty when there are none.
    */
    juce::Rectangle<int> inkBounds (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background,
                                    int threshold = 60);

    /** Bounds of the pixels in the area within `tolerance` of `colour`; empty when there are none. */
    juce::Rectangle<int> boundsOfColour (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour,
                                         int tolerance = 2);

    /** Number of separate bands of rows in the area that hold ink (pixels differing from
        `background` by more than `threshold`): the number of text lines drawn there.
    */
    int countInkRowBands (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background,
                          int threshold = 60);

    /** True when both images have the same size and every pixel is equal. */
    bool sameImage (const juce::Image& a, const juce::Image& b);

    juce::String toHex (juce::Colour colour);
} // namespace ui_test
