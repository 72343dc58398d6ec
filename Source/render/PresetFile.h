#pragma once

#include <juce_core/juce_core.h>

/** Reads a saved Kro Trella state from a file: the "KroPRESET" document as XML text, or the
    processor's state blob as the standalone app's "Save current state" writes it (the framework's
    binary wrapping of the same document).

    The plug-in skips what it cannot use in a state; a file given on the command line is held to
    more: it must be one of the two forms, name at least one parameter, and give every parameter it
    names a number between 0 and 1.
*/
class PresetFile
{
public:
    struct Result
    {
        juce::MemoryBlock state; // ready for setStateInformation
        juce::String error;      // empty when the file is a valid state
    };

    static Result load (const juce::File& file);

    /** Checks a parsed document; returns the problem, or an empty text. */
    static juce::String validate (const juce::XmlElement& document);

    static constexpr juce::int64 maximumFileSize = 1 << 20;
};
