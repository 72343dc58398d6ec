// Cost of painting the main screen in software: the whole screen (a window opened or uncovered)
// and the curve area alone (what the analyser repaints 25 times a second), at the natural scale
// and at the largest window size, with a live spectrum in the analyser.
// Run: build/bench/KroTrellaBench --benchmark_filter=MainScreen

#include "engine/TrellaDSP.h"
#include "ui/TrellaUI2.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{
    /** A data folder of the benchmark's own, so that no real settings file is read or written. */
    struct TemporaryDataFolder
    {
        juce::File folder =
            juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("kro-bench-config", {});

        const char* const previous = std::getenv ("XDG_CONFIG_HOME");
        const juce::String previousValue{ previous != nullptr ? previous : "" };

        TemporaryDataFolder()
        {
            folder.createDirectory();
            setenv ("XDG_CONFIG_HOME", folder.getFullPathName().toRawUTF8(), 1);
        }

        ~TemporaryDataFolder()
        {
            if (previous != nullptr)
                setenv ("XDG_CONFIG_HOME", previousValue.toRawUTF8(), 1);
            else
                unsetenv ("XDG_CONFIG_HOME");

            folder.deleteRecursively();
        }
    };

    void feedNoise (TrellaDSP& engine)
    {
        juce::Random random (3);
        juce::AudioBuffer<float> block (2, engine.getBlockSize());

        for (int done = 0; done < 8 * Analyzer::fftSize; done += block.getNumSamples())
        {
            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < block.getNumSamples(); ++i)
                    block.setSample (channel, i, random.nextFloat() * 0.5f - 0.25f);

            engine.Process (block);
            engine.makeAnalyzer().update();
        }
    }

    void paintMainScreen (benchmark::State& state, juce::Rectangle<int> area)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        const TemporaryDataFolder dataFolder;
        TrellaDSP engine (48000.0, 256);
        TrellaUI2 screen (800, 580, &engine);
        screen.SetGlobalOption ("fill_fft", 1);
        feedNoise (engine);

        const auto scale = (float) state.range (0) / 100.0f;
        juce::Image image (juce::Image::ARGB, (int) (800 * scale), (int) (580 * scale), true);

        for (auto _ : state)
        {
            juce::Graphics g (image);
            g.addTransform (juce::AffineTransform::scale (scale));
            g.reduceClipRegion (area);
            screen.paintEntireComponent (g, false);
        }
    }

    void MainScreenPaintWhole (benchmark::State& state)
    {
        paintMainScreen (state, { 0, 0, 800, 580 });
    }
    BENCHMARK (MainScreenPaintWhole)->ArgName ("scalePercent")->Arg (100)->Arg (150)->Unit (benchmark::kMillisecond);

    void MainScreenPaintCurveArea (benchmark::State& state)
    {
        paintMainScreen (state, { 0, 0, 800, 300 });
    }
    BENCHMARK (MainScreenPaintCurveArea)
        ->ArgName ("scalePercent")
        ->Arg (100)
        ->Arg (150)
        ->Unit (benchmark::kMillisecond);
} // namespace
