// Cost of importing equaliser files: fitting the four bands to a ten-filter headphone correction
// (the file the import tests use), and reading a file of 10 000 lines.
// Run: build/bench/KroTrellaBench --benchmark_filter=Equaliser

#include "state/EqualiserImport.h"

#include <benchmark/benchmark.h>

namespace
{
    void EqualiserFitTenFilters (benchmark::State& state)
    {
        const auto text =
            juce::File (KRO_STATE_TEST_FILES).getChildFile ("headphone-correction-10.txt").loadFileAsString();
        if (! EqualiserImport::fromText (text).isUsable())
            return state.SkipWithError ("the ten-filter file is missing");

        for (auto _ : state)
            benchmark::DoNotOptimize (EqualiserImport::fromText (text));
    }
    BENCHMARK (EqualiserFitTenFilters)->Unit (benchmark::kMillisecond);

    void EqualiserReadTenThousandLines (benchmark::State& state)
    {
        juce::MemoryOutputStream text;
        for (int line = 1; line <= 10000; ++line)
            text << (line % 2 == 0 ? "Filter: ON PK Fc 1000 Hz Gain 0,5 dB Q 1.41\n" : "not an equaliser line\n");
        const auto content = text.toString();

        for (auto _ : state)
            benchmark::DoNotOptimize (EqualiserText::read (content));
    }
    BENCHMARK (EqualiserReadTenThousandLines)->Unit (benchmark::kMillisecond);
} // namespace
