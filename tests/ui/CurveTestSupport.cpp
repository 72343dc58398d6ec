#include "CurveTestSupport.h"

#include "support/ImageDump.h"

#include <cstdlib>

namespace curvetest
{
    juce::MouseEvent mouseAt (juce::Component& component, juce::Point<int> position, juce::ModifierKeys mods,
                              int numberOfClicks)
    {
        const auto now = juce::Time::getCurrentTime();
        const auto where = position.toFloat();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), where, mods,
                                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &component,
                                 &component, now, where, now, numberOfClicks, false);
    }

    juce::ModifierKeys leftButton()
    {
        return juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);
    }
    juce::ModifierKeys rightButton()
    {
        return juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier);
    }

    juce::Image snapshot (juce::Component& component, const juce::String& name)
    {
        auto image = component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);

        dumpImage (name, image);
        return image;
    }

    int rgbDistance (juce::Colour a, juce::Colour b)
    {
        return juce::jmax (std::abs ((int) a.getRed() - (int) b.getRed()),
                           std::abs ((int) a.getGreen() - (int) b.getGreen()),
                           std::abs ((int) a.getBlue() - (int) b.getBlue()));
    }

    bool columnHasColour (const juce::Image& image, int x, int top, int bottom, juce::Colour colour, int tolerance,
                          int minimumAlpha)
    {
        for (int y = juce::jmax (0, top); y <= juce::jmin (image.getHeight() - 1, bottom); ++y)
        {
            const auto pixel = image.getPixelAt (x, y);
            if (pixel.getAlpha() >= minimumAlpha && rgbDistance (pixel, colour) <= tolerance)
                return true;
        }
        return false;
    }

    juce::Array<int> rowsWithColour (const juce::Image& image, int x, juce::Colour colour, int tolerance)
    {
        juce::Array<int> rows;
        for (int y = 0; y < image.getHeight(); ++y)
        {
            const auto pixel = image.getPixelAt (x, y);
            if (pixel.getAlpha() >= 128 && rgbDistance (pixel, colour) <= tolerance)
                rows.add (y);
        }
        return rows;
    }
} // namespace curvetest
