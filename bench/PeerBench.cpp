// The equaliser as a host sees it, next to the best open-source peer: our built LV2 and LSP's
// "Parametric Equalizer x16 Stereo" (IIR mode) hosted through JUCE's LV2 host in the same run, with
// the same six filters, on the same 44.1 kHz stereo pink noise in 512-frame blocks.
// Run: build/bench/KroTrellaPeerBench   (figures are nanoseconds per stereo sample pair; the last
// line gives the ratio of the medians, ours over the peer's)
// For instruction counts, `--blocks=ours` or `--blocks=peer` processes exactly 2000 blocks and quits:
//   valgrind --tool=callgrind --collect-atstart=no \
//     --toggle-collect='juce::lv2_host::LV2AudioPluginInstance::processBlockImpl(juce::AudioBuffer<float>&,
//     juce::MidiBuffer&)' \ build/bench/KroTrellaPeerBench_artefacts/Release/KroTrellaPeerBench --blocks=ours

#include "PinkNoise.h"
#include "state/TrellaParams.h"

#include <benchmark/benchmark.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <map>

namespace
{
    constexpr double sampleRate = 44100.0;
    constexpr int blockSize = 512;
    constexpr const char* peerUri = "http://lsp-plug.in/plugins/lv2/para_equalizer_x16_stereo";

    /** Ten seconds of stereo pink noise (Paul Kellet's filter over seeded white noise), -12 dBFS peak-ish. */
    const juce::AudioBuffer<float>& pinkNoise()
    {
        static const auto noise = []
        {
            juce::AudioBuffer<float> buffer (2, 441000);
            juce::Random random (42);
            for (int c = 0; c < 2; ++c)
            {
                PinkNoise filter;
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample (c, i, filter.next (random));
            }
            return buffer;
        }();
        return noise;
    }

    std::unique_ptr<juce::LV2PluginFormat> format; // made in main, gone before JUCE shuts down

    juce::LV2PluginFormat& lv2Format()
    {
        if (format == nullptr)
        {
            format = std::make_unique<juce::LV2PluginFormat>();
            // Our bundle from the build, the peer from the system's LV2 folder.
            const auto ours = juce::File (KRO_LV2_DIR).getParentDirectory().getFullPathName();
            format->searchPathsForPlugins (juce::FileSearchPath (ours + ";/usr/lib/lv2"), false, false);
        }
        return *format;
    }

    std::unique_ptr<juce::AudioPluginInstance> load (const juce::String& uri)
    {
        juce::OwnedArray<juce::PluginDescription> types;
        lv2Format().findAllTypesForFile (types, uri);
        if (types.isEmpty())
            return nullptr;

        juce::String error;
        auto instance = lv2Format().createInstanceFromDescription (*types[0], sampleRate, blockSize, error);
        if (instance != nullptr)
        {
            instance->enableAllBuses();
            instance->prepareToPlay (sampleRate, blockSize);
        }
        return instance;
    }

    /** Sets a parameter by its name, from a value in the parameter's own units or a choice's label. */
    bool set (juce::AudioPluginInstance& plugin, const juce::String& name, const juce::String& value)
    {
        for (auto* parameter : plugin.getParameters())
            if (parameter->getName (200) == name)
            {
                parameter->setValueNotifyingHost (parameter->getValueForText (value));
                return true;
            }
        return false;
    }

    /** High-pass 40 Hz, low shelf 120 Hz +3 dB, peaks 1 kHz -4 dB and 4.2 kHz +2.5 dB, high shelf
        8.5 kHz +1.5 dB, low-pass 16 kHz, output -1.5 dB; preamp "Neutral", meters and analyser feed on.
    */
    bool configureOurs (juce::AudioPluginInstance& plugin)
    {
        // Our ports speak the parameters' units, and the choices by their labels.
        bool ok = set (plugin, "Active", "1") && set (plugin, "HiPass Freq", "40") &&
                  set (plugin, "LoPass Freq", "16000") && set (plugin, "Gain", "-1.5") &&
                  set (plugin, "Band 1 Type", "Lo-Shelf") && set (plugin, "Band 4 Type", "Hi-Shelf") &&
                  set (plugin, "Preamp Type", "Neutral");
        const double frequencies[] = { 120.0, 1000.0, 4200.0, 8500.0 }, gains[] = { 3.0, -4.0, 2.5, 1.5 };
        for (int b = 0; b < 4; ++b)
        {
            const auto band = "Band " + juce::String (b + 1);
            ok = ok && set (plugin, band + " Active", "1") &&
                 set (plugin, band + " Freq", juce::String (frequencies[b])) &&
                 set (plugin, band + " Gain", juce::String (gains[b])) && set (plugin, band + " Q", "1");
        }
        return ok;
    }

