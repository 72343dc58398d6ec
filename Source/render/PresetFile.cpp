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

    std::optional<double> strictNumber (const juce::String& text)
    {
        const auto trimmed = text.trim().toStdString();
        if (trimmed.empty())
            return std::nullopt;

        char* end = nullptr;
        const double number = std::strtod (trimmed.c_str(), &end);
        if (end != trimmed.c_str() + trimmed.size() || ! std::isfinite (number))
            return std::nullopt;

        return number;
    }
} // namespace

juce::String PresetFile::validate (const juce::XmlElement& document)
{
    if (! document.hasTagName (PresetDocument::rootTag))
        return "is a <" + document.getTagName() + "> document, not a Kro Trella state (<" + PresetDocument::rootTag +
               ">)";

    int known = 0;
    for (auto* param : document.getChildWithTagNameIterator (PresetDocument::paramTag))
    {
        const auto id = param->getStringAttribute ("ID");
        if (findTrellaParamIndex (id.toRawUTF8()) < 0)
            continue;

        const auto value = strictNumber (param->getStringAttribute ("ValueFloat"));
        if (! value.has_value())
            return "parameter " + id + " has no numeric ValueFloat";
        if (*value < 0.0 || *value > 1.0)
            return "parameter " + id + " has ValueFloat " + juce::String (*value) + ", outside 0..1";

        ++known;
    }

    if (known == 0)
        return "names no Kro Trella parameter";

    return {};
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
