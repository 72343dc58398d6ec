#include "PluginProcessor.h"
#include "engine/ValueLaws.h"

#include "services/CrashLog.h"
#include "services/KroDataFolder.h"
#include "state/FactoryPresets.h"
#include "state/ParameterText.h"
#include "state/PresetDocument.h"
#include "state/PresetLibrary.h"
#include "text/GuardedXml.h"

#include <optional>

static_assert (numTrellaParams == (size_t) TrellaDSP::numParameters, "one host parameter per engine parameter");

//==============================================================================
KroTrellaAudioProcessor::KroParameter::KroParameter (int index)
    : juce::AudioProcessorParameterWithID (juce::ParameterID{ TrellaParams[(size_t) index].id, 1 },
                                           TrellaParams[(size_t) index].name)
    , steps (TrellaParams[(size_t) index].steps)
    , tableIndex (index)
    , value (ValueLaws::normalisedValueOf (TrellaDSP::DefaultParameters, index))
    , defaultValue (value.load())
{
}

void KroTrellaAudioProcessor::KroParameter::setValue (float newValue)
{
    if (! std::isfinite (newValue))
        return;

    value.store (newValue);

    if (onValueChanged)
        onValueChanged (paramID, newValue);
}

juce::String KroTrellaAudioProcessor::KroParameter::getName (int) const
{
    return name;
}

juce::String KroTrellaAudioProcessor::KroParameter::getText (float normalisedValue, int maximumStringLength) const
{
    const auto text = ParameterText::format (tableIndex, normalisedValue);
    return maximumStringLength > 0 ? text.substring (0, maximumStringLength) : text;
}

float KroTrellaAudioProcessor::KroParameter::getValueForText (const juce::String& text) const
{
    return ParameterText::parse (tableIndex, text).value_or (getValue());
}

//==============================================================================
KroTrellaAudioProcessor::KroTrellaAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
    // The crash report (CrashLog.txt in the data folder), in the standalone application only:
    // inside a host, a plug-in must leave crash handling to the host.
    if (wrapperType == wrapperType_Standalone)
        CrashLog::install (KroDataFolder::get());

    // Network results pop up only in the application of our own, never inside a host.
    updateChecker.setAutomaticChecksEnabled (wrapperType == wrapperType_Standalone);

    ResetDSPclass ((float) lastSampleRate, lastBlockSize);

    for (size_t i = 0; i < TrellaParams.size(); ++i)
    {
        auto parameter = std::make_unique<KroParameter> ((int) i);
        parameter->onValueChanged = [this] (juce::String id, float value) { routeParameterChange (id, value); };
        parameters[i] = parameter.get();
        addParameter (parameter.release());
    }

    // The engine's own initial setting flows back into the parameters through the setters.
    auto* engine = dsp.get();
    engine->notifyHost = true;
    engine->LoadDefaults();
    engine->notifyHost = true;

    // A and B both start as the "Default" preset.
    const auto initial = getCurrentValues();
    slots[0] = slots[1] = PresetSlot{ initial, FactoryPresets::name (0), initial };
}

KroTrellaAudioProcessor::~KroTrellaAudioProcessor()
{
    dsp.clear();
}

void KroTrellaAudioProcessor::ResetDSPclass (float sampleRate, int samplesPerBlock)
{
    auto engine = std::make_unique<TrellaDSP> ((double) sampleRate, samplesPerBlock);

    // The new engine starts where the current one stands before any other thread can see it: with
    // every parameter value, then with what the interface set that no parameter holds (solo, which
    // a band type ends, the analyser feed, the meters' fall time), with or without an open window.
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        if (parameters[i] != nullptr)
        {
            valuesTakenOver[i] = parameters[i]->getValue();
            engine->setParameter ((int) i, valuesTakenOver[i]);
        }
    }

    if (auto* previous = dsp.get())
        engine->takeOverStateFrom (*previous);

    bindEngine (*engine);
    dsp.replace (std::move (engine));
}

