// Cost of filling the mini-HTML view, by input size and by how densely the input is tagged, to
// show that the time grows in step with the length of the input.
// Run: build/bench/KroTrellaPagesBench   (the "per_char" counter is the time per input character)

#include "pages/KroHtmlTextEdit.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

namespace
{
    /** Prose with a tag every `charsPerTag` characters on average, `length` characters long. */
    juce::String taggedText (int length, int charsPerTag)
    {
        static const char* const tags[] = {
            "<b>", "</b>", "<br>", "<i>", "</i>", "<font color=\"#ff8000\">", "</font>"
        };
        juce::MemoryOutputStream out;
        juce::Random random (7);
        int written = 0;
        int sinceTag = 0;

        while (written < length)
        {
            if (charsPerTag > 0 && sinceTag >= charsPerTag)
            {
                const juce::String tag (tags[random.nextInt (juce::numElementsInArray (tags))]);
                out << tag;
                written += tag.length();
                sinceTag = 0;
                continue;
            }

            const char c = random.nextInt (6) == 0 ? ' ' : (char) ('a' + random.nextInt (26));
            out.writeByte (c);
            ++written;
            ++sinceTag;
        }

        return out.toString();
    }

    void appendOnce (benchmark::State& state, int charsPerTag)
    {
        const auto length = (int) state.range (0);
        const auto html = taggedText (length, charsPerTag);
        KroHtmlTextEdit view;
        view.setSize (800, 540);

        for (auto _ : state)
        {
            view.clearHtml();
            view.appendHtml (html);
            benchmark::DoNotOptimize (view.getEditor().getTotalNumChars());
        }

        state.counters["per_char"] = benchmark::Counter (
            (double) length, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    }

    void plainText (benchmark::State& state)
    {
        appendOnce (state, 0);
    }
    void tagEvery200Chars (benchmark::State& state)
    {
        appendOnce (state, 200);
    }
    void tagEvery20Chars (benchmark::State& state)
    {
        appendOnce (state, 20);
    }
} // namespace

BENCHMARK (plainText)->RangeMultiplier (4)->Range (16 << 10, 1 << 20)->Unit (benchmark::kMillisecond);
BENCHMARK (tagEvery200Chars)->RangeMultiplier (4)->Range (16 << 10, 1 << 20)->Unit (benchmark::kMillisecond);
BENCHMARK (tagEvery20Chars)->RangeMultiplier (4)->Range (16 << 10, 1 << 20)->Unit (benchmark::kMillisecond);

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
