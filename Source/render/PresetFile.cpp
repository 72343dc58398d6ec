#include "PresetFile.h"

#include "state/PresetDocument.h"
#include "text/GuardedXml.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
    // The first word of the framework's binary wrapping of an XML document.
    constexpr juce::uint32 binaryStateMagic = 0x21324356;

    bool isBinaryState (const juce::MemoryBlock& data)
    {
        return data.getSize() >= 8 && juce::ByteOrder::littleEndianInt (data.getData()) == binaryStateMagic;
    }
} // namespace

juce::String PresetFile::validate (const juce::XmlElement& document)
{
    return PresetDocument::problemWith (document);
}

PresetFile::Result PresetFile::load (const juce::File& file)
{
    if (file.isDirectory())
        return { {}, "is a folder, not a state file" };
    if (! file.existsAsFile())
        return { {}, "no such file" };
    if (file.getSize() > maximumFileSize)
        return { {}, "is too large to be a saved state" };

    juce::MemoryBlock data;
    if (! file.loadFileAsData (data))
        return { {}, "cannot be read" };

    std::unique_ptr<juce::XmlElement> document;
    if (isBinaryState (data))
    {
        document = GuardedXml::parseBinary (data.getData(), (int) data.getSize());
        if (document == nullptr)
            return { {}, "is a damaged saved state" };
    }
    else
    {
        document = GuardedXml::parse (data.toString());
        if (document == nullptr)
            return { {}, "is neither a KroPRESET document nor a saved state" };
    }

    if (const auto problem = validate (*document); problem.isNotEmpty())
        return { {}, problem };

    Result result;
    juce::AudioProcessor::copyXmlToBinary (*document, result.state);
    return result;
}
