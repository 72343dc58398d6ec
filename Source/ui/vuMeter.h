#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/** A vertical bar of coloured segments lit from the bottom, with a partly lit top segment and an
    optional held-peak segment. Used for the input, output and phase meters of the control panel.

    The meter holds no audio logic: its owner hands it a reading with `setLevel` once per timer
    tick and the meter repaints. A held peak is counted in paints, not in time (the panel repaints
    once per 40 ms tick, so 25 paints make a second).
*/
class vuMeter : public juce::Component
{
public:
    vuMeter();

    /** A reading: an amplitude (1.0 = full scale) shown on the -60..0 dB scale, or for a `linear`
        meter a value 0..1 shown as it is. Values outside 0..1 are clamped; a NaN or infinite
        reading counts as silence.
    */
    void setLevel (float value);

    /** The current fill fraction 0..1. */
    float getLevel() const noexcept { return level; }

    void paint (juce::Graphics& g) override;

    /** The readout of a level envelope: dBFS with one decimal and no unit ("-6.0"); silence,
        levels below -100 dB and NaN or infinite readings read "-100.0". Not clamped at the top.
    */
    static juce::String levelReadoutText (float envelope);

    /** The readout of a phase reading 0..1 (0 = in phase, 1 = opposite) in whole degrees ("90 deg"),
        truncated toward zero; readings outside 0..1 are clamped and NaN reads "0 deg".
    */
    static juce::String phaseReadoutText (float phase);

    /** One colour per segment, index 0 at the bottom; its size is the number of segments. */
    std::vector<juce::Colour> segmentColours;
    bool linear = false;
    bool showPeak = false;
    juce::Colour backgroundColour = juce::Colours::black; // unlit area, separators and (brightened) outline
    int peakHoldTicks = 25;                               // paints a peak is held before it is dropped

private:
    void fillSegment (juce::Graphics& g, float top, float segmentHeight, juce::Colour colour) const;
    void drawHeldPeak (juce::Graphics& g, float segmentHeight, int segmentIndex, float segmentTop);

    float peakLevel = 0.0f; // held peak as a fill fraction
    float peakY = 0.0f;     // top edge of the held peak segment
    float level = 0.0f;     // current fill fraction
    float minDb = -60.0f;
    float maxDb = 0.0f;
    juce::Colour peakColour{ 0x00000000 };
    int peakHoldCounter = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (vuMeter)
};
