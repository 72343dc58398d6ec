#include "MetalKnob.h"

namespace
{
    enum class Skew
    {
        none,
        fixed,          // setSkewFactor (0.4): more travel for the low frequencies
        defaultAtMiddle // the default value sits at mid-travel
    };

    struct KindSettings
    {
        const char* caption;
        double minimum, maximum, interval;
        int decimals;
        const char* suffix;
        Skew skew;
    };

    KindSettings settingsFor (MetalKnob::Kind kind)
    {
        switch (kind)
        {
            case MetalKnob::Kind::bandFrequency:
                return { "F", 20.0, 20000.0, 0.0, 0, " Hz", Skew::fixed };
            case MetalKnob::Kind::bandGain:
                return { "G", -24.0, 24.0, 0.1, 1, " dB", Skew::none };
            case MetalKnob::Kind::bandQ:
                return { "Q", 0.1, 10.0, 0.01, 2, "", Skew::defaultAtMiddle };
            case MetalKnob::Kind::hiPass:
                return { "HP", 20.0, 20000.0, 0.0, 0, " Hz", Skew::fixed };
            case MetalKnob::Kind::loPass:
                return { "LP", 20.0, 20000.0, 0.0, 0, " Hz", Skew::fixed };
            case MetalKnob::Kind::outputLevel:
                return { "OUT", -12.0, 12.0, 0.0, 1, " dB", Skew::none };
        }

        jassertfalse;
        return { "", 0.0, 1.0, 0.0, 2, "", Skew::none };
    }

    constexpr double frequencySkew = 0.4;
    constexpr int readoutWidth = 65;
    constexpr int readoutHeight = 20;
} // namespace

//==============================================================================
void MetalKnob::MyKnobLF::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                            float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                                            juce::Slider&)
{
    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);
    const auto radius = (float) juce::jmin (width / 2, height / 2) - 4.0f;

    if (radius <= 0.0f)
        return; // too small to show a knob

    const auto centreX = (float) width * 0.5f + (float) x;
    const auto centreY = (float) height * 0.5f + (float) y;
    const auto left = centreX - radius;
    const auto top = centreY - radius;
    const auto diameter = radius * 2.0f;

    g.setColour (juce::Colour (discColour));
    g.fillEllipse (left, top, diameter, diameter);

    g.setColour (notchColour);
    g.setFont (12.0f);
    g.drawText (caption, (int) left, (int) top, (int) diameter, (int) diameter, juce::Justification::centred, true);

    // The apex touches the rim; the 10-pixel base lies 15 pixels from the centre.
    juce::Path pointer;
    pointer.addTriangle (0.0f, -radius, -5.0f, -15.0f, 5.0f, -15.0f);
    g.fillPath (pointer, juce::AffineTransform::rotation (angle).translated (centreX, centreY));
}

//==============================================================================
MetalKnob::MetalKnob (const juce::String& name)
    : juce::Slider (name)
{
    setLookAndFeel (&lookAndFeel);
    setSliderStyle (juce::Slider::Rotary);
    setTextBoxStyle (juce::Slider::TextBoxBelow, false, 40, 20);
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    wheelRun.onEnd = [this] { closeEdit(); };
}

MetalKnob::~MetalKnob()
{
    // Back to the default look-and-feel before the knob's own one is destroyed.
    setLookAndFeel (nullptr);
}

void MetalKnob::setCaption (const juce::String& text, juce::Colour colour)
{
    if (lookAndFeel.caption == text && lookAndFeel.notchColour == colour)
        return;

    lookAndFeel.caption = text;
    lookAndFeel.notchColour = colour;
    repaint();
}

juce::String MetalKnob::captionFor (Kind kind)
{
    return settingsFor (kind).caption;
}

