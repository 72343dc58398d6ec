// The audio thread never allocates: processBlock and the LV2 run are run with every allocation
// counted, across parameter changes that arrive from another thread or on the ports, at several
// formats and block lengths.

#include "AllocationCounter.h"
#include "lv2/Lv2TestHost.h"
#include "processor/PluginProcessor.h"
#include "support/Signals.h"

#include "lv2/Lv2PortLayout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    TEST (Realtime, TheCounterSeesAllocations)
    {
        const allocations::Scope scope;
        const auto text = juce::String::repeatedString ("abc", 100);
        EXPECT_EQ (text.length(), 300);
        EXPECT_GE (scope.count(), 1u);
    }

    TEST (Realtime, ProcessBlockDoesNotAllocateWhileParametersChange)
    {
        for (const auto& [rate, blockSize] : { std::pair{ 44100.0, 64 }, { 48000.0, 512 }, { 96000.0, 1024 } })
        {
            Processor p;
            p.prepareToPlay (rate, blockSize);

            std::atomic<bool> stop{ false };
            std::thread automation (
                [&]
                {
                    juce::Random random (1);
                    while (! stop)
                    {
                        auto* parameter = p.getParameters()[random.nextInt (23)];
                        parameter->setValueNotifyingHost (random.nextFloat());
                        p.getParameters()[0]->setValueNotifyingHost (1.0f);
                        std::this_thread::yield();
                    }
                });

            juce::Random random (2);
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;
            std::size_t allocationsSeen = 0;

            for (int block = 0; block < 2000; ++block)
            {
                signals::fillNoise (buffer, random);
                const allocations::Scope scope;
                if (block % 7 == 6)
                    p.processBlockBypassed (buffer, midi);
                else
                    p.processBlock (buffer, midi);
                allocationsSeen += scope.count();
            }

            stop = true;
            automation.join();
            EXPECT_EQ (allocationsSeen, 0u) << rate << " Hz, " << blockSize;
        }
    }

    TEST (Realtime, ParameterChangesOnTheAudioThreadDoNotAllocate)
    {
        // Some hosts deliver automation on the audio thread, right before the block.
        Processor p;
        p.prepareToPlay (48000.0, 256);
        juce::Random random (3);
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;

        const allocations::Scope scope;
        for (int block = 0; block < 500; ++block)
        {
            for (int i = 0; i < 23; ++i)
                p.getParameters()[i]->setValue (random.nextFloat());
            p.processBlock (buffer, midi);
        }
        EXPECT_EQ (scope.count(), 0u);
    }
    TEST (Realtime, PreampSwitchesAndResetsDoNotAllocate)
    {
        // Every choice after every other, at the recorded rate and at a resampled one, with fades
        // that start from "Neutral", from a response and in the middle of the stage's partitions.
        for (const auto& [rate, blockSize] : { std::pair{ 44100.0, 256 }, { 96000.0, 100 } })
        {
            Processor p;
            p.prepareToPlay (rate, blockSize);
            juce::Random random (4);
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;
            std::size_t allocationsSeen = 0;

            for (int block = 0; block < 3000; ++block)
            {
                signals::fillNoise (buffer, random);
                const allocations::Scope scope;
                if (block % 50 == 0)
                    p.getParameters()[22]->setValue ((float) ((block / 50) % 8) * 0.125f);
                if (block % 7 == 3)
                    p.reset(); // hosts may reset the processor from the audio thread
                p.processBlock (buffer, midi);
                allocationsSeen += scope.count();
            }
            EXPECT_EQ (allocationsSeen, 0u) << rate << " Hz";
        }
    }

    TEST (Realtime, TheLv2RunDoesNotAllocateAtAnyBlockLengthWhilePortsChange)
    {
        // A host with a bounded maximum, and one that offers nothing (lv2apply, ffmpeg).
        for (const auto& setup :
             { Lv2TestHost::Setup{ 48000.0, true, 512, std::nullopt, true }, Lv2TestHost::Setup{ 44100.0, false } })
        {
            Lv2TestHost host (setup);
            ASSERT_TRUE (host.isLoaded());
            host.activate();

            constexpr int longest = 10000;
            juce::AudioBuffer<float> input (2, longest), output (2, longest);
            juce::Random random (5);
            signals::fillNoise (input, random);
            host.connectAudio (input.getWritePointer (0), input.getWritePointer (1), output.getWritePointer (0),
                               output.getWritePointer (1));

            const int lengths[] = { 1, 7, 64, 511, 512, 513, 1024, 4096, 8192, longest };
            std::size_t allocationsSeen = 0;
            for (int block = 0; block < 1000; ++block)
            {
                // Automation on the ports, in units anywhere in their ranges.
                const auto& port = Lv2PortLayout::controls()[(size_t) random.nextInt (23)];
                host.setPort (port.symbol.toRawUTF8(),
                              port.minimum + random.nextFloat() * (port.maximum - port.minimum));
                host.setPort ("master_active", 1.0f);

                const allocations::Scope scope;
                host.run ((uint32_t) lengths[block % (int) std::size (lengths)]);
                allocationsSeen += scope.count();
            }
            EXPECT_EQ (allocationsSeen, 0u) << setup.sampleRate << " Hz";
            EXPECT_TRUE (signals::allFinite (output));
        }
    }
} // namespace
