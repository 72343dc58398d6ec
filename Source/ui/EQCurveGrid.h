#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The background of the curve area: a vertical gradient, vertical lines on the A notes from
    27.5 Hz to 14080 Hz with their labels, the EQ gain scale on the left with the 0 dB line, and
    the analyser level scale on the right. Drawn once and kept as an image.
*/
class EQCurveGrid : public juce::Component
{
public:
    static constexpr juce::uint32 topColour = 0xff206084;
    static constexpr juce::uint32 bottomColour = 0xff2c0a48;
    static constexpr juce::uint32 scaleColour = 0x70f0f0ff;
    static constexpr float firstNoteFrequency = 27.5f;
    static constexpr int numNoteLines = 10;

    EQCurveGrid (int width, int height);

    void paint (juce::Graphics& g) override;

private:
    void paintFrequencyLines (juce::Graphics& g, int width, int height) const;
    void paintGainScale (juce::Graphics& g, int width, int height) const;
    void paintAnalyserScale (juce::Graphics& g, int width, int height) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EQCurveGrid)
};
