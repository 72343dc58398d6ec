// XML from outside the program is parsed only when the framework's recursive parser is safe on it.

#include "text/GuardedXml.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
    juce::String nested (int levels, const juce::String& inner = {})
    {
        return juce::String::repeatedString ("<x>", levels) + inner + juce::String::repeatedString ("</x>", levels);
    }

    TEST (GuardedXml, RefusesWhatCouldLeadTheParserDeepOrExpandMarkup)
    {
        const struct
        {
            const char* label;
            juce::String text;
            bool safe;
        } cases[] = {
            { "saved state",
              "<?xml version=\"1.0\"?>\n<KroPRESET><PARAM ID=\"a\" ValueFloat=\"0.5\">Gain</PARAM></KroPRESET>", true },
            { "self-closing siblings do not nest", "<a>" + juce::String::repeatedString ("<b/>", 1000) + "</a>", true },
            { "32 levels", nested (32), true },
            { "33 levels", nested (33), false },
            { "100 000 levels", nested (100000), false },
            { "comments, CDATA and a leading instruction are skipped",
              "<?pi <x> ?><a><!-- <x><x> --><![CDATA[<x><x>]]>" + nested (31) + "</a>", true },
            { "an instruction inside an element, followed by text", "<a><?pi?>text</a>", false },
            { "an instruction inside an element, followed by an element", "<a><?pi?><b/></a>", false },
            { "a quoted '/>' does not close the tag", "<a v=\"/>\" w='>'>" + nested (32) + "</a>", false },
            { "the five entities and character references", "<a v=\"&amp;&QUOT;&#60;&#x3c;\">&lt;&gt;&apos;</a>",
              true },
            { "document type declaration", "<!DOCTYPE a [<!ENTITY e \"<x><x>\">]><a>&e;</a>", false },
            { "unknown entity", "<a>&e;</a>", false },
            { "entity name made of markup", "<a>&<x><x><x>;</a>", false },
            { "markup inside a tag", "<a <!-- > --> >" + nested (31) + "</a>", false },
            { "markup inside an attribute", "<a v=\"<x><x>\"></a>", false },
            { "an unterminated comment", "<a><!-- " + nested (100), false },
            { "text only", "just text", false },
            { "an element left open", "<a><b></b>", false },
            { "a closing tag without its opening tag", "<a></b></a></a>", false },
            { "an attribute without quotes (the parser resynchronises in the text)",
              "<a><b N=MARAM ID=\"x\"/><!-- c --></a>", false },
            { "an attribute without a value", "<a b></a>", false },
            { "a character reference without its ';'", "<a>&#6=</a>", false },
            { "text after the document", "<a/>trailing", false },
            { "white space and a comment after the document", "<a/>\n<!-- end -->\n", true },
            { "single-quoted attributes, spaces around '='", "<a b = 'x' c=\"y\" ></a >", true },
            { "UTF-8", juce::String::fromUTF8 ("<a v=\"\xc3\xa9\">\xe2\x82\xac \xf0\x9f\x8e\xb5</a>"), true },
            { "a UTF-8 sequence cut short at the end", juce::String::fromUTF8 ("<a></a\xfa\xfa"), false },
            { "a stray continuation byte", juce::String::fromUTF8 ("<a>\x80</a>"), false },
        };

        for (const auto& c : cases)
        {
            EXPECT_EQ (GuardedXml::isSafeToParse (c.text), c.safe) << c.label;
            if (! c.safe)
            {
                EXPECT_EQ (GuardedXml::parse (c.text), nullptr) << c.label;
            }
        }

        EXPECT_NE (GuardedXml::parse (nested (32, "text")), nullptr);
        EXPECT_TRUE (GuardedXml::isSafeToParse (nested (40), 40));
    }

    TEST (GuardedXml, ReadsWhatTheProcessorWrites)
    {
        juce::XmlElement document ("KroPRESET");
        document.createNewChildElement ("PARAM")->setAttribute ("ID", "band1_freq & <more>");
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (document, block);

        const auto read = GuardedXml::parseBinary (block.getData(), (int) block.getSize());
        ASSERT_NE (read, nullptr);
        EXPECT_TRUE (read->isEquivalentTo (&document, false));

        EXPECT_EQ (GuardedXml::parseBinary (block.getData(), 8), nullptr);
        EXPECT_EQ (GuardedXml::parseBinary (nullptr, 100), nullptr);
        const char notXml[] = "VC2!\x10\0\0\0 some value tree";
        EXPECT_EQ (GuardedXml::parseBinary (notXml, (int) sizeof (notXml)), nullptr);
    }
} // namespace
