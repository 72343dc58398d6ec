#pragma once

#include "EngineSlot.h"
#include "engine/TrellaDSP.h"
#include "services/UpdateChecker.h"
#include "state/EditHistory.h"
#include "state/SettingControls.h"
#include "state/TrellaParams.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <functional>
#include <mutex>

/** The plug-in: owns the equaliser engine, exposes its 23 parameters to the host and routes
    changes both ways, hands every block to the engine and saves the parameter set.

    It holds no window code: its window is made by the maker the plug-in's entry point installs
    (setEditorFactory), so the command-line renderer links the processor without any of it.
*/
class KroTrellaAudioProcessor : public juce::AudioProcessor, public SettingControls
{
public:
    /** One host parameter. Its value is the normalised value of the engine's value laws, kept as
        the host set it (not clamped). Ids and names come from TrellaParams; hosts address the
        parameter by its id, so sessions and automation lanes stay readable and stable. Its default
        is the engine's initial setting, and its texts are those of ParameterText.
    */
    class KroParameter : public juce::AudioProcessorParameterWithID
    {
    public:
        /** The parameter of a row of TrellaParams. */
        explicit KroParameter (int tableIndex);

        /** Called with (id, value) after every accepted setValue. */
        std::function<void (juce::String id, float value)> onValueChanged;

        const int steps;

        float getValue() const override { return value.load(); }
        /** Stores and forwards the value; a value that is not finite is refused and changes nothing. */
        void setValue (float newValue) override;
        float getDefaultValue() const override { return defaultValue; }
        juce::String getName (int maximumStringLength) const override;
        juce::String getLabel() const override { return {}; }
        /** The value in its unit, for example "1.20 kHz" or "+3.0 dB" (see ParameterText). */
        juce::String getText (float normalisedValue, int maximumStringLength) const override;
        /** Reads a text as ParameterText does; a text it does not understand gives the current value. */
        float getValueForText (const juce::String& text) const override;
        bool isMetaParameter() const override { return true; }
        Category getCategory() const override { return genericParameter; }

    private:
        const int tableIndex;
        std::atomic<float> value;
        const float defaultValue;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroParameter)
    };

    KroTrellaAudioProcessor();
    ~KroTrellaAudioProcessor() override;

    const juce::String getName() const override { return "KroTrella"; }

    /** Stereo to stereo, mono to mono, and mono to stereo (the one input feeding both sides). */
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    /** Clears every filter, meter, analyser and preamp state before the next block (any thread). */
    void reset() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    using juce::AudioProcessor::processBlockBypassed;

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }

    /** Makes the processor's window: the same for every processor of the program. */
    using EditorFactory = juce::AudioProcessorEditor* (*) (KroTrellaAudioProcessor&);

    /** Installed once by the plug-in's entry point; without it the processor has no window. */
    static void setEditorFactory (EditorFactory factory) noexcept;

    /** A new window from the installed maker, or nullptr without one. */
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    /** Message thread: the window is gone; retired engines need not wait for it any more. */
    void editorClosed();

    /** The factory presets; program 0 is "Default", the initial setting. A host's program change
        is a host-side change: it sets the values (hosts hear them as changes, without gestures) and
        never enters the window's undo history.
    */
    int getNumPrograms() override;
    int getCurrentProgram() override { return currentProgram.load(); }
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int, const juce::String&) override {}

    //==============================================================================
    // SettingControls: presets, A/B and undo for the window (message thread).
    Values getCurrentValues() const override;
    juce::String getPresetName() const override;
    bool differsFromPreset() const override;
    void loadPreset (const juce::String& name, const Values& values) override;
    void setPresetName (const juce::String& name) override;
    int getActiveSlot() const override;
    void switchToSlot (int slot) override;
    void copySlot (int from, int to) override;
    bool canUndo() const override;
    bool canRedo() const override;
    void undo() override;
    void redo() override;

    /** Both settings and which one is heard, as an undo step would restore them. */
    SettingSnapshot takeSnapshot() const;

    /** The folder of the user's presets: "Presets" in the data folder. */
    static juce::File getUserPresetFolder();

    static constexpr const char* inactiveTag = "INACTIVE";
    static constexpr const char* presetAttribute = "PRESET";
    static constexpr const char* slotAttribute = "SLOT";

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    /** Builds a new engine for a sample rate and block size that takes over the current one's
        setting (parameters, solo, analyser feed, meter fall time), and makes it the current one.
    */
    void ResetDSPclass (float sampleRate, int samplesPerBlock);

    /** Message thread: the current engine, for the interface. It stays alive until the interface
        asks again (after a rebuild, through a posted message) or the editor goes away; see EngineSlot.
    */
    TrellaDSP* getEngine() const { return dsp.getForInterface(); }

    /** Installs the callback run right after the engine has been replaced. It runs on the thread
        that prepares the processor, which need not be the message thread; the previous engine stays
        alive until the message thread has handled every message posted before the callback returned.
    */
    void setOnEngineChanged (std::function<void()> callback);
    bool hasOnEngineChanged() const;

    KroParameter* getKroParameter (int index) const noexcept { return parameters[(size_t) index]; }

    /** The version checker that serves every editor of this processor. */
    UpdateChecker& getUpdateChecker() noexcept { return updateChecker; }

    EngineSlot dsp;

private:
    void routeParameterChange (const juce::String& id, float value);
    void spreadMonoInput (juce::AudioBuffer<float>& buffer) const noexcept;
    void bindEngine (TrellaDSP& engine);
    void forwardChangeGesture (int index, bool starting);

    /** Runs a user's action on the setting as one undo step. */
    template <typename Action>
    void editAsOneStep (Action&& action);
    /** Sets every parameter whose value differs, each as an edit the host hears with its gestures. */
    void applyAsEdit (const Values& values);
    /** Restores a snapshot: the parameters that differ between `from` and `target` as edits. */
    void restore (const SettingSnapshot& target, const SettingSnapshot& from);
    void applyHostProgram (int index, const Values& values);
    void stepThroughHistory (bool forward);
    void writeInactiveSlot (juce::XmlElement& document) const;
    void readSlots (const juce::XmlElement& document);

    mutable std::mutex engineChangedLock; // guards onEngineChanged between the message and the prepare thread
    std::function<void()> onEngineChanged;
    double lastSampleRate = 44100.0;
    int lastBlockSize = 256;
    std::array<KroParameter*, TrellaDSP::numParameters> parameters{};
    std::array<int, TrellaDSP::numParameters> openHostGestures{};  // message thread
    std::array<float, TrellaDSP::numParameters> valuesTakenOver{}; // loaded into the newest engine
    juce::AudioBuffer<float> silentBuffer;
    UpdateChecker updateChecker;

    // The two settings and the undo history. The lock is never taken on the audio thread: hosts may
    // save and restore state on threads of their own while the window edits.
    mutable std::mutex settingLock;
    std::array<PresetSlot, 2> slots{}; // the active slot's values are the parameters' own
    int activeSlot = 0;
    EditHistory history;
    int openUserGestures = 0;          // message thread
    SettingSnapshot beforeUserGesture; // message thread
    std::atomic<int> currentProgram{ 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroTrellaAudioProcessor)
};
