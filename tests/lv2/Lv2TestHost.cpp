#include "Lv2TestHost.h"

#include "lv2/Lv2Descriptors.h"
#include "lv2/Lv2PortLayout.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>

#include <algorithm>

Lv2TestHost::Lv2TestHost()
    : Lv2TestHost (Setup{})
{
}

Lv2TestHost::Lv2TestHost (const Setup& setup)
{
    if (setup.withMap)
        featureList.push_back ({ LV2_URID__map, &mapFeature });
    if (setup.boundedBlockLength)
        featureList.push_back ({ LV2_BUF_SIZE__boundedBlockLength, nullptr });

    const auto intType = map (LV2_ATOM__Int);
    if (setup.maxBlockLength)
    {
        maxLength = *setup.maxBlockLength;
        options.push_back (
            { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), intType, &maxLength });
    }
    if (setup.nominalBlockLength)
    {
        nominalLength = *setup.nominalBlockLength;
        options.push_back ({ LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__nominalBlockLength), sizeof (int32_t), intType,
                             &nominalLength });
    }
    options.push_back ({ LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr });
    if (options.size() > 1)
        featureList.push_back ({ LV2_OPTIONS__options, options.data() });

    for (const auto& feature : featureList)
        features.push_back (&feature);
    features.push_back (nullptr);

    descriptor = kroLv2Descriptor();
    handle = descriptor->instantiate (descriptor, setup.sampleRate, "", features.data());
    if (handle == nullptr)
        return;

    for (const auto& port : Lv2PortLayout::controls())
    {
        controls[(size_t) port.parameterIndex] = port.defaultValue;
        descriptor->connect_port (handle, Lv2PortLayout::portOf (port.parameterIndex),
                                  &controls[(size_t) port.parameterIndex]);
    }
    descriptor->connect_port (handle, Lv2PortLayout::latency, &latency);
}

Lv2TestHost::~Lv2TestHost()
{
    if (handle != nullptr)
        descriptor->cleanup (handle);
}

LV2_URID Lv2TestHost::mapUri (LV2_URID_Map_Handle handle, const char* uri)
{
    auto& uris = static_cast<Lv2TestHost*> (handle)->uris;
    const auto found = std::find (uris.begin(), uris.end(), uri);
    if (found != uris.end())
        return (LV2_URID) (found - uris.begin() + 1);
    uris.emplace_back (uri);
    return (LV2_URID) uris.size();
}

LV2_URID Lv2TestHost::map (const char* uri)
{
    return mapUri (this, uri);
}

void Lv2TestHost::setPort (const char* symbol, float value)
{
    for (const auto& port : Lv2PortLayout::controls())
        if (port.symbol == symbol)
            controls[(size_t) port.parameterIndex] = value;
}

float Lv2TestHost::getPort (const char* symbol) const
{
    for (const auto& port : Lv2PortLayout::controls())
        if (port.symbol == symbol)
            return controls[(size_t) port.parameterIndex];
    return std::numeric_limits<float>::quiet_NaN();
}

void Lv2TestHost::activate()
{
    descriptor->activate (handle);
}

void Lv2TestHost::deactivate()
{
    descriptor->deactivate (handle);
}

void Lv2TestHost::process (juce::AudioBuffer<float>& buffer, const std::vector<int>& blockLengths, bool sharedBuffers)
{
    const int total = buffer.getNumSamples();
    for (auto& out : scratchOut)
        out.resize ((size_t) total);

    for (int done = 0, block = 0; done < total; ++block)
    {
        const auto length = std::min (blockLengths[(size_t) block % blockLengths.size()], total - done);
        for (uint32_t channel = 0; channel < 2; ++channel)
        {
            auto* samples = buffer.getWritePointer ((int) channel, done);
            descriptor->connect_port (handle, Lv2PortLayout::audioInLeft + channel, samples);
            descriptor->connect_port (handle, Lv2PortLayout::audioOutLeft + channel,
                                      sharedBuffers ? samples : scratchOut[channel].data() + done);
        }
        descriptor->run (handle, (uint32_t) length);
        done += length;
    }

    if (! sharedBuffers)
        for (int channel = 0; channel < 2; ++channel)
            buffer.copyFrom (channel, 0, scratchOut[channel].data(), total);
}

void Lv2TestHost::connectAudio (float* inLeft, float* inRight, float* outLeft, float* outRight)
{
    descriptor->connect_port (handle, Lv2PortLayout::audioInLeft, inLeft);
    descriptor->connect_port (handle, Lv2PortLayout::audioInRight, inRight);
    descriptor->connect_port (handle, Lv2PortLayout::audioOutLeft, outLeft);
    descriptor->connect_port (handle, Lv2PortLayout::audioOutRight, outRight);
}

void Lv2TestHost::run (uint32_t numFrames)
{
    descriptor->run (handle, numFrames);
}

LV2_State_Status Lv2TestHost::save (State& state)
{
    const auto* interface = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));
    struct Context
    {
        Lv2TestHost& host;
        State& state;
    } context{ *this, state };

    return interface->save (
        handle,
        [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
        {
            auto& c = *static_cast<Context*> (h);
            const auto* bytes = static_cast<const char*> (value);
            c.state[c.host.uris[key - 1]] = { c.host.uris[type - 1], std::vector<char> (bytes, bytes + size) };
            return LV2_STATE_SUCCESS;
        },
        &context, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
}

LV2_State_Status Lv2TestHost::restore (const State& state)
{
    const auto* interface = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));
    struct Context
    {
        Lv2TestHost& host;
        const State& state;
    } context{ *this, state };

    return interface->restore (
        handle,
        [] (LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
        {
            auto& c = *static_cast<Context*> (h);
            const auto found = c.state.find (c.host.uris[key - 1]);
            if (found == c.state.end())
                return nullptr;
            *size = found->second.bytes.size();
            *type = c.host.map (found->second.type.c_str());
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return found->second.bytes.data();
        },
        &context, 0, features.data());
}
