#include "UiTestSupport.h"

#include "widgets/vuMeter.h"

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

using ui_test::pixelNear;
using ui_test::snapshotOf;

namespace
{
    const juce::Colour panelBackground{ 0xff404040 };
    const auto green = juce::Colours::green.withBrightness (0.7f);
    const auto yellow = juce::Colours::yellow.withBrightness (0.8f);
    const auto red = juce::Colours::red.withBrightness (1.1f);

    constexpr auto numSegments = 20;
    constexpr auto meterHeight = 140;
    constexpr auto segmentHeight = meterHeight / numSegments; // 7 pixels

    /** A meter set up as the control panel sets up its level meters (or its phase meter). */
    std::unique_ptr<vuMeter> makePanelMeter (bool phase)
    {
        auto meter = std::make_unique<vuMeter>();
        meter->segmentColours.clear();
        if (phase)
        {
            meter->segmentColours.insert (meter->segmentColours.end(), 20, yellow);
            meter->linear = true;
            meter->setBounds (0, 0, 60, meterHeight);
        }
        else
        {
            meter->segmentColours.insert (meter->segmentColours.end(), 14, green);
            meter->segmentColours.insert (meter->segmentColours.end(), 4, yellow);
            meter->segmentColours.insert (meter->segmentColours.end(), 2, red);
            meter->setBounds (0, 0, 28, meterHeight);
        }
        meter->backgroundColour = panelBackground;
        return meter;
    }

    /** The row in the middle of segment j (0 at the bottom), clear of the separator lines. */
    int middleRowOf (int segment)
    {
        return meterHeight - segment * segmentHeight - segmentHeight / 2 - 1;
    }

    juce::Colour blend (juce::Colour under, juce::Colour over, float opacity)
    {
        return under.interpolatedWith (over, opacity);
    }

    /** Checks every segment of a rendered meter: lit ones in their colour, the partly lit one
        blended with the background at its opacity, the rest background.
    */
    void expectSegments (const juce::Image& image, const vuMeter& meter, int fullSegments,
                         std::optional<float> partialOpacity)
    {
        const auto x = image.getWidth() / 2;
        for (auto j = 0; j < numSegments; ++j)
        {
            SCOPED_TRACE ("segment " + juce::String (j));
            auto expected = panelBackground;
            if (j < fullSegments)
                expected = meter.segmentColours[(size_t) j];
            else if (j == fullSegments && partialOpacity.has_value())
                expected = blend (panelBackground, meter.segmentColours[(size_t) j], *partialOpacity);

            EXPECT_TRUE (pixelNear (image, x, middleRowOf (j), expected, 3));
        }
    }

    float amplitudeAtDb (double dB)
    {
        return (float) std::pow (10.0, dB / 20.0);
    }
} // namespace

//==============================================================================
struct SegmentCase
{
    const char* what;
    bool phaseMeter;
    float value;
    int fullSegments;
    std::optional<float> partialOpacity; // of the segment above the full ones
};

