#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroAnimatedAboutScreen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
    /** The phase of point k after a reset: a ramp of 0.16 per point, wrapped into [-1, 1]. */
    double resetPhase (int k)
    {
        double x = 0.16 * k;
        while (x > 1.0 + 1e-9)
            x -= 2.0;
        return x;
    }

    double wrapped (double p)
    {
        return p > 1.0 ? p - 2.0 : p;
    }

    std::vector<juce::Point<float>> pointsOf (const juce::Path& path)
    {
        std::vector<juce::Point<float>> points;
        for (juce::Path::Iterator i (path); i.next();)
            if (i.elementType == juce::Path::Iterator::startNewSubPath || i.elementType == juce::Path::Iterator::lineTo)
                points.push_back ({ i.x1, i.y1 });
        return points;
    }

    class AboutScreen : public testing::Test
    {
    protected:
        KroAnimatedAboutScreen screen;

        void SetUp() override { screen.setSize (800, 580); }

        void moveMouseTo (float x, float y) { screen.mouseMove (ui_test::mouseEventAt (screen, { x, y })); }
    };
} // namespace

TEST_F (AboutScreen, ResetPutsThePhasesOnAWrappedRamp)
{
    screen.resetPhases();
    const auto& phases = screen.getPhases();

    EXPECT_EQ (phases[0], 0.0f);
    EXPECT_NEAR (phases[1], 0.16f, 1e-6f);
    EXPECT_NEAR (phases[6], 0.96f, 1e-5f);
    EXPECT_NEAR (phases[7], -0.88f, 1e-5f);
    EXPECT_NEAR (phases[8], -0.72f, 1e-5f);

    for (int k = 0; k < KroAnimatedAboutScreen::numPoints; ++k)
    {
        EXPECT_NEAR (phases[(size_t) k], resetPhase (k), 1e-4) << "point " << k;
        EXPECT_GE (phases[(size_t) k], -1.0f);
        EXPECT_LE (phases[(size_t) k], 1.0f);
    }
}

struct MousePosition
{
    const char* name;
    bool moved;
    float x, y;
    float speed, amplitude;
};

class AboutScreenTick : public AboutScreen, public testing::WithParamInterface<MousePosition>
{
};

TEST_P (AboutScreenTick, OneTickAdvancesEveryPhaseAndRebuildsTheWave)
{
    const auto& c = GetParam();
    if (c.moved)
        moveMouseTo (c.x, c.y);

    EXPECT_NEAR (screen.getSpeed(), c.speed, 1e-5);
    EXPECT_NEAR (screen.getAmplitude(), c.amplitude, 1e-5);

    screen.resetPhases();
    screen.timerCallback();

    const auto step = c.speed / 50.0;
    const auto points = pointsOf (screen.getWave());
    ASSERT_EQ (points.size(), 50u);

    double largestSwing = 0.0;
    for (int j = 0; j < 50; ++j)
    {
        const auto p = wrapped (resetPhase (j) + step);
        const auto s = 2.0 * p * (1.0 - std::abs (p));
        const auto expectedY = 290.0 - 200.0 * c.amplitude * s;

        EXPECT_NEAR (screen.getPhases()[(size_t) j], p, 1e-4) << "point " << j;
        EXPECT_NEAR (points[(size_t) j].x, 16.0 * j, 1e-4) << "point " << j;
        EXPECT_NEAR (points[(size_t) j].y, expectedY, 0.02) << "point " << j;
        largestSwing = std::max (largestSwing, std::abs (points[(size_t) j].y - 290.0));
    }

    EXPECT_LE (largestSwing, 100.0 * c.amplitude + 0.01);
    EXPECT_GE (largestSwing, 90.0 * c.amplitude) << "the ramp of phases reaches near the crest";
}

INSTANTIATE_TEST_SUITE_P (Mouse, AboutScreenTick,
                          testing::Values (MousePosition{ "Untouched", false, 0, 0, 3.0f, 1.0f },
                                           MousePosition{ "RightTop", true, 800, 0, 10.0f, 2.0f },
                                           MousePosition{ "LeftBottom", true, 0, 580, 1.0f, 0.1f },
                                           MousePosition{ "Middle", true, 400, 290, 5.5f, 1.05f }),
                          [] (const testing::TestParamInfo<MousePosition>& paramInfo)
                          { return std::string (paramInfo.param.name); });

