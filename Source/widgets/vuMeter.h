#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/** A vertical bar of coloured segments lit from the bottom, with a partly lit top segment and an
    optional held-peak segment. Used for the input, output and phase meters of the control panel.

    The meter holds no audio logic: its owner hands it a reading with `setLevel` once per timer
    tick, and the meter repaints only when what it shows changes (the lit bar or the held peak),
    so a meter standing still costs no drawing. A held peak is counted in readings, not in time
    (the panel hands over one reading per 40 ms tick, so 25 readings make a second).
*/
class vuMeter : public juce::Component
{
public:
    vuMeter();

    /** A reading: an amplitude (1.0 = full scale) shown on the -60..0 dB scale, or for a `linear`
        meter a value 0..1 shown as it is. Values outside 0..1 are clamped; a NaN or infinite
        reading counts as silence. With `showPeak`, every reading also advances the peak hold.
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
    int peakHoldTicks = 25;                               // readings a peak is held before it is dropped

private:
    void fillSegment (juce::Graphics& g, float top, float segmentHeight, juce::Colour colour) const;
    int peakSegmentFor (float fillFraction) const noexcept;
    int litSteps (float fillFraction) const noexcept;
    bool holdPeak();

    float peakLevel = 0.0f; // held peak as a fill fraction
    float level = 0.0f;     // current fill fraction
    float minDb = -60.0f;
    float maxDb = 0.0f;
    int peakSegment = -1;      // the segment the held peak was caught on
    int shownPeakSegment = -1; // the held peak segment drawn for the current reading, -1 for none
    int peakHoldCounter = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (vuMeter)
};
