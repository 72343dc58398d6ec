#pragma once

#include "Lv2ControlInputs.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <lv2/ui/ui.h>

#include <array>

/** Tells the host about every edit the user makes in the window, as the VST3 does: a port write
    (write_function) for each value, bracketed by ui:touch begin and end exactly where the
    processor reports the edit's gesture, so the host's controls follow and it can record touch
    and latch automation.

    The end of an edit is passed on once the host has taken the edit's last value (the audio
    thread has seen it on the port), so every value the host hears lies inside the bracket; a
    host that does not run the plug-in gets the end after `endTimeoutMs`. While the edit is open
    the audio thread leaves the port to the window (Lv2ControlInputs::setHeldByWindow).

    Message thread only. Changes that do not come from the window (host values, restores) reach
    no listener of the processor, so nothing is sent back.
*/
class Lv2EditForwarder : private juce::AudioProcessorListener, private juce::Timer
{
public:
    static constexpr int endTimeoutMs = 250;

    Lv2EditForwarder (juce::AudioProcessor& processor, Lv2ControlInputs& controls, LV2UI_Write_Function write,
                      LV2UI_Controller controller, const LV2UI_Touch* touch);
    ~Lv2EditForwarder() override;

private:
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void timerCallback() override;

    void endEdit (int index);
    bool isParameter (int index) const noexcept { return index >= 0 && index < (int) Lv2PortLayout::numControls; }

    juce::AudioProcessor& processor;
    Lv2ControlInputs& controls;
    const LV2UI_Write_Function write;
    const LV2UI_Controller controller;
    const LV2UI_Touch* const touch;

    std::array<float, Lv2PortLayout::numControls> lastWritten{};
    std::array<bool, Lv2PortLayout::numControls> open{};
    std::array<juce::uint32, Lv2PortLayout::numControls> endAskedAt{}; // 0: no end waiting

    JUCE_DECLARE_NON_COPYABLE (Lv2EditForwarder)
};
