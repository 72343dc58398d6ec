#include "UiTestSupport.h"

#include "../support/MessagePump.h"
#include "widgets/SquareButton.h"

#include <memory>

using ui_test::mouseEventAt;
using ui_test::pixelNear;
using ui_test::snapshotOf;

namespace
{
    const juce::Colour offBackground{ 0xff404244 };
    const juce::Colour onBackground{ 0xfffffafa };
    const juce::Colour pushBackground{ 0xff505570 };

    // A caption with long vertical stems, so that some text pixels are fully covered.
    const juce::String stemCaption ("HIH");

    /** Background at two inner corners, away from the rounded edge and the centred caption. */
    void expectBackground (const juce::Image& image, juce::Colour expected)
    {
        EXPECT_TRUE (pixelNear (image, 3, 3, expected));
        EXPECT_TRUE (pixelNear (image, image.getWidth() - 4, image.getHeight() - 4, expected));
    }

    /** The caption colour: the pixel that stands out most from the background is a fully covered
        glyph pixel, so it shows the text colour itself.
    */
    void expectTextColour (const juce::Image& image, juce::Colour background, juce::Colour expected)
    {
        const auto ink = ui_test::mostDifferentPixel (image, image.getBounds().reduced (4), background);
        EXPECT_LE (ui_test::channelDistance (ink, expected), 24)
            << "text pixel " << ui_test::toHex (ink) << ", expected " << ui_test::toHex (expected);
    }

    juce::Image makeSolidIcon (juce::Colour colour)
    {
        juce::Image image (juce::Image::ARGB, 32, 32, true);
        image.clear (image.getBounds(), colour);
        return image;
    }
} // namespace

struct ButtonLook
{
    const char* what;
    int type;
    int state;
    bool enabled;
    juce::Colour background;
    juce::Colour text;
};

TEST (SquareButton, BackgroundAndTextColourFollowTypeStateAndEnablement)
{
    const ButtonLook looks[] = {
        { "toggle off", SquareButton::toggleType, 0, true, offBackground, juce::Colours::white },
        { "toggle on", SquareButton::toggleType, 1, true, onBackground, juce::Colours::black },
        { "toggle with any non-zero state is on", SquareButton::toggleType, 5, true, onBackground,
          juce::Colours::black },
        { "disabled toggle off", SquareButton::toggleType, 0, false, offBackground, juce::Colours::grey },
        { "disabled toggle on", SquareButton::toggleType, 1, false, onBackground, juce::Colours::grey },
        { "push", SquareButton::pushType, 1, true, pushBackground, juce::Colours::black },
        { "push whose owner set it off", SquareButton::pushType, 0, true, pushBackground, juce::Colours::white },
        { "disabled push", SquareButton::pushType, 1, false, pushBackground, juce::Colours::grey },
    };

    for (const auto& look : looks)
    {
        SCOPED_TRACE (look.what);
        SquareButton button (stemCaption, look.type);
        button.setBounds (0, 0, 70, 30);
        button.state = look.state;
        button.setEnabled (look.enabled);

        const auto image = snapshotOf (button);
        ui_test::savePng (image, juce::String ("SquareButton-") + look.what);

        expectBackground (image, look.background);
        expectTextColour (image, look.background, look.text);
    }
}

TEST (SquareButton, FontHeightIsSixTenthsOfTheHeightUpToFourteen)
{
    // The caption's ink width grows with the font height, so it tells the height apart:
    // at 12 and 14 pixels the six letters differ by about ten pixels.
    const juce::String caption ("HHHHHH");
    const struct
    {
        int buttonHeight;
        float fontHeight;
    } cases[] = { { 20, 12.0f }, { 30, 14.0f }, { 32, 14.0f } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.buttonHeight);
        SquareButton button (caption);
        button.state = 0;
        button.setBounds (0, 0, 140, c.buttonHeight);

        const auto image = snapshotOf (button);
        const auto ink = ui_test::inkBounds (image, image.getBounds().reduced (3), offBackground);
        const auto expectedWidth = juce::Font (c.fontHeight).getStringWidthFloat (caption);

        EXPECT_NEAR ((float) ink.getWidth(), expectedWidth, 3.0f);
        EXPECT_NEAR ((float) ink.getCentreY(), (float) c.buttonHeight / 2.0f, 1.5f);
    }
}

