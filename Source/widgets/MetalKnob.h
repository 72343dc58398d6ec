#pragma once

#include "widgets/WheelGesture.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The rotary knob of the control panel: a flat dark disc with a short caption in the middle and
    a triangular pointer (the "notch") in a colour the owner chooses, over an editable readout.
*/
class MetalKnob : public juce::Slider
{
public:
    /** The six kinds of knob on the control panel; each fixes range, step, readout and skew. */
    enum class Kind
    {
        bandFrequency,
        bandGain,
        bandQ,
        hiPass,
        loPass,
        outputLevel
    };

    /** Draws the disc, the caption and the pointer; nothing else (no track, arc or outline). */
    class MyKnobLF : public juce::LookAndFeel_V4
    {
    public:
        void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPosProportional,
                               float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;

        juce::String caption;
        juce::Colour notchColour{ 0x00000000 }; // colour of the caption and the pointer
    };

    static constexpr juce::uint32 discColour = 0xff404040;

    explicit MetalKnob (const juce::String& name);
    ~MetalKnob() override;

    /** Sets the caption drawn in the middle of the disc and the colour of caption and pointer. */
    void setCaption (const juce::String& text, juce::Colour colour);

    /** The standard set-up of a panel knob: rotary drag up or right to increase, an editable
        65 x 20 readout below, and the range, step, decimals, unit and skew of the kind. A
        double-click, or a click with Alt held, returns the knob to `defaultValue`. Typed values
        are read with or without the unit; frequencies also take a "k" for kHz ("2.5k").
    */
    void setUpAs (Kind kind, double defaultValue);

    /** The caption the panel shows on a knob of this kind ("F", "G", "Q", "HP", "LP", "OUT"). */
    static juce::String captionFor (Kind kind);

    const MyKnobLF& getKnobLookAndFeel() const noexcept { return lookAndFeel; }
    MyKnobLF& getKnobLookAndFeel() noexcept { return lookAndFeel; }

    /** Run before the first onValueChange of a user's edit and after its last one. */
    std::function<void()> onEditStarted, onEditEnded;

    /** True between onEditStarted and onEditEnded. */
    bool isEditing() const noexcept { return editOpen; }

    /** Ends an edit in progress now; the rest of the same drag starts a new edit. */
    void endEdit();

    /** Drops an edit in progress without reporting its end (its receiver is gone); the rest of the
        same drag starts a new edit.
    */
    void forgetEdit();

    /** Pause of the wheel that ends a run of wheel turns. */
    static constexpr int wheelPauseMs = WheelGesture::defaultPauseMs;

    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDoubleClick (const juce::MouseEvent& event) override;
    void mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel) override;

protected:
    void startedDragging() override;
    void stoppedDragging() override;
    void valueChanged() override;

private:
    double valueFromTypedText (const juce::String& typed, bool acceptsKilo) const;
    bool isResetClick (const juce::MouseEvent& event) const;
    void reportResetToUnchangedValue();
    void closeEdit();

    MyKnobLF lookAndFeel;
    int gestureDepth = 0; // the framework's drag notifications open around a user's change
    bool editOpen = false;
    bool insideWheelEvent = false;
    WheelGesture wheelRun;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MetalKnob)
};
