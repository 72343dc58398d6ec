#include "CrashChild.h"

#include "processor/PluginProcessor.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

namespace
{
    bool wrapperTypeFromName (const char* name, juce::AudioProcessor::WrapperType& type)
    {
        const struct
        {
            const char* name;
            juce::AudioProcessor::WrapperType type;
        } types[] = { { "standalone", juce::AudioProcessor::wrapperType_Standalone },
                      { "vst3", juce::AudioProcessor::wrapperType_VST3 },
                      { "lv2", juce::AudioProcessor::wrapperType_LV2 },
                      { "undefined", juce::AudioProcessor::wrapperType_Undefined } };

        for (const auto& entry : types)
            if (std::strcmp (entry.name, name) == 0)
                return (type = entry.type), true;

        return false;
    }

    [[noreturn]] void crash (const char* signalName)
    {
        if (std::strcmp (signalName, "SIGABRT") == 0)
            std::abort();

        // A real invalid write, as a faulty pointer would make it.
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
        std::_Exit (97); // not reached
    }
} // namespace

int crash_child::run (int argc, char** argv)
{
    juce::AudioProcessor::WrapperType type;
    if (argc < 4 || ! wrapperTypeFromName (argv[2], type))
        return 2;

    // A child without a crash handler dies of the signal itself: it must leave no core file behind.
    const rlimit noCore{ 0, 0 };
    setrlimit (RLIMIT_CORE, &noCore);

    const juce::ScopedJuceInitialiser_GUI juce;
    juce::AudioProcessor::setTypeOfNextNewPlugin (type);
    const auto processor = std::make_unique<KroTrellaAudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    std::printf ("automatic-checks=%d\n", processor->getUpdateChecker().areAutomaticChecksEnabled() ? 1 : 0);
    std::fflush (stdout);

    crash (argv[3]);
}
