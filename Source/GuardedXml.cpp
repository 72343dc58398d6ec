#include "GuardedXml.h"

#include <cstring>

namespace
{
    bool startsWith (const char* text, const char* prefix) noexcept
    {
        return std::strncmp (text, prefix, std::strlen (prefix)) == 0;
    }

    /** The position just after the first `terminator` at or after `text`, or nullptr. */
    const char* skipPast (const char* text, const char* terminator) noexcept
    {
        const char* found = std::strstr (text, terminator);
        return found != nullptr ? found + std::strlen (terminator) : nullptr;
    }

    /** Whether the entity after an '&' is one the parser expands to a single character. Any other
        name would be looked up in a document type declaration or taken up to the next ';' and, if
        it starts with '<', parsed as further elements.
    */
    bool isPlainEntity (const char* afterAmpersand) noexcept
    {
        if (*afterAmpersand == '#')
            return true;

        for (const char* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
            if (juce::CharacterFunctions::compareIgnoreCaseUpTo (juce::CharPointer_ASCII (afterAmpersand),
                                                                 juce::CharPointer_ASCII (name),
                                                                 (int) std::strlen (name)) == 0)
                return true;

        return false;
    }

    /** Scans an opening tag from its '<' to its closing '>'. Returns the position after the tag, or
        nullptr when the tag is refused; sets `opensElement` unless the tag closes itself ("/>").
        The end of the text also ends the scan: the parser reads no further either.
    */
    const char* scanOpeningTag (const char* tag, bool& opensElement, bool& refused) noexcept
    {
        char quote = 0;
        const char* c = tag + 1;

        for (; *c != 0; ++c)
        {
            if (*c == '<' || (*c == '&' && ! isPlainEntity (c + 1)))
            {
                refused = true;
                return nullptr;
            }

            if (quote != 0)
            {
                if (*c == quote)
                    quote = 0;
            }
            else if (*c == '"' || *c == '\'')
            {
                quote = *c;
            }
            else if (*c == '>')
            {
                opensElement = c[-1] != '/';
                return c + 1;
            }
        }

        return nullptr;
    }

    /** Whether every multi-byte sequence has the continuation bytes its first byte announces. The
        framework steps through text by the first byte alone, so a sequence cut short by the end of
        the text would carry it past the terminating zero.
    */
    bool isWellFormedUtf8 (const char* text) noexcept
    {
        for (auto* p = reinterpret_cast<const unsigned char*> (text); *p != 0;)
        {
            const unsigned char lead = *p++;
            const int continuations = lead < 0x80                   ? 0
                                      : lead >= 0xc2 && lead < 0xe0 ? 1
                                      : lead >= 0xe0 && lead < 0xf0 ? 2
                                      : lead >= 0xf0 && lead < 0xf5 ? 3
                                                                    : -1;
            if (continuations < 0)
                return false;

            for (int i = 0; i < continuations; ++i, ++p)
                if ((*p & 0xc0) != 0x80)
                    return false;
        }
        return true;
    }

    // The header juce::AudioProcessor::copyXmlToBinary writes before the text.
    constexpr juce::uint32 binaryXmlMagic = 0x21324356;
} // namespace

bool GuardedXml::isSafeToParse (const juce::String& text, int depthLimit) noexcept
{
    const char* p = text.toRawUTF8();
    int depth = 0;

    if (! isWellFormedUtf8 (p))
        return false;

    while (p != nullptr && *p != 0)
    {
        if (*p == '&')
        {
            if (! isPlainEntity (p + 1))
                return false;
            ++p;
        }
        else if (*p != '<')
        {
            ++p;
        }
        else if (startsWith (p, "<!--"))
        {
            p = skipPast (p + 4, "-->");
        }
        else if (startsWith (p, "<![CDATA["))
        {
            p = skipPast (p + 9, "]]>");
        }
        else if (p[1] == '!')
        {
            return false; // a document type declaration or other markup declaration
        }
        else if (p[1] == '?')
        {
            // Inside an element the parser skips an instruction as white space and then, finding
            // text, rolls back to before the instruction and skips it again, for ever.
            if (depth > 0)
                return false;
            p = skipPast (p + 2, "?>");
        }
        else if (p[1] == '/')
        {
            depth = juce::jmax (0, depth - 1);
            p = skipPast (p + 2, ">");
        }
        else
        {
            bool opensElement = false, refused = false;
            p = scanOpeningTag (p, opensElement, refused);

            if (refused || (opensElement && ++depth > depthLimit))
                return false;
        }
    }

    return true;
}

std::unique_ptr<juce::XmlElement> GuardedXml::parse (const juce::String& text)
{
    if (! isSafeToParse (text))
        return nullptr;

    return juce::parseXML (text);
}

std::unique_ptr<juce::XmlElement> GuardedXml::parse (const juce::File& file)
{
    return parse (file.loadFileAsString());
}

std::unique_ptr<juce::XmlElement> GuardedXml::parseBinary (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != binaryXmlMagic)
        return nullptr;

    const auto textLength = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));
    if (textLength <= 0)
        return nullptr;

    return parse (
        juce::String::fromUTF8 (static_cast<const char*> (data) + 8, juce::jmin (sizeInBytes - 8, textLength)));
}
