#include "GuardedXml.h"

#include <cctype>
#include <cstring>

namespace
{
    bool startsWith (const char* text, const char* prefix) noexcept
    {
        return std::strncmp (text, prefix, std::strlen (prefix)) == 0;
    }

    bool isSpace (char c) noexcept
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    bool isNameStart (char c) noexcept
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    }

    bool isNameChar (char c) noexcept
    {
        return isNameStart (c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
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

    /** Walks a document once, without recursion or allocation, and accepts it only if it is a
        well-formed document of the plain kind this program writes: an optional declaration,
        comments and processing instructions before the one root element; elements with ASCII
        names and quoted attributes; text with the five predefined entities and character
        references; comments and CDATA sections; nothing but white space and comments after the
        root. The framework's parser is exact on such text; on malformed text it resynchronises
        in ways that can send it round in circles.
    */
    class DocumentScanner
    {
    public:
        DocumentScanner (const char* text, int depthLimit) noexcept
            : p (text)
            , depthLimit (depthLimit)
        {
        }

        bool isAcceptable() noexcept
        {
            if (! skipMisc (true) || *p != '<' || ! isNameStart (p[1]))
                return false;

            for (int depth = 0;;)
            {
                if (*p == 0)
                    return false; // an element left open

                if (*p == '&')
                {
                    if (! skipReference())
                        return false;
                }
                else if (*p != '<')
                {
                    ++p;
                }
                else if (startsWith (p, "<!--"))
                {
                    if (! skipPast (p + 4, "-->"))
                        return false;
                }
                else if (startsWith (p, "<![CDATA["))
                {
                    if (! skipPast (p + 9, "]]>"))
                        return false;
                }
                else if (p[1] == '/')
                {
                    if (! skipEndTag())
                        return false;
                    if (--depth == 0)
                        break;
                }
                else
                {
                    // Anything else that starts with "<!" is a document type or markup declaration.
                    // A processing instruction inside an element is refused too: the framework's
                    // parser skips it as white space, finds text, rolls back before the
                    // instruction and skips it again, for ever.
                    bool closesItself = false;
                    if (! skipStartTag (closesItself))
                        return false;
                    if (closesItself && depth == 0)
                        break;
                    if (! closesItself && ++depth > depthLimit)
                        return false;
                }
            }

            return skipMisc (false) && *p == 0;
        }

    private:
        const char* p;
        const int depthLimit;

        bool skipPast (const char* from, const char* terminator) noexcept
        {
            const char* found = std::strstr (from, terminator);
            p = found != nullptr ? found + std::strlen (terminator) : from;
            return found != nullptr;
        }

        bool skipSpaces() noexcept
        {
            const char* start = p;
            while (isSpace (*p))
                ++p;
            return p != start;
        }

        bool skipName() noexcept
        {
            if (! isNameStart (*p))
                return false;
            while (isNameChar (*++p))
            {
            }
            return true;
        }

        /** White space, comments and (before the root) processing instructions. */
        bool skipMisc (bool instructionsAllowed) noexcept
        {
            for (;;)
            {
                skipSpaces();
                if (startsWith (p, "<!--"))
                {
                    if (! skipPast (p + 4, "-->"))
                        return false;
                }
                else if (instructionsAllowed && startsWith (p, "<?"))
                {
                    if (! skipPast (p + 2, "?>"))
                        return false;
                }
                else
                {
                    return true;
                }
            }
        }

        /** "&amp;", "&quot;", "&apos;", "&lt;", "&gt;" (in any case, as the parser reads them) or a
            character reference. Any other name would be looked up in a document type declaration or
            taken up to the next ';' and, if it starts with '<', parsed as further elements.
        */
        bool skipReference() noexcept
        {
            ++p;
            if (*p == '#')
            {
                const bool hex = *++p == 'x';
                p += hex ? 1 : 0;
                int digits = 0;
                for (; digits < 8 && (hex ? std::isxdigit ((unsigned char) *p) : std::isdigit ((unsigned char) *p));
                     ++digits)
                    ++p;
                return digits > 0 && *p++ == ';';
            }

            for (const char* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
            {
                const auto length = (int) std::strlen (name);
                if (juce::CharacterFunctions::compareIgnoreCaseUpTo (juce::CharPointer_ASCII (p),
                                                                     juce::CharPointer_ASCII (name), length) == 0)
                {
                    p += length;
                    return true;
                }
            }
            return false;
        }

        bool skipAttributeValue() noexcept
        {
            const char quote = *p;
            if (quote != '"' && quote != '\'')
                return false;

            for (++p; *p != quote;)
            {
                if (*p == 0 || *p == '<')
                    return false;
                if (*p == '&')
                {
                    if (! skipReference())
                        return false;
                }
                else
                {
                    ++p;
                }
            }
            ++p;
            return true;
        }

        bool skipStartTag (bool& closesItself) noexcept
        {
            ++p;
            if (! skipName())
                return false;

            for (;;)
            {
                const bool spaced = skipSpaces();
                if (startsWith (p, "/>"))
                {
                    p += 2;
                    closesItself = true;
                    return true;
                }
                if (*p == '>')
                {
                    ++p;
                    return true;
                }
                if (! spaced || ! skipName())
                    return false;
                skipSpaces();
                if (*p++ != '=')
                    return false;
                skipSpaces();
                if (! skipAttributeValue())
                    return false;
            }
        }

        bool skipEndTag() noexcept
        {
            p += 2;
            if (! skipName())
                return false;
            skipSpaces();
            return *p++ == '>';
        }
    };

    // The header juce::AudioProcessor::copyXmlToBinary writes before the text.
    constexpr juce::uint32 binaryXmlMagic = 0x21324356;
} // namespace

bool GuardedXml::isSafeToParse (const juce::String& text, int depthLimit) noexcept
{
    const char* p = text.toRawUTF8();
    return isWellFormedUtf8 (p) && DocumentScanner (p, depthLimit).isAcceptable();
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
