#pragma once

#include <juce_core/juce_core.h>

/** Reads XML that comes from outside the program (saved states, the settings file) with the
    framework's parser, but only after a linear scan has shown that the parser cannot be led into
    deep recursion. The framework's parser descends once per nesting level, so a document of many
    thousand nested elements would overflow the stack; it also expands entities of a document type
    declaration into further elements, and steps through malformed UTF-8 past the end of the text.
    A document is therefore refused, and reads as no document, when it is not well-formed UTF-8,
    nests deeper than `maximumDepth`, contains a document type declaration or any other "<!" than a
    comment or CDATA section, has a processing instruction inside an element (on which the parser
    loops for ever), has a "<" inside a tag, or uses an entity other than the five predefined ones
    and character references. What this program writes never does any of that.
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
