// Cost of the control panel's 25 Hz tick on the message thread: the idle poll (one copy and one
// byte comparison of the engine's parameter record), the poll with the meter feed (five meters
// and five readouts), and a tick that finds the record changed and brings every control to it.
// Run: build/bench/KroTrellaBench --benchmark_filter=Panel

#include "engine/TrellaDSP.h"
#include "ui/EQKnobPanel.h"

#include <benchmark/benchmark.h>

namespace
{
    /** A release on the freeze button, as a click leaves it. */
    void freezeMeters (EQKnobPanel& panel)
    {
        auto& button = *panel.btnFreeze;
        const auto now = juce::Time::getCurrentTime();
        const juce::MouseEvent release (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f,
                                        0.0f, 0.0f, &button, &button, now, {}, now, 1, false);
        button.mouseUp (release);
    }

    void PanelTickIdleFrozen (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        EQKnobPanel panel (800, 260, &engine);
        freezeMeters (panel);

        for (auto _ : state)
            panel.timerCallback();
    }
    BENCHMARK (PanelTickIdleFrozen)->Unit (benchmark::kMicrosecond);

    void PanelTickWithMeterFeed (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        EQKnobPanel panel (800, 260, &engine);
        juce::AudioBuffer<float> block (2, 256);
        block.clear();
        block.setSample (0, 0, 0.5f);

        for (auto _ : state)
        {
            state.PauseTiming();
            engine.Process (block); // the readings move a little between ticks, as with real audio
            state.ResumeTiming();
            panel.timerCallback();
        }
    }
    BENCHMARK (PanelTickWithMeterFeed)->Unit (benchmark::kMicrosecond);

    void PanelTickResyncAllControls (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        EQKnobPanel panel (800, 260, &engine);
        freezeMeters (panel); // leaves the meters out of this figure
        auto flip = false;

        for (auto _ : state)
        {
            state.PauseTiming();
            flip = ! flip;
            engine.setHiPass (flip ? 80.0f : 20.0f);
            engine.setLevel (flip ? -3.0f : 0.0f);
            for (int b = 0; b < 4; ++b)
            {
                engine.setBandFrequency (b, flip ? 700.0f + 100.0f * (float) b : 1000.0f);
                engine.setBandGain (b, flip ? 4.5f : -2.0f);
                engine.setBandQ (b, flip ? 2.0f : 1.0f);
                engine.setBandActive (b, flip);
            }
            state.ResumeTiming();
            panel.timerCallback();
        }
    }
    BENCHMARK (PanelTickResyncAllControls)->Unit (benchmark::kMicrosecond);
} // namespace