    bool configurePeer (juce::AudioPluginInstance& plugin)
    {
        struct Filter
        {
            const char* type;
            double frequency, gainDb, q;
        };
        const Filter filters[] = { { "Hi-pass", 40.0, 0.0, 0.5 },    { "Lo-shelf", 120.0, 3.0, 1.0 },
                                   { "Bell", 1000.0, -4.0, 1.0 },    { "Bell", 4200.0, 2.5, 1.0 },
                                   { "Hi-shelf", 8500.0, 1.5, 1.0 }, { "Lo-pass", 16000.0, 0.0, 0.5 } };
        bool ok = set (plugin, "Equalizer mode", "IIR") &&
                  set (plugin, "Output gain", juce::String (juce::Decibels::decibelsToGain (-1.5)));
        for (int f = 0; f < 6; ++f)
        {
            const auto n = " " + juce::String (f);
            ok = ok && set (plugin, "Filter type" + n, filters[f].type) && set (plugin, "Filter slope" + n, "x1") &&
                 set (plugin, "Frequency" + n, juce::String (filters[f].frequency)) &&
                 set (plugin, "Gain" + n, juce::String (juce::Decibels::decibelsToGain (filters[f].gainDb))) &&
                 set (plugin, "Quality factor" + n, juce::String (filters[f].q));
        }
        return ok;
    }

    constexpr int countedBlocks = 2000;

    /** Processes `countedBlocks` blocks of the noise, for a run under callgrind. */
    int processCountedBlocks (bool ours)
    {
        auto plugin = load (ours ? KRO_LV2_URI : peerUri);
        if (plugin == nullptr || ! (ours ? configureOurs (*plugin) : configurePeer (*plugin)))
            return 1;

        const auto& noise = pinkNoise();
        juce::AudioBuffer<float> buffer (juce::jmax (2, plugin->getTotalNumInputChannels()), blockSize);
        juce::MidiBuffer midi;
        for (int block = 0; block < countedBlocks; ++block)
        {
            for (int c = 0; c < 2; ++c)
                buffer.copyFrom (c, 0, noise, c, block * blockSize, blockSize);
            plugin->processBlock (buffer, midi);
        }
        std::printf ("%d blocks of %d pairs\n", countedBlocks, blockSize);
        return 0;
    }

    void process (benchmark::State& state, juce::AudioPluginInstance& plugin)
    {
        const auto& noise = pinkNoise();
        const int channels = juce::jmax (2, plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, blockSize);
        buffer.clear();
        juce::MidiBuffer midi;
        int position = 0;

        // Let parameter changes settle before measuring.
        for (int i = 0; i < 100; ++i)
            plugin.processBlock (buffer, midi);

        for (auto _ : state)
        {
            for (int c = 0; c < 2; ++c)
                buffer.copyFrom (c, 0, noise, c, position, blockSize);
            position = (position + blockSize) % (noise.getNumSamples() - blockSize);
            plugin.processBlock (buffer, midi);
            benchmark::ClobberMemory();
        }

        state.counters["time_per_pair"] = benchmark::Counter (
            (double) blockSize, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    }

    void Lv2Ours (benchmark::State& state)
    {
        auto plugin = load (KRO_LV2_URI);
        if (plugin == nullptr || ! configureOurs (*plugin))
            return state.SkipWithError ("our LV2 bundle was not found or has other parameters");
        process (state, *plugin);
    }

    void Lv2Peer (benchmark::State& state)
    {
        auto plugin = load (peerUri);
        if (plugin == nullptr || ! configurePeer (*plugin))
            return state.SkipWithError ("the peer is not installed (Debian package lsp-plugins-lv2)");
        process (state, *plugin);
    }

    // Interleaved, so that the load other programs put on the machine falls on both alike.
    BENCHMARK (Lv2Ours)->Repetitions (5)->ReportAggregatesOnly (true);
    BENCHMARK (Lv2Peer)->Repetitions (5)->ReportAggregatesOnly (true);

    /** The console report, plus the ratio of the two medians at the end. */
    class RatioReporter : public benchmark::ConsoleReporter
    {
    public:
        void ReportRuns (const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns (runs);
            for (const auto& run : runs)
                if (run.aggregate_name == "median")
                    medians[run.run_name.function_name] = run.GetAdjustedCPUTime() / blockSize;
        }

        void Finalize() override
        {
            ConsoleReporter::Finalize();
            if (medians.count ("Lv2Ours") != 0 && medians.count ("Lv2Peer") != 0)
                std::printf ("ours %.2f ns per pair, peer %.2f ns per pair: ratio %.3f\n", medians["Lv2Ours"],
                             medians["Lv2Peer"], medians["Lv2Ours"] / medians["Lv2Peer"]);
        }

    private:
        std::map<std::string, double> medians;
    };
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juceRunning;
    int result = 0;

    if (argc > 1 && juce::String (argv[1]).startsWith ("--blocks="))
    {
        result = processCountedBlocks (juce::String (argv[1]).endsWith ("ours"));
    }
    else
    {
        benchmark::Initialize (&argc, argv);
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks (&reporter);
        benchmark::Shutdown();
    }

    format.reset();
    return result;
}
