#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The flat rounded button of the control panel, the help viewer and the message dialog.

    It keeps its own on/off `state` and reports only through `onMouseUp`: the framework's toggle
    state, click listeners and `onClick` are not used, so a click raised through the framework's
    button mechanism (`triggerClick`, the return key on a focused button) does nothing. A toggle
    button flips `state` on every release; a push button never changes it. The release position is
    not checked: a press on the button followed by a release anywhere counts.
*/
class SquareButton : public juce::Button
{
public:
    static constexpr int toggleType = 0;
    static constexpr int pushType = 1;

    explicit SquareButton (const juce::String& name, int type = toggleType);

    /** 0 makes a toggle button, 1 a push button (which also shows the pointing-hand cursor). */
    void setType (int type);
    int getType() const noexcept { return buttonType; }

    /** The captions of the two states; an empty on text means the off text is shown in both. */
    void setText (const juce::String& offText, const juce::String& onText = {});
    const juce::String& getTextOn() const noexcept { return textOn; }
    const juce::String& getTextOff() const noexcept { return textOff; }

    bool isOn() const noexcept { return state != 0; }

    void mouseUp (const juce::MouseEvent& event) override;
    void paintButton (juce::Graphics& g, bool isHighlighted, bool isDown) override;

    /** Run on every accepted release, after a toggle button has flipped its state. */
    std::function<void (const juce::MouseEvent&)> onMouseUp;

    /** 0 = off, anything else = on. Owners may write it directly, then call repaint(). */
    int state = 1;

    /** Drawn unscaled, centred horizontally at the top edge, when valid. */
    juce::Image icon;

private:
    juce::Colour getBackgroundColour() const noexcept;
    juce::Colour getTextColour() const noexcept;
    float getFontHeight() const noexcept;
    void drawCaption (juce::Graphics& g, const juce::String& caption) const;

    int buttonType = toggleType;
    juce::String textOn, textOff;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SquareButton)
};
