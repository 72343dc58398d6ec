#include "HostedPlugin.h"

namespace hosted
{
    void PrintTo (Format format, std::ostream* out)
    {
        *out << (format == Format::lv2 ? "LV2" : "VST3");
    }

    std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format)
    {
        std::unique_ptr<juce::AudioPluginFormat> pluginFormat;
        juce::String identifier;

        if (format == Format::lv2)
        {
            auto lv2 = std::make_unique<juce::LV2PluginFormat>();
            lv2->searchPathsForPlugins (
                juce::FileSearchPath (juce::File (KRO_LV2_DIR).getParentDirectory().getFullPathName()), false, false);
            identifier = KRO_LV2_URI;
            pluginFormat = std::move (lv2);
        }
        else
        {
            pluginFormat = std::make_unique<juce::VST3PluginFormat>();
            // The binary sits in KroTrella.vst3/Contents/x86_64-linux/.
            identifier = juce::File (KRO_VST3_BINARY)
                             .getParentDirectory()
                             .getParentDirectory()
                             .getParentDirectory()
                             .getFullPathName();
        }

        juce::OwnedArray<juce::PluginDescription> types;
        pluginFormat->findAllTypesForFile (types, identifier);
        if (types.isEmpty())
            return nullptr;

        juce::String error;
        auto instance = pluginFormat->createInstanceFromDescription (*types[0], sampleRate, blockSize, error);
        if (instance != nullptr)
        {
            instance->enableAllBuses();
            instance->prepareToPlay (sampleRate, blockSize);
        }
        return instance;
    }
} // namespace hosted
