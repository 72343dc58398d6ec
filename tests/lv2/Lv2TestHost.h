#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

class Lv2PluginInstance;

/** A minimal LV2 host for tests: the plug-in through its exported descriptor, with a URID map,
    the block-length options a host may offer, control port values by symbol, and saved state
    kept in memory.
*/
class Lv2TestHost
{
public:
    struct Setup
    {
        double sampleRate = 48000.0;
        bool withMap = true;
        std::optional<int> maxBlockLength, nominalBlockLength;
        bool boundedBlockLength = false;
    };

    /** One saved property: its type URI and bytes. */
    struct Property
    {
        std::string type;
        std::vector<char> bytes;
    };
    using State = std::map<std::string, Property>; // by key URI

    Lv2TestHost();
    explicit Lv2TestHost (const Setup& setup);
    ~Lv2TestHost();

    bool isLoaded() const noexcept { return handle != nullptr; }
    Lv2PluginInstance& instance() const { return *static_cast<Lv2PluginInstance*> (handle); }

    void setPort (const char* symbol, float value);
    float getPort (const char* symbol) const;
    float getLatency() const noexcept { return latency; }

    void activate();
    void deactivate();

    /** Runs the buffer through the plug-in in place, in blocks whose lengths cycle through the
        given list; with `sharedBuffers` the output ports point at the input's samples.
    */
    void process (juce::AudioBuffer<float>& buffer, const std::vector<int>& blockLengths, bool sharedBuffers = false);

    /** Connects the audio ports to buffers of the caller's, and runs one block over them. */
    void connectAudio (float* inLeft, float* inRight, float* outLeft, float* outRight);
    void run (uint32_t numFrames);

    LV2_State_Status save (State& state);
    LV2_State_Status restore (const State& state);

    LV2_URID map (const char* uri);

private:
    static LV2_URID mapUri (LV2_URID_Map_Handle handle, const char* uri);

    std::vector<std::string> uris;
    LV2_URID_Map mapFeature{ this, mapUri };
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> featureList;
    std::vector<const LV2_Feature*> features;
    int32_t maxLength = 0, nominalLength = 0;

    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    std::array<float, 23> controls{};
    float latency = -1.0f;
    std::vector<float> scratchOut[2];
};
