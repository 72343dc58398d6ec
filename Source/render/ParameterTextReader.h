#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** Turns a text typed for a parameter into its normalised value, through the parameter's own
    getValueForText, and decides whether the parameter understood it.

    getValueForText answers every text with some number, so the text is first held against what the
    parameter itself shows (getText over its whole range): a word it shows ("On", "Lo-Shelf", a
    preamp name; any case), or a number, bare or followed by a unit it shows ("1kHz", "+6 dB").
    Anything else is refused, as is a result that is not a number between 0 and 1.
*/
class ParameterTextReader
{
public:
    struct Reading
    {
        std::optional<float> value;
        juce::String problem; // why the text was refused, when value is empty
    };

    static Reading read (const juce::AudioProcessorParameter& parameter, const juce::String& text);

private:
    struct Vocabulary
    {
        juce::StringArray texts; // everything it shows, as it writes it
        juce::StringArray words; // the texts that are not numbers
        juce::StringArray units; // the unit suffixes of its numeric texts
    };

    static Vocabulary vocabularyOf (const juce::AudioProcessorParameter& parameter);

    /** The length of the number at the start of a text (sign, digits, point, exponent), or 0. */
    static int numberLength (const juce::String& text);
};
