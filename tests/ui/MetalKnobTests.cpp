#include "UiTestSupport.h"

#include "../support/MessagePump.h"
#include "engine/TrellaDSP.h"
#include "widgets/MetalKnob.h"

#include <cmath>

using Kind = MetalKnob::Kind;
using ui_test::mouseEventAt;
using ui_test::snapshotOf;

namespace
{
    const juce::Colour disc{ 0xff404040 };
    const juce::Colour accent{ 0xff9ecbe8 };
    const juce::Colour notch{ 0xffff2020 }; // a colour that cannot be mistaken for the disc

    constexpr double startAngle = 1.2 * juce::MathConstants<double>::pi;
    constexpr double endAngle = 2.8 * juce::MathConstants<double>::pi;

    /** The pixel at `distance` from the centre in the direction of `angle` (clockwise from 12 o'clock). */
    juce::Point<int> pixelAlong (juce::Point<float> centre, double angle, double distance)
    {
        return { (int) std::floor (centre.x + distance * std::sin (angle)),
                 (int) std::floor (centre.y - distance * std::cos (angle)) };
    }

    bool isNotch (juce::Colour c)
    {
        return ui_test::channelDistance (c, notch) <= 8;
    }
    bool isDisc (juce::Colour c)
    {
        return ui_test::channelDistance (c, disc) <= 2;
    }

    /** Bounds of the (mostly) opaque disc pixels that are not pointer. */
    juce::Rectangle<int> discBounds (const juce::Image& image, juce::Rectangle<int> area)
    {
        return ui_test::boundsOfColour (image, area, disc, 40);
    }

    juce::Label* readoutOf (MetalKnob& knob)
    {
        for (auto* child : knob.getChildren())
            if (auto* label = dynamic_cast<juce::Label*> (child))
                return label;
        return nullptr;
    }

    double defaultFor (Kind kind)
    {
        const auto& d = TrellaDSP::DefaultParameters;
        switch (kind)
        {
            case Kind::bandFrequency:
                return d.band[1].frequency;
            case Kind::bandGain:
                return d.band[1].gain;
            case Kind::bandQ:
                return d.band[1].q;
            case Kind::hiPass:
                return d.hiPassFreq;
            case Kind::loPass:
                return d.loPassFreq;
            case Kind::outputLevel:
                return d.level;
        }
        return 0.0;
    }

    /** A knob set up as the panel sets it up, 70 x 70, so its rotary area is 70 x 50. */
    struct PanelKnob
    {
        explicit PanelKnob (Kind kind)
            : knob ("knob")
        {
            knob.setUpAs (kind, defaultFor (kind));
            knob.setCaption (MetalKnob::captionFor (kind), accent);
            knob.setBounds (0, 0, 70, 70);
        }

        MetalKnob knob;
    };
} // namespace

//==============================================================================
struct PointerCase
{
    const char* what;
    int width, height;         // the knob, without a readout
    float position;            // proportion of travel
    float radius;              // expected
    juce::Point<float> centre; // expected, pixel coordinates
};

