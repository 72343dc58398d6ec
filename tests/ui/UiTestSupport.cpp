#include "UiTestSupport.h"

#include "support/ImageDump.h"

#include <cstdlib>

namespace ui_test
{
    juce::Image snapshotOf (juce::Component& component, float scale)
    {
        return component.createComponentSnapshot (component.getLocalBounds(), true, scale);
    }

    void savePng (const juce::Image& image, const juce::String& name)
    {
        dumpImage (name, image);
    }

    juce::MouseEvent mouseEventAt (juce::Component& component, juce::Point<float> position,
                                   juce::ModifierKeys modifiers, int numberOfClicks)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, modifiers,
                                 juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                 juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                                 juce::MouseInputSource::defaultTiltY, &component, &component, now, position, now,
                                 numberOfClicks, false);
    }

    int channelDistance (juce::Colour a, juce::Colour b)
    {
        return juce::jmax (
            std::abs ((int) a.getRed() - (int) b.getRed()), std::abs ((int) a.getGreen() - (int) b.getGreen()),
            std::abs ((int) a.getBlue() - (int) b.getBlue()), std::abs ((int) a.getAlpha() - (int) b.getAlpha()));
    }

    testing::AssertionResult pixelNear (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance)
    {
        if (! image.getBounds().contains (x, y))
            return testing::AssertionFailure() << "(" << x << ", " << y << ") lies outside the " << image.getWidth()
                                               << " x " << image.getHeight() << " image";

        const auto actual = image.getPixelAt (x, y);
        if (channelDistance (actual, expected) <= tolerance)
            return testing::AssertionSuccess();

        return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << toHex (actual) << ", expected "
                                           << toHex (expected) << " within " << tolerance;
    }

    juce::Colour mostDifferentPixel (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background)
    {
        auto best = background;
        auto bestDistance = -1;

        const auto clipped = area.getIntersection (image.getBounds());
        for (auto y = clipped.getY(); y < clipped.getBottom(); ++y)
            for (auto x = clipped.getX(); x < clipped.getRight(); ++x)
            {
                const auto pixel = image.getPixelAt (x, y);
                const auto distance = channelDistance (pixel, background);
                if (distance > bestDistance)
                {
                    bestDistance = distance;
                    best = pixel;
                }
            }

        return best;
    }

    template <typename Predicate>
    static juce::Rectangle<int> boundsWhere (const juce::Image& image, juce::Rectangle<int> area, Predicate&& matches)
    {
        juce::Rectangle<int> bounds;
        auto found = false;

        const auto clipped = area.getIntersection (image.getBounds());
        for (auto y = clipped.getY(); y < clipped.getBottom(); ++y)
            for (auto x = clipped.getX(); x < clipped.getRight(); ++x)
                if (matches (image.getPixelAt (x, y)))
                {
                    const juce::Rectangle<int> pixel (x, y, 1, 1);
                    bounds = found ? bounds.getUnion (pixel) : pixel;
                    found = true;
                }

        return bounds;
    }

    juce::Rectangle<int> inkBounds (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background,
                                    int threshold)
    {
        return boundsWhere (image, area, [&] (juce::Colour c) { return channelDistance (c, background) > threshold; });
    }

    juce::Rectangle<int> boundsOfColour (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour,
                                         int tolerance)
    {
        return boundsWhere (image, area, [&] (juce::Colour c) { return channelDistance (c, colour) <= tolerance; });
    }

    int countInkRowBands (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background, int threshold)
    {
        auto bands = 0;
        auto previousRowHadInk = false;

        const auto clipped = area.getIntersection (image.getBounds());
        for (auto y = clipped.getY(); y < clipped.getBottom(); ++y)
        {
            auto rowHasInk = false;
            for (auto x = clipped.getX(); x < clipped.getRight() && ! rowHasInk; ++x)
                rowHasInk = channelDistance (image.getPixelAt (x, y), background) > threshold;

            if (rowHasInk && ! previousRowHadInk)
                ++bands;
            previousRowHadInk = rowHasInk;
        }

        return bands;
    }

    bool sameImage (const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;

        for (auto y = 0; y < a.getHeight(); ++y)
            for (auto x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;

        return true;
    }

    juce::String toHex (juce::Colour colour)
    {
        return "0x" + juce::String::toHexString ((int) colour.getARGB()).paddedLeft ('0', 8);
    }
} // namespace ui_test
