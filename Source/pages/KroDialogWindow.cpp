#include "KroDialogWindow.h"

namespace
{
    constexpr int dialogWidth = 400;
    constexpr int dialogHeight = 160;
    constexpr int fadeMs = 150;
} // namespace

KroDialogWindow::KroDialogWindow()
{
    setSize (dialogWidth, dialogHeight);
    addKeyListener (this);
    setWantsKeyboardFocus (true);

    okButton = std::make_unique<SquareButton> ("OK", SquareButton::pushType);
    okButton->onMouseUp = [this] (const juce::MouseEvent&) { close (true, true); };
    addAndMakeVisible (*okButton);

    cancelButton = std::make_unique<SquareButton> ("Cancel", SquareButton::pushType);
    cancelButton->setBounds (getWidth() - 160, getHeight() - 40, 120, 30);
    cancelButton->onMouseUp = [this] (const juce::MouseEvent&) { close (true, false); };
    addChildComponent (*cancelButton);
}

KroDialogWindow::~KroDialogWindow()
{
    removeKeyListener (this);
}

void KroDialogWindow::Open (int mode, const juce::String& newTitle, const juce::String& newMessage)
{
    title = newTitle;
    message = newMessage;
    backgroundColour = juce::Colour (0xfa202020);

    if (mode == questionForm)
    {
        okButton->setBounds (getWidth() - 290, getHeight() - 40, 120, 30);
        cancelButton->setVisible (true);
    }
    else
    {
        okButton->setBounds ((getWidth() - 120) / 2, getHeight() - 40, 120, 30);
        cancelButton->setVisible (false);
    }

    repaint();
    centreWithSize (getWidth(), getHeight());

    juce::Desktop::getInstance().getAnimator().fadeIn (this, fadeMs);
    toFront (true);
}

void KroDialogWindow::close (bool reportResult, bool result)
{
    juce::Desktop::getInstance().getAnimator().fadeOut (this, fadeMs);

    // A copy: the owner may replace or clear its callback, or delete the dialog, while handling it.
    if (const auto callback = onResult; reportResult && callback != nullptr)
        callback (result);
}

bool KroDialogWindow::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key == juce::KeyPress::escapeKey)
        close (false, false);

    return false;
}

void KroDialogWindow::mouseDown (const juce::MouseEvent& e)
{
    if (e.eventComponent != nullptr)
        e.eventComponent->toFront (true);

    dragger.startDraggingComponent (this, e);
}

void KroDialogWindow::mouseDrag (const juce::MouseEvent& e)
{
    dragger.dragComponent (this, e, nullptr);
}

void KroDialogWindow::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();

    g.setColour (backgroundColour);
    g.fillRoundedRectangle (0.0f, 0.0f, (float) w, (float) h, 5.0f);

    g.setColour (juce::Colour (0xffa0a0a0));
    g.fillRoundedRectangle (2.0f, 2.0f, (float) (w - 4), 30.0f, 5.0f);

    // Both texts stay on one line; a line break in them shows as a space. The message keeps a
    // 10-pixel margin on both sides, so a long one ends in an ellipsis inside the panel.
    g.setColour (juce::Colour (0xfffafafa));
    g.setFont (22.0f);
    g.drawText (title.replaceCharacters ("\r\n", "  "), 6, 4, w - 12, 30, juce::Justification::centredLeft, true);
    g.setFont (16.0f);
    g.drawText (message.replaceCharacters ("\r\n", "  "), 10, 40, w - 20, 80, juce::Justification::centredLeft, true);
}