void MetalKnob::setUpAs (Kind kind, double defaultValue)
{
    const auto settings = settingsFor (kind);

    setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    setTextBoxStyle (juce::Slider::TextBoxBelow, false, readoutWidth, readoutHeight);

    // The range first: it resets the decimals, and the mid-point skew depends on it.
    setRange (settings.minimum, settings.maximum, settings.interval);
    setNumDecimalPlacesToDisplay (settings.decimals);
    setTextValueSuffix (settings.suffix);

    switch (settings.skew)
    {
        case Skew::none:
            setSkewFactor (1.0);
            break;
        case Skew::fixed:
            setSkewFactor (frequencySkew, false);
            break;
        case Skew::defaultAtMiddle:
            // Only a default strictly inside the range can be a mid-point.
            if (defaultValue > settings.minimum && defaultValue < settings.maximum)
                setSkewFactorFromMidPoint (defaultValue);
            else
                setSkewFactor (1.0);
            break;
    }

    setDoubleClickReturnValue (true, defaultValue, juce::ModifierKeys::altModifier);

    const auto acceptsKilo = juce::String (settings.suffix) == " Hz";
    valueFromTextFunction = [this, acceptsKilo] (const juce::String& typed)
    { return valueFromTypedText (typed, acceptsKilo); };
}

double MetalKnob::valueFromTypedText (const juce::String& typed, bool acceptsKilo) const
{
    // The framework has already removed the unit when it was typed exactly as shown (" Hz");
    // anything after the number ("120Hz", "3.5 db") is ignored the same way.
    auto text = typed.trim();
    while (text.startsWithChar ('+'))
        text = text.substring (1).trimStart();

    const auto number = text.initialSectionContainingOnly ("0123456789.,-");

    // Text without a number leaves the knob where it is instead of sending it to 0.
    if (! number.containsAnyOf ("0123456789"))
        return getValue();

    auto value = number.getDoubleValue();

    const auto unit = text.substring (number.length()).trimStart();
    if (acceptsKilo && (unit.startsWithChar ('k') || unit.startsWithChar ('K')))
        value *= 1000.0;

    return value;
}

//==============================================================================
void MetalKnob::startedDragging()
{
    // A press or a typed value ends a run of wheel turns that is still waiting for its pause.
    if (! insideWheelEvent)
        wheelRun.finish();

    ++gestureDepth;
}

void MetalKnob::stoppedDragging()
{
    gestureDepth = juce::jmax (0, gestureDepth - 1);

    // A wheel turn's edit lasts until the wheel rests.
    if (gestureDepth == 0 && ! insideWheelEvent)
        closeEdit();
}

void MetalKnob::valueChanged()
{
    if (gestureDepth > 0 && ! editOpen)
    {
        editOpen = true;
        if (onEditStarted)
            onEditStarted();
    }
}

void MetalKnob::closeEdit()
{
    wheelRun.forget();

    if (! editOpen)
        return;

    editOpen = false;
    if (onEditEnded)
        onEditEnded();
}

void MetalKnob::endEdit()
{
    closeEdit();
}

void MetalKnob::forgetEdit()
{
    wheelRun.forget();
    editOpen = false;
}

void MetalKnob::mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel)
{
    insideWheelEvent = true;
    juce::Slider::mouseWheelMove (event, wheel);
    insideWheelEvent = false;

    if (editOpen && gestureDepth == 0)
        wheelRun.touch();
}

//==============================================================================
bool MetalKnob::isResetClick (const juce::MouseEvent& event) const
{
    // As the framework decides it: a click with exactly the reset modifier held.
    return isEnabled() && isDoubleClickReturnEnabled() && ! event.mods.isPopupMenu() &&
           event.mods.withoutMouseButtons() == juce::ModifierKeys (juce::ModifierKeys::altModifier);
}

void MetalKnob::mouseDown (const juce::MouseEvent& event)
{
    const auto resets = isResetClick (event);
    const auto before = getValue();
    juce::Slider::mouseDown (event);

    if (resets && getValue() == before && before == getDoubleClickReturnValue())
        reportResetToUnchangedValue();
}

void MetalKnob::mouseDoubleClick (const juce::MouseEvent& event)
{
    const auto before = getValue();
    juce::Slider::mouseDoubleClick (event);

    if (isEnabled() && isDoubleClickReturnEnabled() && getValue() == before && before == getDoubleClickReturnValue())
        reportResetToUnchangedValue();
}

void MetalKnob::reportResetToUnchangedValue()
{
    // The readout rounds, so a knob that shows its default may stand for a setting just beside it;
    // a reset must still reach the owner.
    const juce::Slider::ScopedDragNotification edit (*this);
    valueChanged();
    if (onValueChange)
        onValueChange();
}
