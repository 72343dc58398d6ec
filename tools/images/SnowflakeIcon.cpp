#include "SnowflakeIcon.h"

#include <cmath>

namespace
{
    constexpr float centre = 16.0f;
    constexpr float armLength = 13.0f;

    /** Six arms, each with one pair of side branches, as one open path. */
    juce::Path makeFlake()
    {
        juce::Path arm;
        arm.startNewSubPath (0.0f, 0.0f);
        arm.lineTo (0.0f, -armLength);

        const struct
        {
            float at, length;
        } branches[] = { { 7.5f, 4.2f } };

        for (const auto& branch : branches)
        {
            const float dx = branch.length * std::sin (juce::MathConstants<float>::pi / 4.0f);
            const float dy = branch.length * std::cos (juce::MathConstants<float>::pi / 4.0f);
            arm.startNewSubPath (-dx, -branch.at - dy);
            arm.lineTo (0.0f, -branch.at);
            arm.lineTo (dx, -branch.at - dy);
        }

        juce::Path flake;
        for (int i = 0; i < 6; ++i)
            flake.addPath (arm, juce::AffineTransform::rotation ((float) i * juce::MathConstants<float>::pi / 3.0f)
                                    .translated (centre, centre));
        return flake;
    }
} // namespace

juce::Image SnowflakeIcon::render()
{
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    const auto flake = makeFlake();
    const auto stroke = [] (float thickness)
    { return juce::PathStrokeType (thickness, juce::PathStrokeType::mitered, juce::PathStrokeType::rounded); };

    // A dark rim first, then the light core on top of it.
    g.setColour (juce::Colour (0xf0203848));
    g.strokePath (flake, stroke (3.4f));
    g.setColour (juce::Colour (0xffe4f3ff));
    g.strokePath (flake, stroke (1.6f));
    return image;
}
