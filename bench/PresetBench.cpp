// Cost of the presets in the window: listing the user's folder (done each time the preset menu
// opens or an arrow steps), and an undo with its host edits.
// Run: build/bench/KroTrellaBench --benchmark_filter=Preset

#include "processor/PluginProcessor.h"
#include "state/FactoryPresets.h"
#include "state/PresetLibrary.h"

#include <benchmark/benchmark.h>

namespace
{
    void PresetFolderScan (benchmark::State& state)
    {
        const auto folder = juce::File::createTempFile ("kro-preset-bench");
        const PresetLibrary library (folder);
        for (int i = 0; i < state.range (0); ++i)
            if (library.save ("Preset " + juce::String (i), FactoryPresets::values (i % FactoryPresets::count()))
                    .isNotEmpty())
                return state.SkipWithError ("cannot write the presets");

        for (auto _ : state)
            benchmark::DoNotOptimize (library.scan());

        folder.deleteRecursively();
    }
    BENCHMARK (PresetFolderScan)->Arg (10)->Arg (100)->Arg (1000)->Unit (benchmark::kMillisecond);

    void PresetLoadAndUndo (benchmark::State& state)
    {
        KroTrellaAudioProcessor processor;
        const auto values = FactoryPresets::values (*FactoryPresets::find ("Podcast Voice"));

        for (auto _ : state)
        {
            processor.loadPreset ("Podcast Voice", values);
            processor.undo();
        }
    }
    BENCHMARK (PresetLoadAndUndo)->Unit (benchmark::kMicrosecond);
} // namespace
