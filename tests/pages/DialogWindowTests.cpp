#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"
#include "pages/KroDialogWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
    /** The editor's stand-in: a grey window holding the hidden dialog. */
    struct Window : juce::Component
    {
        void paint (juce::Graphics& g) override { g.fillAll (juce::Colour (0xff808080)); }
    };

    class Dialog : public testing::Test
    {
    protected:
        Window window;
        KroDialogWindow dialog;
        std::vector<bool> results;

        void SetUp() override
        {
            window.setSize (800, 580);
            window.addChildComponent (dialog);
            dialog.onResult = [this] (bool ok) { results.push_back (ok); };
        }

        void TearDown() override { pages_test::waitForAnimations(); }
    };
} // namespace

TEST_F (Dialog, TheMessageFormIsCentredWithOneOkButton)
{
    EXPECT_FALSE (dialog.isVisible());
    EXPECT_EQ (dialog.getCancelButton().getBounds(), juce::Rectangle<int> (240, 120, 120, 30));

    dialog.Open (KroDialogWindow::messageForm, "Version check", "You have the latest version.");

    EXPECT_TRUE (dialog.isVisible());
    EXPECT_EQ (dialog.getBounds(), juce::Rectangle<int> (200, 210, 400, 160));
    EXPECT_EQ (dialog.getOkButton().getBounds(), juce::Rectangle<int> (140, 120, 120, 30));
    EXPECT_TRUE (dialog.getOkButton().isVisible());
    EXPECT_FALSE (dialog.getCancelButton().isVisible());
    EXPECT_EQ (dialog.getTitle(), "Version check");
    EXPECT_TRUE (pages_test::waitForAnimations());
    EXPECT_FLOAT_EQ (dialog.getAlpha(), 1.0f);
}

TEST_F (Dialog, ModesOtherThanTheQuestionFormShowTheMessageForm)
{
    for (const int mode : { -1, 2, 99 })
    {
        dialog.Open (mode, "Title", "Message");
        EXPECT_FALSE (dialog.getCancelButton().isVisible()) << mode;
        EXPECT_EQ (dialog.getOkButton().getBounds(), juce::Rectangle<int> (140, 120, 120, 30)) << mode;
    }
}

TEST_F (Dialog, OkAndCancelCloseAndReportTheirAnswer)
{
    dialog.Open (KroDialogWindow::questionForm, "Question", "Go on?");
    EXPECT_TRUE (dialog.getCancelButton().isVisible());
    EXPECT_FALSE (dialog.getOkButton().getBounds().intersects (dialog.getCancelButton().getBounds()));

    auto& cancel = dialog.getCancelButton();
    cancel.mouseUp (ui_test::mouseEventAt (cancel, { 60.0f, 15.0f }));
    EXPECT_FALSE (dialog.isVisible());

    dialog.Open (KroDialogWindow::messageForm, "Version check", "New version available");
    auto& ok = dialog.getOkButton();
    ok.mouseUp (ui_test::mouseEventAt (ok, { 60.0f, 15.0f }));
    EXPECT_FALSE (dialog.isVisible());

    EXPECT_EQ (results, (std::vector<bool>{ false, true }));
}

TEST_F (Dialog, WithoutACallbackOkOnlyCloses)
{
    dialog.onResult = nullptr;
    dialog.Open (KroDialogWindow::messageForm, "Version check", "Up to date");
    auto& ok = dialog.getOkButton();
    ok.mouseUp (ui_test::mouseEventAt (ok, { 60.0f, 15.0f }));
    EXPECT_FALSE (dialog.isVisible());
}

TEST_F (Dialog, InAWindowEscapeClosesWithoutAnAnswerAndOkClicksAnswer)
{
    pages_test::DesktopWindow desktop (window);

    dialog.Open (KroDialogWindow::messageForm, "Version check", "Up to date");
    ASSERT_TRUE (dialog.hasKeyboardFocus (true));
    EXPECT_FALSE (window.getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (dialog.isVisible());
    EXPECT_TRUE (results.empty());

    dialog.Open (KroDialogWindow::messageForm, "Version check", "Up to date");
    desktop.clickAt ({ 400, 345 }); // the middle of OK
    EXPECT_FALSE (dialog.isVisible());
    EXPECT_EQ (results, (std::vector<bool>{ true }));
}

TEST_F (Dialog, DraggingTheBodyMovesTheDialogAnywhere)
{
    pages_test::DesktopWindow desktop (window);
    dialog.Open (KroDialogWindow::messageForm, "Version check", "Up to date");
    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);

    const auto drag = [peer] (juce::Point<float> from, juce::Point<float> to)
    {
        const auto source = juce::MouseInputSource::InputSourceType::mouse;
        const auto pressed = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);
        auto time = juce::Time::currentTimeMillis();
        peer->handleMouseEvent (source, from, pressed, 1.0f, 0.0f, time);
        for (int step = 1; step <= 4; ++step)
            peer->handleMouseEvent (source, from + (to - from) * (float) step / 4.0f, pressed, 1.0f, 0.0f, time += 20);
        peer->handleMouseEvent (source, to, {}, 1.0f, 0.0f, time += 20);
    };

    drag ({ 300.0f, 220.0f }, { 350.0f, 260.0f }); // by the title bar
    EXPECT_EQ (dialog.getPosition(), juce::Point<int> (250, 250));

    drag ({ 260.0f, 300.0f }, { 760.0f, 700.0f }); // by the body, partly out of the window
    EXPECT_EQ (dialog.getPosition(), juce::Point<int> (750, 650));
    EXPECT_TRUE (dialog.isVisible());
    EXPECT_TRUE (results.empty());
}

TEST_F (Dialog, RenderedDialogShowsTitleBarMessageAndOk)
{
    dialog.Open (KroDialogWindow::messageForm, "Version check",
                 "A new version is available:\n2.0.0, with a message far too long for a single line of the dialog");
    ASSERT_TRUE (pages_test::waitForAnimations());

    const auto image = ui_test::snapshotOf (window);
    pages_test::saveRendered (image, "dialog");

    const auto grey = juce::Colour (0xff808080);
    const auto body = grey.overlaidWith (juce::Colour (0xfa202020));
    const juce::Colour titleBar (0xffa0a0a0);
    EXPECT_TRUE (ui_test::pixelNear (image, 200 + 300, 210 + 140, body, 3));
    EXPECT_TRUE (ui_test::pixelNear (image, 200 + 390, 210 + 6, titleBar));
    EXPECT_TRUE (ui_test::pixelNear (image, 200 + 142, 210 + 122, juce::Colour (0xff505570))); // OK
    EXPECT_TRUE (ui_test::pixelNear (image, 199, 300, grey));                                  // outside the dialog
    EXPECT_TRUE (ui_test::pixelNear (image, 200, 210, grey, 40));                              // rounded corner

    // Title in the bar and the message as a single line of light text below it.
    const auto textColour = juce::Colour (0xfffafafa);
    EXPECT_LT (
        ui_test::channelDistance (ui_test::mostDifferentPixel (image, { 206, 214, 388, 26 }, titleBar), textColour),
        40);
    const auto messageInk = ui_test::inkBounds (image, { 205, 250, 395, 80 }, body);
    EXPECT_FALSE (messageInk.isEmpty());
    EXPECT_LT (messageInk.getHeight(), 20) << "one line";
    EXPECT_LE (messageInk.getRight(), 200 + 390) << "the ellipsis ends inside the panel";
}