TEST (SquareButton, IconIsDrawnUnscaledAtTheTopCentre)
{
    const auto iconColour = juce::Colour (0xff20c040);
    const struct
    {
        int buttonWidth;
        int expectedLeft;
    } cases[] = { { 32, 0 }, { 70, 19 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.buttonWidth);
        SquareButton button ({});
        button.state = 0;
        button.icon = makeSolidIcon (iconColour);
        button.setBounds (0, 0, c.buttonWidth, 32);

        const auto image = snapshotOf (button);
        ui_test::savePng (image, "SquareButton-icon-" + juce::String (c.buttonWidth));

        const auto iconArea = ui_test::boundsOfColour (image, image.getBounds(), iconColour);
        EXPECT_EQ (iconArea, juce::Rectangle<int> (c.expectedLeft, 0, 32, 32));
        EXPECT_TRUE (pixelNear (image, c.expectedLeft, 0, iconColour));
        EXPECT_TRUE (pixelNear (image, c.expectedLeft + 31, 31, iconColour));
    }
}

TEST (SquareButton, CaptionsFollowTheStateAndSetText)
{
    const auto render = [] (const juce::String& offText, const juce::String& onText, int state)
    {
        SquareButton button ("unused");
        button.setText (offText, onText);
        button.state = state;
        button.setBounds (0, 0, 32, 32);
        return snapshotOf (button);
    };

    const auto onWithOwnText = render ("FFT\nPOST", "FFT\nPRE", 1);
    const auto offWithOwnText = render ("FFT\nPOST", "FFT\nPRE", 0);
    ui_test::savePng (onWithOwnText, "SquareButton-FFT-PRE");
    ui_test::savePng (offWithOwnText, "SquareButton-FFT-POST");

    // Each state shows its own caption: the same picture as a button with that one caption.
    EXPECT_TRUE (ui_test::sameImage (onWithOwnText, render ("FFT\nPRE", {}, 1)));
    EXPECT_TRUE (ui_test::sameImage (offWithOwnText, render ("FFT\nPOST", {}, 0)));
    EXPECT_FALSE (ui_test::sameImage (onWithOwnText, render ("FFT\nPOST", {}, 1)));

    // A caption with a line break is drawn as two lines, each inside the 32-pixel button even
    // when a line ("POST") is wider than the button at the natural font width.
    const auto insideBorder = offWithOwnText.getBounds().reduced (1);
    EXPECT_EQ (ui_test::countInkRowBands (offWithOwnText, insideBorder, offBackground), 2);
    EXPECT_EQ (ui_test::countInkRowBands (onWithOwnText, insideBorder, onBackground), 2);
    EXPECT_EQ (ui_test::countInkRowBands (render ("FFT", {}, 0), insideBorder, offBackground), 1);

    // One caption for both states, and the constructor's name as the initial caption.
    SquareButton peak ("unused");
    peak.setText ("Peak");
    EXPECT_EQ (peak.getTextOn(), "Peak");
    EXPECT_EQ (peak.getTextOff(), "Peak");

    const SquareButton named ("Active");
    EXPECT_EQ (named.getTextOn(), "Active");
    EXPECT_EQ (named.getTextOff(), "Active");
    EXPECT_EQ (named.state, 1);
}

struct ReleaseCase
{
    const char* what;
    int type;
    int stateBefore;
    bool enabled;
    juce::Point<float> releaseAt;
    int stateAfter;
    int handlerCalls;
    juce::Colour backgroundAfter;
};