void KroTrellaAudioProcessor::bindEngine (TrellaDSP& engine)
{
    engine.onParameterChanged = [this] (int index, float normalised)
    {
        if (index >= 0 && index < (int) parameters.size() && parameters[(size_t) index] != nullptr)
            parameters[(size_t) index]->setValueNotifyingHost (normalised);
    };

    engine.onChangeGesture = [this] (int index, bool starting) { forwardChangeGesture (index, starting); };
}

void KroTrellaAudioProcessor::forwardChangeGesture (int index, bool starting)
{
    if (index < 0 || index >= (int) parameters.size() || parameters[(size_t) index] == nullptr)
        return;

    // While the interface moves from a replaced engine to its successor, both may hold an edit of
    // the same parameter for a moment; the host hears one edit, begun once and ended once.
    auto& open = openHostGestures[(size_t) index];
    auto& parameter = *parameters[(size_t) index];

    if (starting)
    {
        // The user's edits that overlap in time (a dot drag moves frequency and gain) are one step.
        if (openUserGestures++ == 0)
            beforeUserGesture = takeSnapshot();

        if (open++ == 0)
            parameter.beginChangeGesture();
    }
    else
    {
        if (open > 0 && --open == 0)
            parameter.endChangeGesture();

        if (openUserGestures > 0 && --openUserGestures == 0)
        {
            const auto after = takeSnapshot();
            const std::scoped_lock lock (settingLock);
            history.record (beforeUserGesture, after);
        }
    }
}

void KroTrellaAudioProcessor::setOnEngineChanged (std::function<void()> callback)
{
    const std::scoped_lock lock (engineChangedLock);
    onEngineChanged = std::move (callback);
}

bool KroTrellaAudioProcessor::hasOnEngineChanged() const
{
    const std::scoped_lock lock (engineChangedLock);
    return onEngineChanged != nullptr;
}

void KroTrellaAudioProcessor::routeParameterChange (const juce::String& id, float value)
{
    const int index = findTrellaParamIndex (id.toRawUTF8());

    if (const EngineSlot::Reader engine (dsp); engine)
        engine->setParameter (index, value);
}

//==============================================================================
void KroTrellaAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    const int channels = juce::jmax (2, getTotalNumInputChannels(), getTotalNumOutputChannels());
    silentBuffer.setSize (channels, juce::jmax (1, samplesPerBlock), false, true, false);

    if (sampleRate == lastSampleRate && samplesPerBlock == lastBlockSize)
        return;

    lastSampleRate = sampleRate;
    lastBlockSize = samplesPerBlock;
    ResetDSPclass ((float) sampleRate, samplesPerBlock);

    {
        const std::scoped_lock lock (engineChangedLock);
        if (onEngineChanged)
            onEngineChanged();
    }

    dsp.disposeRetired();

    // A value a host set while the new engine was being built reached the old one; it follows here.
    // Only such values are pushed again (a band type would end solo), and into the engine only: the
    // host already knows them, and announcing them again from inside the host's own activation
    // makes hosts record edits the user never made.
    for (size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i]->getValue() != valuesTakenOver[i])
            routeParameterChange (parameters[i]->paramID, parameters[i]->getValue());
}

void KroTrellaAudioProcessor::releaseResources()
{
    reset();
}

void KroTrellaAudioProcessor::reset()
{
    if (const EngineSlot::Reader engine (dsp); engine)
        engine->clearAllStates();
}

bool KroTrellaAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    if (layouts.inputBuses.size() != 1 || layouts.outputBuses.size() != 1)
        return false;

    const auto input = layouts.getMainInputChannelSet();
    const auto output = layouts.getMainOutputChannelSet();
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    return (input == stereo && output == stereo) || (input == mono && output == mono) ||
           (input == mono && output == stereo);
}

