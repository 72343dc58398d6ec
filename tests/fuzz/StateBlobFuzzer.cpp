// Feeds arbitrary bytes to the processor as a saved state, both as they come and wrapped the way
// hosts store the XML text, and checks what a host relies on afterwards.

#include "FuzzSupport.h"
#include "processor/PluginProcessor.h"
#include "text/GuardedXml.h"

#include <vector>

namespace
{
    KroTrellaAudioProcessor* processor = nullptr;

    std::vector<float> valuesOf (const KroTrellaAudioProcessor& p)
    {
        std::vector<float> values;
        for (int i = 0; i < (int) numTrellaParams; ++i)
            values.push_back (p.getKroParameter (i)->getValue());
        return values;
    }

    juce::MemoryBlock wrapAsState (const uint8_t* data, size_t size)
    {
        juce::MemoryOutputStream out;
        out.writeInt (0x21324356); // the framework's header: magic number, then the text's length
        out.writeInt ((int) size + 1);
        out.write (data, size);
        out.writeByte (0);
        return out.getMemoryBlock();
    }

    void restoreAndCheck (const void* blob, int size, bool refused)
    {
        const auto before = valuesOf (*processor);
        processor->setStateInformation (blob, size);
        const auto after = valuesOf (*processor);

        for (const float value : after)
            fuzz::check (value >= 0.0f && value <= 1.0f, "a restored value outside 0..1");

        if (refused)
            fuzz::check (after == before, "a refused document changed a parameter");
    }
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::startFramework();
    processor = new KroTrellaAudioProcessor(); // lives as long as the run, like the framework
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max() / 2)
        return 0;

    const auto text = juce::String::fromUTF8 (reinterpret_cast<const char*> (data), (int) size);
    const bool refused = ! GuardedXml::isSafeToParse (text);

    if (const auto document = GuardedXml::parse (text))
        fuzz::check (fuzz::depthOf (*document) <= GuardedXml::maximumDepth, "a parsed document nests too deeply");

    restoreAndCheck (data, (int) size, false);

    const auto wrapped = wrapAsState (data, size);
    restoreAndCheck (wrapped.getData(), (int) wrapped.getSize(), refused);

    fuzz::deliverPendingMessages();
    return 0;
}