TEST (MetalKnob, DiscAndPointerSitWhereTheRotaryAreaPutsThem)
{
    const PointerCase cases[] = {
        { "70 x 50 at the start", 70, 50, 0.0f, 21.0f, { 35.0f, 25.0f } },
        { "70 x 50 at mid-travel", 70, 50, 0.5f, 21.0f, { 35.0f, 25.0f } },
        { "70 x 50 at the end", 70, 50, 1.0f, 21.0f, { 35.0f, 25.0f } },
        { "30 x 30 at mid-travel", 30, 30, 0.5f, 11.0f, { 15.0f, 15.0f } },
        { "30 x 30 at the start", 30, 30, 0.0f, 11.0f, { 15.0f, 15.0f } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        MetalKnob knob ("knob");
        knob.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
        knob.setRange (0.0, 1.0);
        knob.setValue (c.position);
        knob.setCaption ({}, notch);
        knob.setBounds (0, 0, c.width, c.height);

        const auto image = snapshotOf (knob);
        ui_test::savePng (image, juce::String ("MetalKnob-") + c.what);

        const auto pointerAngle = startAngle + c.position * (endAngle - startAngle);
        const auto colourAlong = [&] (double angle, double distance)
        {
            const auto pixel = pixelAlong (c.centre, angle, distance);
            return image.getPixelAt (pixel.x, pixel.y);
        };

        // The disc: the radius around the centre, in the disc colour, nothing outside it.
        const auto awayFromPointer = pointerAngle + juce::MathConstants<double>::pi;
        EXPECT_TRUE (isDisc (image.getPixelAt ((int) c.centre.x, (int) c.centre.y)));
        EXPECT_TRUE (isDisc (colourAlong (awayFromPointer, c.radius - 1.5)));
        EXPECT_EQ (colourAlong (awayFromPointer, c.radius + 1.5).getAlpha(), 0);

        const auto discArea = discBounds (image, image.getBounds());
        const auto expectedDisc =
            juce::Rectangle<float> (c.centre.x - c.radius, c.centre.y - c.radius, 2.0f * c.radius, 2.0f * c.radius)
                .toNearestInt();
        EXPECT_NEAR (discArea.getX(), expectedDisc.getX(), 1);
        EXPECT_NEAR (discArea.getBottom(), expectedDisc.getBottom(), 1);

        // The pointer: notch colour along its direction between its base (15 px out) and its
        // apex (the radius), disc colour inside the base and beside it, nothing past the apex.
        const auto innerEnd = juce::jmin (15.0, (double) c.radius);
        const auto outerEnd = juce::jmax (15.0, (double) c.radius);
        const auto onPointer = colourAlong (pointerAngle, (innerEnd + outerEnd) / 2.0);
        EXPECT_TRUE (isNotch (onPointer)) << ui_test::toHex (onPointer);
        EXPECT_TRUE (isDisc (colourAlong (pointerAngle, innerEnd - 3.0)));
        EXPECT_TRUE (isDisc (colourAlong (pointerAngle + 0.9, c.radius - 2.0)));
        EXPECT_FALSE (isNotch (colourAlong (pointerAngle, outerEnd + 1.5)));
    }
}

TEST (MetalKnob, PanelKnobDrawsItsCaptionInTheMiddleOfTheDisc)
{
    PanelKnob panelKnob (Kind::hiPass);
    const auto image = snapshotOf (panelKnob.knob);
    ui_test::savePng (image, "MetalKnob-panel-HP");

    // The readout takes the bottom 20 pixels, so the disc is centred at (35, 25).
    const auto caption = ui_test::boundsOfColour (image, { 24, 14, 22, 22 }, accent, 60);
    ASSERT_FALSE (caption.isEmpty());
    EXPECT_NEAR (caption.toFloat().getCentreX(), 35.0f, 1.5f);
    EXPECT_NEAR (caption.toFloat().getCentreY(), 25.0f, 2.0f);
    EXPECT_LE (caption.getHeight(), 12);
}

TEST (MetalKnob, NotchColourNeverSetLeavesCaptionAndPointerInvisible)
{
    MetalKnob knob ("knob");
    knob.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    knob.getKnobLookAndFeel().caption = "HP"; // caption given, colour left at its default
    knob.setBounds (0, 0, 70, 50);

    const auto image = snapshotOf (knob);
    ui_test::savePng (image, "MetalKnob-default-notch");

    // Every pixel well inside the disc is plain disc colour.
    for (auto y = 8; y < 42; ++y)
        for (auto x = 18; x < 52; ++x)
        {
            if (juce::Point<float> (x + 0.5f, y + 0.5f).getDistanceFrom ({ 35.0f, 25.0f }) < 19.0f)
            {
                ASSERT_TRUE (isDisc (image.getPixelAt (x, y))) << "at " << x << ", " << y;
            }
        }

    // The same knob with a visible notch colour does show something there.
    knob.setCaption ("HP", notch);
    EXPECT_FALSE (ui_test::boundsOfColour (snapshotOf (knob), { 18, 8, 34, 34 }, notch, 8).isEmpty());
}

//==============================================================================
struct KindCase
{
    Kind kind;
    const char* caption;
    double minimum, maximum, interval;
    double setTo, expectedValue; // what the knob keeps of a value set on it
    const char* expectedText;
    double midTravelValue; // the value at proportion 0.5 of the travel
};

TEST (MetalKnob, KindsFixRangeStepReadoutAndSkew)
{
    // Frequencies: skew 0.4, so mid-travel is 20 + 19980 * 0.5^(1 / 0.4).
    const auto frequencyAtMiddle = 20.0 + 19980.0 * std::pow (0.5, 1.0 / 0.4);

    const KindCase cases[] = {
        { Kind::bandFrequency, "F", 20.0, 20000.0, 0.0, 120.4, 120.4, "120 Hz", frequencyAtMiddle },
        { Kind::bandGain, "G", -24.0, 24.0, 0.1, 3.14159, 3.1, "3.1 dB", 0.0 },
        { Kind::bandGain, "G", -24.0, 24.0, 0.1, 0.0, 0.0, "0.0 dB", 0.0 },
        { Kind::bandQ, "Q", 0.1, 10.0, 0.01, 0.7071, 0.71, "0.71", 1.0 },
        { Kind::bandQ, "Q", 0.1, 10.0, 0.01, 1.0, 1.0, "1.00", 1.0 },
        { Kind::hiPass, "HP", 20.0, 20000.0, 0.0, 20.0, 20.0, "20 Hz", frequencyAtMiddle },
        { Kind::loPass, "LP", 20.0, 20000.0, 0.0, 25000.0, 20000.0, "20000 Hz", frequencyAtMiddle },
        { Kind::outputLevel, "OUT", -12.0, 12.0, 0.0, 3.14159, 3.14159, "3.1 dB", 0.0 },
        { Kind::outputLevel, "OUT", -12.0, 12.0, 0.0, -30.0, -12.0, "-12.0 dB", 0.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.caption + juce::String (" set to ") + juce::String (c.setTo));
        PanelKnob panelKnob (c.kind);
        auto& knob = panelKnob.knob;

        EXPECT_EQ (MetalKnob::captionFor (c.kind), c.caption);
        EXPECT_EQ (knob.getMinimum(), c.minimum);
        EXPECT_EQ (knob.getMaximum(), c.maximum);
        EXPECT_EQ (knob.getInterval(), c.interval);
        EXPECT_EQ (knob.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);
        EXPECT_EQ (knob.getTextBoxWidth(), 65);
        EXPECT_EQ (knob.getTextBoxHeight(), 20);
        EXPECT_TRUE (knob.isTextBoxEditable());

        knob.setValue (c.setTo);
        EXPECT_NEAR (knob.getValue(), c.expectedValue, 1e-9);

        auto* readout = readoutOf (knob);
        ASSERT_NE (readout, nullptr);
        EXPECT_EQ (readout->getText(), c.expectedText);

        EXPECT_NEAR (knob.proportionOfLengthToValue (0.5), c.midTravelValue, 1e-6);
    }
}

struct ResetCase
{
    Kind kind;
    double movedTo;
};

TEST (MetalKnob, DoubleClickOrAltClickReturnsToTheDefault)
{
    const ResetCase cases[] = {
        { Kind::bandFrequency, 5000.0 }, { Kind::bandGain, -6.5 }, { Kind::bandQ, 4.2 },
        { Kind::hiPass, 300.0 },         { Kind::loPass, 800.0 },  { Kind::outputLevel, 7.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (MetalKnob::captionFor (c.kind));
        PanelKnob panelKnob (c.kind);
        auto& knob = panelKnob.knob;
        juce::Component& component = knob;
        const juce::Point<float> onTheDisc{ 35.0f, 25.0f };

        knob.setValue (c.movedTo);
        component.mouseDoubleClick (mouseEventAt (knob, onTheDisc, {}, 2));
        EXPECT_DOUBLE_EQ (knob.getValue(), defaultFor (c.kind));

        knob.setValue (c.movedTo);
        const auto altClick = juce::ModifierKeys::altModifier | juce::ModifierKeys::leftButtonModifier;
        component.mouseDown (mouseEventAt (knob, onTheDisc, altClick));
        component.mouseUp (mouseEventAt (knob, onTheDisc, juce::ModifierKeys::altModifier));
        EXPECT_DOUBLE_EQ (knob.getValue(), defaultFor (c.kind));

        // A plain click without a drag leaves the value alone.
        knob.setValue (c.movedTo);
        component.mouseDown (mouseEventAt (knob, onTheDisc));
        component.mouseUp (mouseEventAt (knob, onTheDisc, {}));
        EXPECT_DOUBLE_EQ (knob.getValue(), c.movedTo);
    }
}

struct TypedCase
{
    Kind kind;
    const char* typed;
    double expected;
};

TEST (MetalKnob, TypedValuesAreReadWithOrWithoutTheUnit)
{
    const TypedCase cases[] = {
        { Kind::bandFrequency, "120", 120.0 },
        { Kind::bandFrequency, "120 Hz", 120.0 },
        { Kind::bandFrequency, "120Hz", 120.0 },
        { Kind::bandFrequency, " 120 hz ", 120.0 },
        { Kind::bandFrequency, "2.5k", 2500.0 },
        { Kind::bandFrequency, "2.5 kHz", 2500.0 },
        { Kind::bandFrequency, "5", 20.0 },    // below the range: clamped
        { Kind::bandFrequency, "Hz", 1000.0 }, // no number: unchanged
        { Kind::bandGain, "3.5 dB", 3.5 },
        { Kind::bandGain, "3.5", 3.5 },
        { Kind::bandGain, "+3.5dB", 3.5 },
        { Kind::bandGain, "-6.04 dB", -6.0 }, // snapped to the 0.1 step
        { Kind::bandGain, "loud", 0.0 },
        { Kind::bandGain, "3k", 3.0 }, // "k" means kilo only on frequency knobs
        { Kind::bandQ, "0.707", 0.71 },
        { Kind::outputLevel, "-3.25 dB", -3.25 },
        { Kind::outputLevel, "99", 12.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (MetalKnob::captionFor (c.kind) + " typed '" + c.typed + "'");
        PanelKnob panelKnob (c.kind);
        auto& knob = panelKnob.knob;
        knob.setValue (defaultFor (c.kind));

        // A single click on the readout opens its editor (the click itself needs the knob on
        // screen, which a bare X server without window manager cannot provide to the framework);
        // the return key applies what was typed.
        auto* readout = readoutOf (knob);
        ASSERT_NE (readout, nullptr);
        ASSERT_TRUE (readout->isEditableOnSingleClick());
        readout->showEditor();

        auto* editor = readout->getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);
        editor->setText (c.typed, true);
        juce::Component& editorComponent = *editor;
        editorComponent.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pumpMessagesUntil ([readout] { return readout->getCurrentTextEditor() == nullptr; }, 500);

        EXPECT_NEAR (knob.getValue(), c.expected, 1e-9);
        EXPECT_EQ (readout->getText(), knob.getTextFromValue (knob.getValue()));
    }
}

TEST (MetalKnob, WheelAndDragTurnTheKnobWithinItsRange)
{
    PanelKnob panelKnob (Kind::bandGain);
    auto& knob = panelKnob.knob;
    juce::Component& component = knob;
    const juce::Point<float> onTheDisc{ 35.0f, 25.0f };

    const auto wheel = [&] (float deltaY)
    {
        juce::MouseWheelDetails details{};
        details.deltaY = deltaY;
        // Each wheel event needs its own time stamp: the framework ignores duplicates.
        juce::Thread::sleep (2);
        component.mouseWheelMove (mouseEventAt (knob, onTheDisc, {}), details);
    };

    knob.setValue (0.0);
    wheel (0.1f);
    const auto afterOneStepUp = knob.getValue();
    EXPECT_GT (afterOneStepUp, 0.0);
    EXPECT_NEAR (std::remainder (afterOneStepUp, 0.1), 0.0, 1e-9) << "snapped to the 0.1 dB step";

    wheel (-0.1f);
    wheel (-0.1f);
    EXPECT_LT (knob.getValue(), 0.0);

    for (auto i = 0; i < 30; ++i)
        wheel (1.0f);
    EXPECT_EQ (knob.getValue(), 24.0);

    // Dragging up increases the value, dragging left decreases it.
    knob.setValue (0.0);
    component.mouseDown (mouseEventAt (knob, onTheDisc));
    component.mouseDrag (mouseEventAt (knob, onTheDisc.translated (0.0f, -40.0f)));
    component.mouseUp (mouseEventAt (knob, onTheDisc.translated (0.0f, -40.0f), {}));
    EXPECT_GT (knob.getValue(), 0.0);

    knob.setValue (0.0);
    component.mouseDown (mouseEventAt (knob, onTheDisc));
    component.mouseDrag (mouseEventAt (knob, onTheDisc.translated (-40.0f, 0.0f)));
    component.mouseUp (mouseEventAt (knob, onTheDisc.translated (-40.0f, 0.0f), {}));
    EXPECT_LT (knob.getValue(), 0.0);
}

TEST (MetalKnob, BandQSkewNeedsADefaultInsideTheRange)
{
    // A mid-point outside the range cannot skew the knob; it stays linear instead of breaking.
    for (const auto badDefault : { 0.1, 10.0, -1.0, 50.0 })
    {
        SCOPED_TRACE (badDefault);
        MetalKnob knob ("knQ");
        knob.setUpAs (Kind::bandQ, badDefault);
        EXPECT_NEAR (knob.proportionOfLengthToValue (0.5), 0.1 + 9.9 / 2.0, 1e-9);
    }
}
