#include "processor/PluginProcessor.h"
#include "text/GuardedXml.h"

#include <gtest/gtest.h>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    std::unique_ptr<juce::XmlElement> savedDocument (Processor& p)
    {
        juce::MemoryBlock block;
        p.getStateInformation (block);
        return juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    }

    void restore (Processor& p, const juce::String& xml)
    {
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (xml), block);
        p.setStateInformation (block.getData(), (int) block.getSize());
    }

    std::vector<float> valuesOf (const Processor& p)
    {
        std::vector<float> values;
        for (int i = 0; i < 23; ++i)
            values.push_back (p.getKroParameter (i)->getValue());
        return values;
    }

    TEST (State, AFreshProcessorSavesTheDocumentExactly)
    {
        Processor p;
        const auto doc = savedDocument (p);
        ASSERT_NE (doc, nullptr);
        EXPECT_EQ (doc->getTagName(), "KroPRESET");
        // The preset's name and which of A and B is heard; readers of the parameters skip both.
        ASSERT_EQ (doc->getNumAttributes(), 2);
        EXPECT_EQ (doc->getStringAttribute ("PRESET"), "Default");
        EXPECT_EQ (doc->getStringAttribute ("SLOT"), "A");
        // The 23 parameters, then the inactive setting in an element of its own.
        ASSERT_EQ (doc->getNumChildElements(), 24);
        EXPECT_EQ (doc->getChildElement (23)->getTagName(), "INACTIVE");
        EXPECT_EQ (doc->getChildElement (23)->getNumChildElements(), 23);

        const struct
        {
            const char* id;
            double value;
            int midi;
        } figures[] = {
            { "master_active", 0.0, 0 },
            { "master_gain", 0.5, 63 },
            { "band1_freq", (double) ((120.0f - 20.0f) / 19980.0f), 0 },
            { "band1_type", 0.5, 0 },
            { "band4_type", 1.0, 1 },
            { "lopass_freq", 1.0, 127 },
            { "hipass_freq", 0.0, 0 },
            { "preamp_type", 0.0, 0 },
        };

        int index = 0;
        for (auto* param : doc->getChildWithTagNameIterator ("PARAM"))
        {
            const auto& row = TrellaParams[(size_t) index];
            EXPECT_EQ (param->getTagName(), "PARAM");
            ASSERT_EQ (param->getNumAttributes(), 3);
            EXPECT_EQ (param->getAttributeName (0), "ID");
            EXPECT_EQ (param->getAttributeName (1), "ValueFloat");
            EXPECT_EQ (param->getAttributeName (2), "ValueMidi");
            EXPECT_EQ (param->getStringAttribute ("ID"), row.id);
            EXPECT_EQ (param->getAllSubText(), row.name);

            const float value = p.getKroParameter (index)->getValue();
            EXPECT_EQ ((float) param->getDoubleAttribute ("ValueFloat"), value) << row.id;
            EXPECT_EQ (param->getIntAttribute ("ValueMidi"), (int) ((float) row.steps * value)) << row.id;

            for (const auto& f : figures)
                if (param->getStringAttribute ("ID") == f.id)
                {
                    EXPECT_DOUBLE_EQ (param->getDoubleAttribute ("ValueFloat"), f.value) << f.id;
                    EXPECT_EQ (param->getIntAttribute ("ValueMidi"), f.midi) << f.id;
                }
            ++index;
        }
    }

    TEST (State, ValueMidiTruncatesTheStepIndex)
    {
        Processor p;
        p.getKroParameter (1)->setValue (0.5f);    // 127 steps: 63.5 -> 63
        p.getKroParameter (22)->setValue (0.875f); // 7 steps: 6.125 -> 6
        p.getKroParameter (14)->setValue (0.5f);   // 1 step: 0
        const auto doc = savedDocument (p);
        EXPECT_EQ (doc->getChildElement (1)->getIntAttribute ("ValueMidi"), 63);
        EXPECT_EQ (doc->getChildElement (22)->getIntAttribute ("ValueMidi"), 6);
        EXPECT_EQ (doc->getChildElement (14)->getIntAttribute ("ValueMidi"), 0);
    }

    TEST (State, EveryParameterRoundTrips)
    {
        Processor p;
        juce::Random random (2024);
        for (int i = 0; i < 23; ++i)
            p.getKroParameter (i)->setValue (random.nextFloat());

        juce::MemoryBlock saved;
        p.getStateInformation (saved);
        const auto values = valuesOf (p);
        const auto engineSetting = p.getEngine()->getParams();

        for (int i = 0; i < 23; ++i)
            p.getKroParameter (i)->setValue (random.nextFloat());

        p.setStateInformation (saved.getData(), (int) saved.getSize());
        EXPECT_EQ (valuesOf (p), values);
        EXPECT_TRUE (p.getEngine()->getParams().sameBytesAs (engineSetting));

        // A second processor restored from the same bytes ends up identical.
        Processor other;
        other.setStateInformation (saved.getData(), (int) saved.getSize());
        EXPECT_EQ (valuesOf (other), values);
    }

    TEST (State, MalformedAndPartialDocuments)
    {
        const struct
        {
            const char* label;
            const char* xml;
            std::vector<std::pair<int, float>> changes; // (index, new value); all else unchanged
        } cases[] = {
            { "empty preset", "<KroPRESET/>", {} },
            { "other root", "<OtherPRESET><PARAM ID=\"band1_freq\" ValueFloat=\"0.5\"/></OtherPRESET>", {} },
            { "ids are case-sensitive", "<KroPRESET><PARAM ID=\"BAND1_FREQ\" ValueFloat=\"0.5\"/></KroPRESET>", {} },
            { "unknown id", "<KroPRESET><PARAM ID=\"band5_freq\" ValueFloat=\"0.5\"/></KroPRESET>", {} },
            { "missing id", "<KroPRESET><PARAM ValueFloat=\"0.5\"/></KroPRESET>", {} },
            { "missing value reads 0", "<KroPRESET><PARAM ID=\"band1_gain\"/></KroPRESET>", { { 6, 0.0f } } },
            { "later duplicate wins",
              "<KroPRESET><PARAM ID=\"band2_q\" ValueFloat=\"0.2\"/><PARAM ID=\"band2_q\" "
              "ValueFloat=\"0.7\"/></KroPRESET>",
              { { 11, 0.7f } } },
            { "program element skipped",
              "<KroPRESET><PROGRAM NAME=\"x\" NUMBER=\"3\"/><PARAM ID=\"master_gain\" "
              "ValueFloat=\"0.25\"/></KroPRESET>",
              { { 1, 0.25f } } },
            { "values are limited to 0..1",
              "<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"2\"/><PARAM ID=\"band2_q\" "
              "ValueFloat=\"-3\"/></KroPRESET>",
              { { 6, 1.0f }, { 11, 0.0f } } },
            { "value that is not a number skipped",
              "<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"nan\"/><PARAM ID=\"band2_gain\" "
              "ValueFloat=\"1e300\"/></KroPRESET>",
              {} },
            { "garbage value reads 0",
              "<KroPRESET><PARAM ID=\"band3_freq\" ValueFloat=\"loud\"/></KroPRESET>",
              { { 4, 0.0f } } },
        };

        for (const auto& c : cases)
        {
            Processor p;
            auto expected = valuesOf (p);
            for (const auto& [index, value] : c.changes)
                expected[(size_t) index] = value;

            restore (p, c.xml);
            EXPECT_EQ (valuesOf (p), expected) << c.label;
        }

        Processor p;
        restore (p, "<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"2\"/></KroPRESET>");
        EXPECT_FLOAT_EQ (p.getEngine()->getParams().band[0].gain, 24.0f);
        restore (p, "<KroPRESET><PARAM ID=\"band1_freq\"/></KroPRESET>");
        EXPECT_FLOAT_EQ (p.getEngine()->getParams().band[0].frequency, 20.0f);
    }

    juce::MemoryBlock binaryOf (const juce::String& text)
    {
        // The framework's wrapping: a magic number, the text's length, the text and a terminating zero.
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356);
        out.writeInt ((int) text.getNumBytesAsUTF8() + 1);
        out << text;
        out.writeByte (0);
        return out.getMemoryBlock();
    }

    TEST (State, DeeplyNestedDocumentsAreRefusedBeforeParsing)
    {
        const auto withInnerLevels = [] (int levels)
        {
            return "<KroPRESET><PARAM ID=\"band1_gain\" ValueFloat=\"0.75\">" +
                   juce::String::repeatedString ("<x>", levels) + juce::String::repeatedString ("</x>", levels) +
                   "</PARAM></KroPRESET>";
        };

        const struct
        {
            const char* label;
            juce::String text;
            bool applied;
        } cases[] = {
            { "32 levels in all", withInnerLevels (30), true },
            { "33 levels", withInnerLevels (31), false },
            { "100 000 levels", withInnerLevels (99998), false },
        };

        for (const auto& c : cases)
        {
            Processor p;
            const auto defaults = valuesOf (p);
            const auto blob = binaryOf (c.text);
            p.setStateInformation (blob.getData(), (int) blob.getSize());

            auto expected = defaults;
            if (c.applied)
                expected[6] = 0.75f;
            EXPECT_EQ (valuesOf (p), expected) << c.label;
        }
    }

    TEST (State, TheFuzzersSeedsAndFindingsAreSafe)
    {
        // Every input the state fuzzer starts from, crash reproducers included: restored as it is
        // and as a wrapped text, it leaves values in 0..1, and a refused document changes nothing.
        const auto files = juce::File (KRO_FUZZ_SEEDS_DIR "/state").findChildFiles (juce::File::findFiles, false);
        ASSERT_FALSE (files.isEmpty());

        for (const auto& file : files)
        {
            juce::MemoryBlock content;
            ASSERT_TRUE (file.loadFileAsData (content));
            const auto text = content.toString();

            Processor p;
            const auto defaults = valuesOf (p);
            p.setStateInformation (content.getData(), (int) content.getSize());
            for (const float value : valuesOf (p))
                EXPECT_TRUE (value >= 0.0f && value <= 1.0f) << file.getFileName();

            Processor q;
            const auto wrapped = binaryOf (text);
            q.setStateInformation (wrapped.getData(), (int) wrapped.getSize());
            if (! GuardedXml::isSafeToParse (text))
            {
                EXPECT_EQ (valuesOf (q), defaults) << file.getFileName();
            }
        }
    }

    TEST (State, RandomBytesChangeNothing)
    {
        Processor p;
        const auto before = valuesOf (p);
        juce::Random random (77);

        juce::MemoryBlock valid;
        p.getStateInformation (valid);

        for (int attempt = 0; attempt < 2000; ++attempt)
        {
            juce::MemoryBlock blob;
            if (attempt % 2 == 0)
            {
                blob.setSize ((size_t) random.nextInt (300));
                random.fillBitsRandomly (blob.getData(), blob.getSize());
            }
            else
            {
                // The framework's header with a payload that is cut short or scrambled.
                blob = valid;
                const auto size = (size_t) random.nextInt ((int) blob.getSize());
                blob.setSize (size);
                for (int flips = random.nextInt (6); flips > 0 && size > 8; --flips)
                    static_cast<char*> (blob.getData())[8 + (size_t) random.nextInt ((int) size - 8)] =
                        (char) random.nextInt (256);
            }

            p.setStateInformation (blob.getData(), (int) blob.getSize());
        }

        p.setStateInformation (nullptr, 100);
        p.setStateInformation (valid.getData(), -5);

        // Scrambled copies of a valid state may still parse, but only as values a document can hold.
        for (int i = 0; i < 23; ++i)
            EXPECT_TRUE (std::isfinite (p.getKroParameter (i)->getValue()));

        Processor q;
        for (int attempt = 0; attempt < 2000; ++attempt)
        {
            juce::MemoryBlock blob ((size_t) random.nextInt (300));
            random.fillBitsRandomly (blob.getData(), blob.getSize());
            q.setStateInformation (blob.getData(), (int) blob.getSize());
        }
        EXPECT_EQ (valuesOf (q), before);
    }
} // namespace