void KroTrellaAudioProcessor::spreadMonoInput (juce::AudioBuffer<float>& buffer) const noexcept
{
    // With one input and two outputs, the input feeds both sides.
    if (getTotalNumInputChannels() == 1 && getTotalNumOutputChannels() == 2 && buffer.getNumChannels() >= 2)
        buffer.copyFrom (1, 0, buffer, 0, 0, buffer.getNumSamples());
}

void KroTrellaAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;

    spreadMonoInput (buffer);

    if (const EngineSlot::Reader engine (dsp); engine)
        engine->Process (buffer);
}

void KroTrellaAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    // The host's audio passes untouched (a mono input on both sides of a stereo output); the engine
    // runs on silence so that its filters, meters and analyser settle as they would with no signal.
    // The silent buffer is made in prepareToPlay.
    const juce::ScopedNoDenormals noDenormals;
    spreadMonoInput (buffer);

    const int numChannels = juce::jmin (buffer.getNumChannels(), silentBuffer.getNumChannels());
    const int chunkSize = silentBuffer.getNumSamples();

    if (numChannels <= 0 || chunkSize <= 0)
        return;

    const EngineSlot::Reader engine (dsp);
    if (! engine)
        return;

    for (int done = 0; done < buffer.getNumSamples(); done += chunkSize)
    {
        const int length = juce::jmin (chunkSize, buffer.getNumSamples() - done);
        silentBuffer.clear();
        juce::AudioBuffer<float> silence (silentBuffer.getArrayOfWritePointers(), numChannels, length);
        engine->Process (silence);
    }
}

int KroTrellaAudioProcessor::getNumPrograms()
{
    return FactoryPresets::count();
}

const juce::String KroTrellaAudioProcessor::getProgramName (int index)
{
    return FactoryPresets::name (index);
}

void KroTrellaAudioProcessor::setCurrentProgram (int index)
{
    if (index < 0 || index >= FactoryPresets::count())
        return;

    const auto values = FactoryPresets::values (index);
    applyHostProgram (index, values);
    currentProgram.store (index);

    const std::scoped_lock lock (settingLock);
    slots[(size_t) activeSlot].presetName = FactoryPresets::name (index);
    slots[(size_t) activeSlot].presetValues = values;
}

void KroTrellaAudioProcessor::applyHostProgram (int index, const Values& values)
{
    // Program 0 is the engine's own initial setting, applied through its setters as it always was.
    if (index == 0)
    {
        if (const EngineSlot::Reader engine (dsp); engine)
        {
            engine->notifyHost = true;
            engine->LoadDefaults();
            engine->notifyHost = true;
        }
        return;
    }

    for (size_t i = 0; i < parameters.size(); ++i)
        if (parameters[i]->getValue() != values[i])
            parameters[i]->setValueNotifyingHost (values[i]);
}

//==============================================================================
juce::File KroTrellaAudioProcessor::getUserPresetFolder()
{
    return KroDataFolder::get().getChildFile (PresetLibrary::folderName);
}

KroTrellaAudioProcessor::Values KroTrellaAudioProcessor::getCurrentValues() const
{
    Values values{};
    for (size_t i = 0; i < parameters.size(); ++i)
        values[i] = parameters[i]->getValue();
    return values;
}

SettingSnapshot KroTrellaAudioProcessor::takeSnapshot() const
{
    const auto live = getCurrentValues();
    const std::scoped_lock lock (settingLock);
    SettingSnapshot snapshot{ slots, activeSlot };
    snapshot.slots[(size_t) activeSlot].values = live;
    return snapshot;
}

juce::String KroTrellaAudioProcessor::getPresetName() const
{
    const std::scoped_lock lock (settingLock);
    return slots[(size_t) activeSlot].presetName;
}

bool KroTrellaAudioProcessor::differsFromPreset() const
{
    const auto live = getCurrentValues();
    const std::scoped_lock lock (settingLock);
    const auto& slot = slots[(size_t) activeSlot];
    return slot.presetName.isNotEmpty() && live != slot.presetValues;
}

