#pragma once

#include "widgets/SquareButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** A small floating message box drawn inside the plug-in window: a dark rounded panel with a grey
    title bar, a title, a one-line message and an OK button. It does not block the window: it comes
    to the front with the keyboard focus, can be dragged, and fades out when dismissed.
*/
class KroDialogWindow : public juce::Component, private juce::KeyListener
{
public:
    /** Title, message and a single OK button. */
    static constexpr int messageForm = 0;

    /** Title, message, OK and Cancel; the answer goes to onResult. */
    static constexpr int questionForm = 1;

    KroDialogWindow();
    ~KroDialogWindow() override;

    /** Shows the dialog centred in its parent. Modes other than questionForm show the message form. */
    void Open (int mode, const juce::String& title, const juce::String& message);

    /** Run after OK (true) or Cancel (false); Escape closes without running it. */
    std::function<void (bool)> onResult;

    SquareButton& getOkButton() noexcept { return *okButton; }
    SquareButton& getCancelButton() noexcept { return *cancelButton; }
    const juce::String& getTitle() const noexcept { return title; }
    const juce::String& getMessage() const noexcept { return message; }

    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;

private:
    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    void close (bool reportResult, bool result);

    std::unique_ptr<SquareButton> okButton;
    std::unique_ptr<SquareButton> cancelButton;
    juce::String title;
    juce::String message;
    juce::Colour backgroundColour{ 0x00000000 };
    juce::ComponentDragger dragger;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroDialogWindow)
};
