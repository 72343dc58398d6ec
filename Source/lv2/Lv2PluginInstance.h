#pragma once

#include "Lv2ControlInputs.h"
#include "Lv2HostFeatures.h"
#include "Lv2Runtime.h"

#include "processor/PluginProcessor.h"

#include <lv2/state/state.h>

#include <atomic>
#include <memory>

/** One instance of the LV2 plug-in: the processor, its ports and its saved state.

    `run` takes the control ports that changed (Lv2ControlInputs), then processes the audio in
    pieces no longer than the processor was prepared for, so any block length works, one frame
    included. It allocates nothing, takes no lock and writes no log.

    Saved state is the processor's "KroPRESET" document, the same as getStateInformation gives,
    stored as text under the key <plug-in URI>#KroPRESET. How it agrees with the ports: hosts save
    the ports and the state together and restore both (lilv-based hosts the state first, Ardour the
    ports first). A restore applies the document at once and counts its values as taken from the
    ports; a port is applied when it differs from what was last taken. So in either order the
    sound ends at the restored values, which are also the ones on the host's ports; and where a
    host restores a document that disagrees with its ports, the ports win at the next `run`, so
    what the host shows is what plays. The plug-in never writes an input port itself.
*/
class Lv2PluginInstance
{
public:
    static constexpr double lowestSampleRate = 8000.0, highestSampleRate = 768000.0;

    /** A new instance, or nullptr for a sample rate outside lowestSampleRate..highestSampleRate. */
    static std::unique_ptr<Lv2PluginInstance> create (double sampleRate, const LV2_Feature* const* features);

    ~Lv2PluginInstance();

    void connect (uint32_t port, void* data) noexcept;
    void activate();
    void deactivate();
    void run (uint32_t numFrames) noexcept;

    LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    KroTrellaAudioProcessor& getProcessor() noexcept { return *processor; }
    Lv2ControlInputs& getControlInputs() noexcept { return controls; }

    /** Whether the host runs the instance (between activate and deactivate). */
    bool isActive() const noexcept { return active.load(); }

    int getPreparedBlockLength() const noexcept { return preparedLength; }

private:
    Lv2PluginInstance (double sampleRate, const Lv2HostFeatures& features);

    juce::SharedResourcePointer<Lv2Runtime> runtime; // first: the framework outlives the processor
    std::unique_ptr<KroTrellaAudioProcessor> processor;
    Lv2ControlInputs controls;
    const LV2_URID_Map* map = nullptr;
    const int preparedLength;

    std::array<float*, 4> audio{}; // in left, in right, out left, out right
    float* latency = nullptr;
    juce::AudioBuffer<float> piece;
    juce::MidiBuffer noMidi;
    std::atomic<bool> active{ false };

    JUCE_DECLARE_NON_COPYABLE (Lv2PluginInstance)
};
