#include "EmbeddedResource.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

namespace
{
    struct ImageEntry
    {
        const char* resourceName;
        int width, height;
    };

    const ImageEntry images[] = {
        { "Trella_logo_180x48_png", 180, 48 },
        { "logo_Kro_150x48_png", 150, 48 },
        { "snow_png", 32, 32 },
        { "Trella_icon_png", 256, 256 },
    };

    juce::Image load (const char* resourceName)
    {
        const auto resource = EmbeddedResource::find (resourceName);
        return juce::ImageFileFormat::loadFrom (resource.data, (size_t) resource.size);
    }

    float luminance (juce::Colour c)
    {
        return 0.2126f * c.getFloatRed() + 0.7152f * c.getFloatGreen() + 0.0722f * c.getFloatBlue();
    }

    /** Pixels of the image, laid over the background, whose brightness stands clearly apart from it. */
    int countContrastingPixels (const juce::Image& image, juce::Colour background)
    {
        int count = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (std::abs (luminance (background.overlaidWith (image.getPixelAt (x, y))) - luminance (background)) >
                    0.3f)
                    ++count;
        return count;
    }

    class EmbeddedImage : public ::testing::TestWithParam<ImageEntry>
    {
    };
} // namespace

TEST_P (EmbeddedImage, IsAnRgbaPngOfItsListedSize)
{
    const auto resource = EmbeddedResource::find (GetParam().resourceName);
    ASSERT_GT (resource.size, 33);

    // Signature, then the IHDR chunk: width, height, bit depth, colour type (6 = RGBA).
    const juce::uint8 signature[] = { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };
    ASSERT_EQ (std::memcmp (resource.data, signature, 8), 0);
    ASSERT_EQ (std::memcmp (resource.data + 12, "IHDR", 4), 0);
    EXPECT_EQ ((int) juce::ByteOrder::bigEndianInt (resource.bytes() + 16), GetParam().width);
    EXPECT_EQ ((int) juce::ByteOrder::bigEndianInt (resource.bytes() + 20), GetParam().height);
    EXPECT_EQ (resource.bytes()[24], 8);
    EXPECT_EQ (resource.bytes()[25], 6);

    const auto image = load (GetParam().resourceName);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), GetParam().width);
    EXPECT_EQ (image.getHeight(), GetParam().height);
    EXPECT_TRUE (image.hasAlphaChannel());
}

TEST_P (EmbeddedImage, HasATransparentBackground)
{
    const auto image = load (GetParam().resourceName);
    ASSERT_TRUE (image.isValid());
    const int right = image.getWidth() - 1, bottom = image.getHeight() - 1;

    for (const auto& corner : { juce::Point<int> (0, 0), { right, 0 }, { 0, bottom }, { right, bottom } })
        EXPECT_EQ (image.getPixelAt (corner.x, corner.y).getAlpha(), 0) << corner.toString();
}

INSTANTIATE_TEST_SUITE_P (Resources, EmbeddedImage, ::testing::ValuesIn (images),
                          [] (const auto& instance) { return std::string (instance.param.resourceName); });

TEST (EmbeddedImages, StandOutOnTheFacesTheyAreShownOn)
{
    const juce::Colour panel (0xff2a232d), buttonOff (0xff404244), buttonOn (0xfffffafa);
    const struct
    {
        const char* resourceName;
        juce::Colour background;
        int minimumPixels;
    } cases[] = {
        { "Trella_logo_180x48_png", panel, 300 },
        { "logo_Kro_150x48_png", panel, 300 },
        // The freeze button shows its icon on a dark face when off and a near-white one when on.
        { "snow_png", buttonOff, 60 },
        { "snow_png", buttonOn, 60 },
    };

    for (const auto& c : cases)
    {
        const auto image = load (c.resourceName);
        ASSERT_TRUE (image.isValid()) << c.resourceName;
        EXPECT_GE (countContrastingPixels (image, c.background), c.minimumPixels)
            << c.resourceName << " on " << c.background.toDisplayString (false);
    }
}