TEST_F (AboutScreen, ReopeningRestartsTheWaveButKeepsTheMouseValues)
{
    moveMouseTo (800, 0);
    screen.resetPhases();
    for (int tick = 0; tick < 7; ++tick)
        screen.timerCallback();

    screen.resetPhases();

    EXPECT_EQ (screen.getPhases()[0], 0.0f);
    EXPECT_NEAR (screen.getPhases()[7], -0.88f, 1e-5f);
    EXPECT_FLOAT_EQ (screen.getSpeed(), 10.0f);
    EXPECT_FLOAT_EQ (screen.getAmplitude(), 2.0f);
}

TEST_F (AboutScreen, TheRunningTimerMovesTheWave)
{
    screen.resetPhases();
    screen.startTimerHz (25);
    ASSERT_TRUE (pumpMessagesUntil ([this] { return screen.getPhases()[0] > 0.1f; }, 2000));
    screen.stopTimer();

    EXPECT_EQ (pointsOf (screen.getWave()).size(), 50u);
}

TEST_F (AboutScreen, AnyClickStopsTheTimerAndHidesTheScreen)
{
    for (const auto where :
         { juce::Point<float> (400, 290), juce::Point<float> (10, 10), juce::Point<float> (790, 570) })
    {
        juce::Component parent;
        parent.setSize (800, 580);
        parent.addAndMakeVisible (screen);
        pages_test::DesktopWindow window (parent);

        screen.startTimerHz (25);
        screen.mouseDown (ui_test::mouseEventAt (screen, where));

        EXPECT_FALSE (screen.isTimerRunning());
        EXPECT_FALSE (screen.isVisible());
        parent.removeChildComponent (&screen);
        pages_test::waitForAnimations();
    }
}

TEST_F (AboutScreen, RenderedScreenShowsTheWaveTheBoxAndTheText)
{
    screen.text = "\nKro Trella\nCoded by: the Palvenmark team\nSpecial thanks to: our testers\n\nVersion: 1.0.0 - "
                  "build date: 9 Dec 2026 ";
    screen.resetPhases();
    screen.timerCallback();

    const auto image = ui_test::snapshotOf (screen);
    pages_test::saveRendered (image, "about");

    EXPECT_TRUE (screen.isOpaque());
    EXPECT_TRUE (ui_test::pixelNear (image, 5, 5, juce::Colours::black));
    EXPECT_TRUE (ui_test::pixelNear (image, 795, 575, juce::Colours::black));

    // The box: 0xf0606666 over black, from (200, 190) to (600, 390), with rounded corners.
    const auto box = juce::Colours::black.overlaidWith (juce::Colour (0xf0606666));
    EXPECT_TRUE (ui_test::pixelNear (image, 205, 290, box, 3));
    EXPECT_TRUE (ui_test::pixelNear (image, 594, 196, box, 3));
    EXPECT_TRUE (ui_test::pixelNear (image, 200, 190, juce::Colours::black, 60)) << "rounded corner";

    // The text, light on the box.
    const auto textInk = ui_test::inkBounds (image, { 200, 190, 400, 200 }, box, 100);
    EXPECT_GT (textInk.getHeight(), 80) << "six lines of text";
    EXPECT_LT (ui_test::channelDistance (ui_test::mostDifferentPixel (image, { 200, 190, 400, 200 }, box),
                                         juce::Colour (0xfff0f0fa)),
               30);

    // The wave near a crest (point 3, phase 0.54 after the tick), where it runs level: 10 pixels
    // thick, coloured by the vertical gradient from 0xff206084 at the top to 0xff6c0a68 at the bottom.
    const auto crest = pointsOf (screen.getWave())[3];
    const auto x = juce::roundToInt (crest.x);
    const auto y = juce::roundToInt (crest.y);
    const auto gradientHere =
        juce::Colour (0xff206084).interpolatedWith (juce::Colour (0xff6c0a68), (float) y / 580.0f);
    EXPECT_TRUE (ui_test::pixelNear (image, x, y, gradientHere, 8));
    EXPECT_TRUE (ui_test::pixelNear (image, x, y + 9, juce::Colours::black, 8));
    EXPECT_TRUE (ui_test::pixelNear (image, x, y - 9, juce::Colours::black, 8));
}