int KroTrellaAudioProcessor::getActiveSlot() const
{
    const std::scoped_lock lock (settingLock);
    return activeSlot;
}

bool KroTrellaAudioProcessor::canUndo() const
{
    const std::scoped_lock lock (settingLock);
    return history.canUndo();
}

bool KroTrellaAudioProcessor::canRedo() const
{
    const std::scoped_lock lock (settingLock);
    return history.canRedo();
}

void KroTrellaAudioProcessor::applyAsEdit (const Values& values)
{
    for (size_t i = 0; i < parameters.size(); ++i)
    {
        auto& parameter = *parameters[i];
        if (parameter.getValue() == values[i])
            continue;

        parameter.beginChangeGesture();
        parameter.setValueNotifyingHost (values[i]);
        parameter.endChangeGesture();
    }
}

template <typename Action>
void KroTrellaAudioProcessor::editAsOneStep (Action&& action)
{
    const auto before = takeSnapshot();
    action();
    const auto after = takeSnapshot();

    const std::scoped_lock lock (settingLock);
    history.record (before, after);
}

void KroTrellaAudioProcessor::loadPreset (const juce::String& name, const Values& values)
{
    editAsOneStep (
        [&]
        {
            applyAsEdit (values);
            const std::scoped_lock lock (settingLock);
            slots[(size_t) activeSlot].presetName = name;
            slots[(size_t) activeSlot].presetValues = values;
        });

    // A factory preset is also the host's current program.
    if (const auto factory = FactoryPresets::find (name); factory && FactoryPresets::values (*factory) == values)
    {
        currentProgram.store (*factory);
        updateHostDisplay (ChangeDetails().withProgramChanged (true));
    }
}

void KroTrellaAudioProcessor::setPresetName (const juce::String& name)
{
    const auto live = getCurrentValues();
    const std::scoped_lock lock (settingLock);
    slots[(size_t) activeSlot].presetName = name;
    slots[(size_t) activeSlot].presetValues = live;
}

void KroTrellaAudioProcessor::switchToSlot (int slot)
{
    if (slot < 0 || slot > 1 || slot == getActiveSlot())
        return;

    editAsOneStep (
        [&]
        {
            const auto live = getCurrentValues();
            Values target{};
            {
                const std::scoped_lock lock (settingLock);
                slots[(size_t) activeSlot].values = live;
                target = slots[(size_t) slot].values;
                activeSlot = slot;
            }
            applyAsEdit (target);
        });
}

void KroTrellaAudioProcessor::copySlot (int from, int to)
{
    if (from < 0 || from > 1 || to < 0 || to > 1 || from == to)
        return;

    editAsOneStep (
        [&]
        {
            auto source = takeSnapshot().slots[(size_t) from];
            bool copiesOntoHeard = false;
            {
                const std::scoped_lock lock (settingLock);
                copiesOntoHeard = to == activeSlot;
                slots[(size_t) to] = source;
            }
            if (copiesOntoHeard)
                applyAsEdit (source.values);
        });
}

void KroTrellaAudioProcessor::restore (const SettingSnapshot& target, const SettingSnapshot& from)
{
    // Only what the step changed goes back, so an automated parameter the step never touched keeps
    // its value.
    auto values = getCurrentValues();
    const auto& wanted = target.active().values;
    const auto& changed = from.active().values;
    for (size_t i = 0; i < values.size(); ++i)
        if (wanted[i] != changed[i])
            values[i] = wanted[i];
    applyAsEdit (values);

    const std::scoped_lock lock (settingLock);
    slots = target.slots;
    activeSlot = target.activeSlot;
}

void KroTrellaAudioProcessor::undo()
{
    stepThroughHistory (false);
}

void KroTrellaAudioProcessor::redo()
{
    stepThroughHistory (true);
}

