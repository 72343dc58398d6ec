#pragma once

#include <BinaryData.h>
#include <juce_core/juce_core.h>

/** An embedded resource looked up by name, as the program looks it up. */
struct EmbeddedResource
{
    const char* data = nullptr;
    int size = 0;

    static EmbeddedResource find (const char* resourceName)
    {
        EmbeddedResource resource;
        resource.data = BinaryData::getNamedResource (resourceName, resource.size);
        return resource;
    }

    const juce::uint8* bytes() const { return reinterpret_cast<const juce::uint8*> (data); }
    juce::String asText() const { return juce::String::fromUTF8 (data, size); }
};
