#pragma once

#include <juce_core/juce_core.h>

#include <functional>

/** The saved-state document: a "KroPRESET" element holding one "PARAM" element per parameter. */
class PresetDocument
{
public:
    struct Entry
    {
        juce::String id;
        juce::String name;
        int steps;
        float value;
    };

    static constexpr const char* rootTag = "KroPRESET";
    static constexpr const char* paramTag = "PARAM";

    /** Builds the document for the given parameters, in the given order. */
    static std::unique_ptr<juce::XmlElement> create (const juce::Array<Entry>& entries);

    /** Walks a document in order and calls apply (index, value) for every "PARAM" element whose
        "ID" names a parameter (findIndex gives -1 for any other id). Another root tag, or any
        other child, is skipped. A missing "ValueFloat" reads as 0; a value that is not finite as
        a float is skipped.
    */
    static void apply (const juce::XmlElement& document, const std::function<int (const juce::String& id)>& findIndex,
                       const std::function<void (int index, float value)>& applyValue);

    /** The step index stored beside each value: steps x value, truncated toward zero. */
    static int stepIndexFor (int steps, float value) noexcept;
};