TEST (vuMeter, ReadingLightsSegmentsFromTheBottomWithAFractionalTop)
{
    constexpr auto nan = std::numeric_limits<float>::quiet_NaN();
    constexpr auto infinity = std::numeric_limits<float>::infinity();

    const SegmentCase cases[] = {
        { "full scale", false, 1.0f, 20, std::nullopt },
        // -6.02 dB: level 0.8997, f = 17.99.
        { "half amplitude", false, 0.5f, 17, 0.9897f },
        { "silence", false, 0.0f, 0, 0.0f },
        { "negative", false, -0.5f, 0, 0.0f },
        { "-120 dB clamps to the bottom", false, 1e-6f, 0, 0.0f },
        { "above full scale", false, 2.0f, 20, std::nullopt },
        { "-13.5 dB: f = 15.5", false, amplitudeAtDb (-13.5), 15, 0.5f },
        { "NaN counts as silence", false, nan, 0, 0.0f },
        { "infinity counts as silence", false, infinity, 0, 0.0f },
        { "phase 0.5", true, 0.5f, 10, 0.0f },
        { "phase 1.0", true, 1.0f, 20, std::nullopt },
        { "phase 0.999", true, 0.999f, 19, 0.98f },
        { "phase 0.6 lies on a boundary: f = 12.0", true, 0.6f, 12, 0.0f },
        { "NaN phase counts as 0", true, nan, 0, 0.0f },
    };

    // 20 x 0.6f rounds to exactly 12 in single precision, which is what the boundary case needs.
    ASSERT_EQ ((float) numSegments * 0.6f, 12.0f);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto meter = makePanelMeter (c.phaseMeter);
        meter->setLevel (c.value);

        const auto image = snapshotOf (*meter);
        ui_test::savePng (image, juce::String ("vuMeter-") + c.what);

        expectSegments (image, *meter, c.fullSegments, c.partialOpacity);

        // Outline in the brightened background colour.
        EXPECT_TRUE (pixelNear (image, 0, meterHeight / 2, panelBackground.brighter (0.4f)));
        EXPECT_TRUE (pixelNear (image, image.getWidth() - 1, meterHeight / 2, panelBackground.brighter (0.4f)));
    }
}

TEST (vuMeter, PeakIsHeldForTheGivenNumberOfReadingsThenCatchesTheBarAgain)
{
    auto meter = makePanelMeter (false);
    meter->showPeak = true;
    meter->peakHoldTicks = 25;
    const auto x = meter->getWidth() / 2;
    const auto peakRow = middleRowOf (15);

    // A burst to f = 15.5: segments 0..14 full, 15 half lit; the peak is caught on segment 15.
    meter->setLevel (amplitudeAtDb (-13.5));
    const auto caught = snapshotOf (*meter);
    ui_test::savePng (caught, "vuMeter-peak-caught");
    EXPECT_TRUE (pixelNear (caught, x, peakRow, yellow, 3)) << "drawn in full for the reading that caught it";

    // The level falls to -40 dB (f = 6.67): the peak stays on segment 15 for 25 more readings (one
    // second of the panel's ticks), however often the meter is painted in between.
    for (auto reading = 1; reading <= 25; ++reading)
    {
        SCOPED_TRACE ("reading " + juce::String (reading) + " after the catch");
        meter->setLevel (amplitudeAtDb (-40.0));
        for (auto paint = 0; paint < 2; ++paint)
        {
            const auto image = snapshotOf (*meter);
            ASSERT_TRUE (pixelNear (image, x, peakRow, yellow, 3));
            ASSERT_TRUE (pixelNear (image, x, middleRowOf (10), panelBackground, 3));
        }
    }

    // The next reading finds the hold run out and catches the current level: segment 6.
    meter->setLevel (amplitudeAtDb (-40.0));
    const auto released = snapshotOf (*meter);
    ui_test::savePng (released, "vuMeter-peak-released");
    EXPECT_TRUE (pixelNear (released, x, peakRow, panelBackground, 3));
    EXPECT_TRUE (pixelNear (released, x, middleRowOf (6), green, 3));

    // A level below the scale gives 0 and catches nothing once the new hold has run out.
    for (auto reading = 0; reading < 30; ++reading)
        meter->setLevel (1e-6f);
    const auto silent = snapshotOf (*meter);
    for (auto j = 0; j < numSegments; ++j)
        EXPECT_TRUE (pixelNear (silent, x, middleRowOf (j), panelBackground, 3)) << "segment " << j;
}