TEST (SquareButton, ReleaseFlipsAToggleAndReportsThroughOnMouseUp)
{
    const juce::Point<float> inside{ 35.0f, 15.0f };
    const juce::Point<float> farOutside{ -40.0f, 300.0f };

    const ReleaseCase cases[] = {
        { "toggle on to off", SquareButton::toggleType, 1, true, inside, 0, 1, offBackground },
        { "toggle off to on", SquareButton::toggleType, 0, true, inside, 1, 1, onBackground },
        { "owner-set state 5 turns off", SquareButton::toggleType, 5, true, inside, 0, 1, offBackground },
        { "release outside still counts", SquareButton::toggleType, 1, true, farOutside, 0, 1, offBackground },
        { "disabled toggle ignores the release", SquareButton::toggleType, 1, false, inside, 1, 0, onBackground },
        { "push keeps its state", SquareButton::pushType, 1, true, inside, 1, 1, pushBackground },
        { "disabled push ignores the release", SquareButton::pushType, 1, false, inside, 1, 0, pushBackground },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        SquareButton button ("Active", c.type);
        button.setBounds (0, 0, 70, 30);
        button.state = c.stateBefore;
        button.setEnabled (c.enabled);

        auto calls = 0;
        auto stateSeenByHandler = -1;
        button.onMouseUp = [&] (const juce::MouseEvent&)
        {
            ++calls;
            stateSeenByHandler = button.state;
        };

        // Delivered through the component interface, as the framework's mouse dispatch does.
        juce::Component& component = button;
        component.mouseDown (mouseEventAt (button, inside));
        component.mouseUp (mouseEventAt (button, c.releaseAt));

        EXPECT_EQ (button.state, c.stateAfter);
        EXPECT_EQ (calls, c.handlerCalls);
        if (c.handlerCalls > 0)
        {
            EXPECT_EQ (stateSeenByHandler, c.stateAfter);
        }

        expectBackground (snapshotOf (button), c.backgroundAfter);
    }
}

TEST (SquareButton, FrameworkClicksAndKeyPressesDoNothing)
{
    for (const auto type : { SquareButton::toggleType, SquareButton::pushType })
    {
        SCOPED_TRACE (type);
        SquareButton button ("Active", type);
        button.setBounds (0, 0, 70, 30);
        button.state = 0;

        auto calls = 0;
        button.onMouseUp = [&] (const juce::MouseEvent&) { ++calls; };
        auto frameworkClicks = 0;
        button.onClick = [&] { ++frameworkClicks; };

        button.triggerClick();
        juce::Component& component = button;
        EXPECT_TRUE (component.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
        pumpMessages (50);

        // The framework did raise its clicks (onClick ran), yet the button kept its state and
        // its own callback stayed silent.
        EXPECT_EQ (frameworkClicks, 2);
        EXPECT_EQ (button.state, 0);
        EXPECT_EQ (calls, 0);
    }
}

TEST (SquareButton, PushButtonsShowThePointingHand)
{
    const juce::MouseCursor pointingHand (juce::MouseCursor::PointingHandCursor);

    SquareButton constructedAsPush ("HELP", SquareButton::pushType);
    EXPECT_TRUE (constructedAsPush.getMouseCursor() == pointingHand);

    SquareButton madePush ("SETTINGS");
    EXPECT_FALSE (madePush.getMouseCursor() == pointingHand);
    madePush.setType (SquareButton::pushType);
    EXPECT_TRUE (madePush.getMouseCursor() == pointingHand);
    EXPECT_EQ (madePush.getType(), SquareButton::pushType);
}

TEST (SquareButton, HandlerMayDeleteTheButton)
{
    // A dialog's OK button closes the dialog that owns it; the release must not touch the
    // deleted button afterwards (run under valgrind or a sanitizer to see a use after free).
    auto button = std::make_unique<SquareButton> ("OK", SquareButton::pushType);
    button->setBounds (0, 0, 60, 30);
    auto calls = 0;
    button->onMouseUp = [&] (const juce::MouseEvent&)
    {
        ++calls;
        button.reset();
    };

    const auto event = mouseEventAt (*button, { 30.0f, 15.0f });
    button->mouseUp (event);

    EXPECT_EQ (calls, 1);
    EXPECT_EQ (button, nullptr);
    pumpMessages (20);
}
