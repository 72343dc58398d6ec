#include "Lv2PluginInstance.h"

#include "text/GuardedXml.h"

#include <lv2/atom/atom.h>

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

namespace
{
    juce::String stateKey()
    {
        return juce::String (KRO_LV2_URI) + "#KroPRESET";
    }

    std::unique_ptr<KroTrellaAudioProcessor> createProcessor()
    {
        juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_LV2;
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_LV2);
        std::unique_ptr<juce::AudioProcessor> created (createPluginFilter());
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

        auto* processor = dynamic_cast<KroTrellaAudioProcessor*> (created.get());
        if (processor == nullptr)
            return nullptr;
        created.release();
        return std::unique_ptr<KroTrellaAudioProcessor> (processor);
    }
} // namespace

std::unique_ptr<Lv2PluginInstance> Lv2PluginInstance::create (double sampleRate, const LV2_Feature* const* features)
{
    if (! (sampleRate >= lowestSampleRate && sampleRate <= highestSampleRate))
        return nullptr;

    auto instance =
        std::unique_ptr<Lv2PluginInstance> (new Lv2PluginInstance (sampleRate, Lv2HostFeatures::read (features)));
    return instance->processor != nullptr ? std::move (instance) : nullptr;
}

Lv2PluginInstance::Lv2PluginInstance (double sampleRate, const Lv2HostFeatures& features)
    : processor (createProcessor())
    , map (features.map)
    , preparedLength (features.preparedBlockLength())
{
    if (processor == nullptr)
        return;

    processor->setRateAndBufferSizeDetails (sampleRate, preparedLength);
    processor->prepareToPlay (sampleRate, preparedLength);
    piece.setSize (2, preparedLength);
}

Lv2PluginInstance::~Lv2PluginInstance()
{
    if (processor != nullptr)
        processor->releaseResources();
    processor.reset();
}

void Lv2PluginInstance::connect (uint32_t port, void* data) noexcept
{
    if (port < audio.size())
        audio[port] = static_cast<float*> (data);
    else if (port == Lv2PortLayout::latency)
        latency = static_cast<float*> (data);
    else
        controls.connect (Lv2PortLayout::parameterIndexOf (port), static_cast<const float*> (data));
}

void Lv2PluginInstance::activate()
{
    // A new stream: nothing of the signal before it rings on.
    processor->reset();
    active.store (true);
}

void Lv2PluginInstance::deactivate()
{
    active.store (false);
}

void Lv2PluginInstance::run (uint32_t numFrames) noexcept
{
    // The parameters' own setValue: it reaches the engine and the saved state, and tells nobody,
    // so a host's value is never sent back to it as an edit.
    controls.takeChanges ([this] (int index, float normalised)
                          { processor->getKroParameter (index)->setValue (normalised); });

    for (uint32_t done = 0; done < numFrames;)
    {
        const auto length = (int) std::min<uint32_t> ((uint32_t) preparedLength, numFrames - done);
        piece.setSize (2, length, false, false, true);

        for (int channel = 0; channel < 2; ++channel)
        {
            if (const auto* input = audio[(size_t) channel])
                piece.copyFrom (channel, 0, input + done, length);
            else
                piece.clear (channel, 0, length);
        }

        processor->processBlock (piece, noMidi);

        for (int channel = 0; channel < 2; ++channel)
            if (auto* output = audio[2 + (size_t) channel])
                std::copy_n (piece.getReadPointer (channel), length, output + done);

        done += (uint32_t) length;
    }

    if (latency != nullptr)
        *latency = (float) processor->getLatencySamples();
}

LV2_State_Status Lv2PluginInstance::save (LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (map == nullptr || store == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;

    juce::MemoryBlock block;
    processor->getStateInformation (block);
    const auto document = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    if (document == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    const auto text = document->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto key = map->map (map->handle, stateKey().toRawUTF8());
    const auto type = map->map (map->handle, LV2_ATOM__String);
    return store (handle, key, text.toRawUTF8(), text.getNumBytesAsUTF8() + 1, type,
                  LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2PluginInstance::restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (map == nullptr || retrieve == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;

    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const auto* data = static_cast<const char*> (
        retrieve (handle, map->map (map->handle, stateKey().toRawUTF8()), &size, &type, &flags));

    // A state without a document of ours (a preset of port values only) leaves everything as it is.
    if (data == nullptr)
        return LV2_STATE_SUCCESS;
    if (type != map->map (map->handle, LV2_ATOM__String))
        return LV2_STATE_ERR_BAD_TYPE;

    // The text comes from a session file: it is read only when it is safe to parse.
    const auto length = std::find (data, data + size, '\0') - data;
    const auto document = GuardedXml::parse (juce::String::fromUTF8 (data, (int) length));
    if (document == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary (*document, block);
    processor->setStateInformation (block.getData(), (int) block.getSize());

    for (int i = 0; i < (int) Lv2PortLayout::numControls; ++i)
        controls.takeRestored (i,
                               Lv2PortLayout::portValueFromNormalised (i, processor->getKroParameter (i)->getValue()));

    return LV2_STATE_SUCCESS;
}
