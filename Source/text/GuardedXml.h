#pragma once

#include <juce_core/juce_core.h>

/** Reads XML that comes from outside the program (saved states, the settings file) with the
    framework's parser, but only after a linear scan has shown that the text is a plain well-formed
    document the parser reads exactly. The framework's parser descends once per nesting level, so a
    document of many thousand nested elements would overflow the stack; it expands entities of a
    document type declaration into further elements; it steps through malformed UTF-8 past the end
    of the text; and on malformed markup, or on a processing instruction inside an element, it can
    loop for ever. A text is therefore refused, and reads as no document, unless it is well-formed
    UTF-8 holding one root element nested at most `maximumDepth` deep, with ASCII element and
    attribute names, quoted attribute values, the five predefined entities and character
    references, comments and CDATA sections, and no document type declaration. What this program
    writes always passes.
*/
class GuardedXml
{
public:
    static constexpr int maximumDepth = 32;

    /** Whether the text passes the checks above. */
    static bool isSafeToParse (const juce::String& text, int depthLimit = maximumDepth) noexcept;

    /** The document element, or nullptr for text that is refused or is not XML. */
    static std::unique_ptr<juce::XmlElement> parse (const juce::String& text);

    /** The same for the contents of a file. */
    static std::unique_ptr<juce::XmlElement> parse (const juce::File& file);

    /** The same for a block written by juce::AudioProcessor::copyXmlToBinary, read as
        juce::AudioProcessor::getXmlFromBinary reads it.
    */
    static std::unique_ptr<juce::XmlElement> parseBinary (const void* data, int sizeInBytes);
};
