#include "SquareButton.h"

namespace
{
    const juce::Colour offBackground{ 0xff404244 };
    const juce::Colour onBackground{ 0xfffffafa };
    const juce::Colour pushBackground{ 0xff505570 };
} // namespace

SquareButton::SquareButton (const juce::String& name, int type)
    : juce::Button (name)
    , textOn (name)
    , textOff (name)
{
    setType (type);
}

void SquareButton::setType (int type)
{
    buttonType = type;

    if (buttonType == pushType)
        setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void SquareButton::setText (const juce::String& offText, const juce::String& onText)
{
    textOff = offText;
    textOn = onText.isEmpty() ? offText : onText;
}

void SquareButton::mouseUp (const juce::MouseEvent& event)
{
    if (! isEnabled())
        return;

    if (buttonType == toggleType)
        state = (state == 0) ? 1 : 0;

    // The handler may close the window that owns this button (a dialog's OK button does), so
    // nothing of this object is touched once the handler has deleted it.
    const juce::Component::SafePointer<SquareButton> self (this);

    if (onMouseUp != nullptr)
        onMouseUp (event);

    if (self == nullptr)
        return;

    // The framework's own release handling is replaced, so its pressed look is cleared here.
    setState (isMouseOver() ? buttonOver : buttonNormal);
    repaint();
}

juce::Colour SquareButton::getBackgroundColour() const noexcept
{
    if (buttonType == pushType)
        return pushBackground;

    return isOn() ? onBackground : offBackground;
}

juce::Colour SquareButton::getTextColour() const noexcept
{
    if (! isEnabled())
        return juce::Colours::grey;

    return isOn() ? juce::Colours::black : juce::Colours::white;
}

float SquareButton::getFontHeight() const noexcept
{
    return juce::jmin ((float) getHeight() * 0.6f, 14.0f);
}

void SquareButton::paintButton (juce::Graphics& g, bool, bool)
{
    // Hover and pressed flags are ignored on purpose: the button has one flat look per state.
    g.setColour (getBackgroundColour());
    g.fillRoundedRectangle (getLocalBounds().toFloat(), 2.0f);

    if (icon.isValid())
        g.drawImageAt (icon, (getWidth() - icon.getWidth()) / 2, 0);

    g.setFont (getFontHeight());
    g.setColour (getTextColour());
    drawCaption (g, isOn() ? textOn : textOff);
}

void SquareButton::drawCaption (juce::Graphics& g, const juce::String& caption) const
{
    const auto lines = juce::StringArray::fromLines (caption);

    if (lines.size() <= 1)
    {
        g.drawFittedText (caption, getLocalBounds(), juce::Justification::centred, 1);
        return;
    }

    // A caption with line breaks ("FFT\nPOST") gets one row per line, each squeezed to the width
    // on its own: left to the framework, a line wider than a small button would wrap into a
    // third row that is cut off at the bottom.
    const auto lineHeight = juce::roundToInt (g.getCurrentFont().getHeight());
    auto rows = getLocalBounds().withSizeKeepingCentre (getWidth(), lineHeight * lines.size());

    for (const auto& line : lines)
        g.drawFittedText (line, rows.removeFromTop (lineHeight), juce::Justification::centred, 1);
}
