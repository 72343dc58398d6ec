#pragma once

#include "TrellaParams.h"

#include <juce_core/juce_core.h>

#include <functional>

/** The saved-state document: a "KroPRESET" element holding one "PARAM" element per row of
    TrellaParams, with the parameter's normalised value.
*/
class PresetDocument
{
public:
    using Values = std::array<float, numTrellaParams>;

    static constexpr const char* rootTag = "KroPRESET";
    static constexpr const char* paramTag = "PARAM";

    /** Builds the document for the parameter values, in table order. */
    static std::unique_ptr<juce::XmlElement> create (const Values& values);

    /** Walks a document in order and calls applyValue (index, value) for every "PARAM" element
        whose "ID" names a row of TrellaParams (exactly, case-sensitive). Another root tag, or any
        other child, is skipped. A missing "ValueFloat" reads as 0; a value that is not finite as
        a float is skipped; any other value is limited to 0..1, the range hosts expect.
    */
    static void apply (const juce::XmlElement& document,
                       const std::function<void (int index, float value)>& applyValue);

    /** What a document read from a file lacks to be a setting, or an empty text when it is one:
        the "KroPRESET" root, at least one parameter it names, and a number between 0 and 1 as the
        "ValueFloat" of every parameter it names. (A host's state is read more leniently by apply.)
    */
    static juce::String problemWith (const juce::XmlElement& document);

    /** The values of a document on top of a base setting, as apply reads them. */
    static Values read (const juce::XmlElement& document, Values base);

    /** The step index stored beside each value: steps x value, truncated toward zero. */
    static int stepIndexFor (int steps, float value) noexcept;
};