TEST (vuMeter, PeakOnASegmentBoundarySitsOneAboveTheLitBar)
{
    auto meter = makePanelMeter (true);
    meter->showPeak = true;
    meter->setLevel (0.6f); // f = 12.0

    const auto image = snapshotOf (*meter);
    ui_test::savePng (image, "vuMeter-peak-on-boundary");
    const auto x = meter->getWidth() / 2;

    EXPECT_TRUE (pixelNear (image, x, middleRowOf (11), yellow, 3));
    EXPECT_TRUE (pixelNear (image, x, middleRowOf (12), yellow, 3)) << "the peak segment";
    EXPECT_TRUE (pixelNear (image, x, middleRowOf (13), panelBackground, 3));
}

TEST (vuMeter, NonFiniteReadingsDoNotStickInThePeak)
{
    for (const auto phaseMeter : { false, true })
    {
        SCOPED_TRACE (phaseMeter ? "phase meter" : "level meter");
        auto meter = makePanelMeter (phaseMeter);
        meter->showPeak = true;

        meter->setLevel (std::numeric_limits<float>::quiet_NaN());
        snapshotOf (*meter);

        // A good reading right after the bad one is shown and caught as usual; the caught peak
        // covers the partly lit segment in full.
        meter->setLevel (phaseMeter ? 0.525f : 0.5f); // f = 10.5 and 17.99
        expectSegments (snapshotOf (*meter), *meter, phaseMeter ? 10 : 17, 1.0f);
    }
}

TEST (vuMeter, OddSizesAndEmptySegmentListsPaintSafely)
{
    const struct
    {
        int width, height;
        size_t segments;
    } cases[] = { { 0, 0, 20 }, { 1, 1, 20 }, { 28, 3, 20 }, { 28, 140, 0 }, { 28, 140, 1 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height) + ", " +
                      juce::String ((int) c.segments) + " segments");
        vuMeter meter;
        meter.segmentColours.assign (c.segments, red);
        meter.showPeak = true;
        meter.setSize (c.width, c.height);
        meter.setLevel (1.0f);

        juce::Image image (juce::Image::ARGB, 30, 150, true);
        {
            juce::Graphics g (image);
            meter.paint (g);
            meter.paint (g);
        }

        // Where segments are tall enough to see past their separators, the meter shows a full
        // bar; without segments, its background.
        const auto segmentsVisible = c.segments == 0 || c.height / (int) c.segments >= 3;
        if (c.width > 2 && c.height > 2 && segmentsVisible)
        {
            const auto expected = c.segments > 0 ? red : juce::Colours::black;
            EXPECT_TRUE (pixelNear (image, c.width / 2, c.height / 2, expected, 3));
        }
        EXPECT_EQ (image.getPixelAt (c.width + 1, c.height + 1).getAlpha(), 0) << "nothing outside the meter";
    }
}

//==============================================================================
TEST (vuMeter, ReadoutTexts)
{
    const struct
    {
        float envelope;
        const char* text;
    } levels[] = {
        { 1.0f, "0.0" },
        { 0.5f, "-6.0" },
        { 2.0f, "6.0" }, // not clamped at the top
        { 0.0f, "-100.0" },
        { -0.5f, "-100.0" },
        { 1e-6f, "-100.0" },
        { 1.2e-5f, "-98.4" },
        { std::numeric_limits<float>::quiet_NaN(), "-100.0" },
        { std::numeric_limits<float>::infinity(), "-100.0" },
    };

    for (const auto& l : levels)
        EXPECT_EQ (vuMeter::levelReadoutText (l.envelope), l.text) << "envelope " << l.envelope;

    const struct
    {
        float phase;
        const char* text;
    } phases[] = {
        { 0.0f, "0 deg" },     { 0.5f, "90 deg" }, { 1.0f, "180 deg" },
        { 0.999f, "179 deg" }, // truncated, not rounded
        { 1.5f, "180 deg" },   { -0.2f, "0 deg" }, { std::numeric_limits<float>::quiet_NaN(), "0 deg" },
    };

    for (const auto& p : phases)
        EXPECT_EQ (vuMeter::phaseReadoutText (p.phase), p.text) << "phase " << p.phase;
}