void KroTrellaAudioProcessor::stepThroughHistory (bool forward)
{
    std::optional<EditHistory::Step> step;
    {
        const std::scoped_lock lock (settingLock);
        if (const auto* next = forward ? history.redo() : history.undo())
            step = *next;
    }

    // The step's parameters are set outside the lock: the host hears them and may call back.
    if (step && forward)
        restore (step->after, step->before);
    else if (step)
        restore (step->before, step->after);
}

namespace
{
    std::atomic<KroTrellaAudioProcessor::EditorFactory> editorFactory{ nullptr };
}

void KroTrellaAudioProcessor::setEditorFactory (EditorFactory factory) noexcept
{
    editorFactory.store (factory);
}

bool KroTrellaAudioProcessor::hasEditor() const
{
    return editorFactory.load() != nullptr;
}

juce::AudioProcessorEditor* KroTrellaAudioProcessor::createEditor()
{
    const auto factory = editorFactory.load();
    return factory != nullptr ? factory (*this) : nullptr;
}

void KroTrellaAudioProcessor::editorClosed()
{
    dsp.detachInterface();
}

//==============================================================================
void KroTrellaAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto document = PresetDocument::create (getCurrentValues());
    writeInactiveSlot (*document);

    destData.reset();
    copyXmlToBinary (*document, destData);
}

void KroTrellaAudioProcessor::writeInactiveSlot (juce::XmlElement& document) const
{
    // The inactive setting goes into an element of its own, which readers of the parameters skip.
    const std::scoped_lock lock (settingLock);
    const auto& inactive = slots[(size_t) (1 - activeSlot)];

    document.setAttribute (presetAttribute, slots[(size_t) activeSlot].presetName);
    document.setAttribute (slotAttribute, activeSlot == 0 ? "A" : "B");

    auto element = PresetDocument::create (inactive.values);
    element->setTagName (inactiveTag);
    element->setAttribute (presetAttribute, inactive.presetName);
    document.addChildElement (element.release());
}

void KroTrellaAudioProcessor::readSlots (const juce::XmlElement& document)
{
    const auto presetValuesFor = [] (const juce::String& name, const Values& values)
    {
        const auto factory = FactoryPresets::find (name);
        return factory ? FactoryPresets::values (*factory) : values;
    };

    const auto live = getCurrentValues();
    const auto name = document.getStringAttribute (presetAttribute);
    const auto* inactiveElement = document.getChildByName (inactiveTag);

    const std::scoped_lock lock (settingLock);

    // A document without the inactive setting (written before A and B existed) loads into A, and
    // B starts as the same setting.
    activeSlot = inactiveElement != nullptr && document.getStringAttribute (slotAttribute) == "B" ? 1 : 0;
    auto& active = slots[(size_t) activeSlot];
    active = { live, name, presetValuesFor (name, live) };

    auto& inactive = slots[(size_t) (1 - activeSlot)];
    if (inactiveElement == nullptr)
    {
        inactive = active;
        return;
    }

    auto copy = *inactiveElement;
    copy.setTagName (PresetDocument::rootTag);
    const auto values = PresetDocument::read (copy, FactoryPresets::initialValues());
    const auto inactiveName = inactiveElement->getStringAttribute (presetAttribute);
    inactive = { values, inactiveName, presetValuesFor (inactiveName, values) };
}

void KroTrellaAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Sessions and preset files come from outside: the document is read only if it is safe to parse.
    const auto document = GuardedXml::parseBinary (data, sizeInBytes);
    if (document == nullptr)
        return;

    PresetDocument::apply (*document,
                           [this] (int index, float value) { parameters[(size_t) index]->setValue (value); });

    if (document->hasTagName (PresetDocument::rootTag))
        readSlots (*document);

    // Nobody is told: hosts take a restore's values from the plug-in themselves (the VST3 host
    // reads them back, the LV2 host restores its ports), and would record them as edits.
}
