// The audio thread never allocates: processBlock is run with every allocation counted, across
// parameter changes that arrive from another thread, at several formats.

#include "AllocationCounter.h"
#include "PluginProcessor.h"
#include "support/Signals.h"

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
    TEST (Realtime, PreampChoicesAndResetsOnTheAudioThreadDoNotAllocate)
    {
        // The convolution prepares each response on its own thread; the audio thread only queues it.
        // Hosts may also reset the processor from the audio thread.
        Processor p;
        p.prepareToPlay (44100.0, 256);
        juce::Random random (4);
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        std::size_t allocationsSeen = 0;

        for (int block = 0; block < 400; ++block)
        {
            signals::fillNoise (buffer, random);
            const allocations::Scope scope;
            if (block % 20 == 0)
                p.getParameters()[22]->setValue ((float) ((block / 20) % 8) * 0.125f);
            if (block % 7 == 3)
                p.reset();
            p.processBlock (buffer, midi);
            allocationsSeen += scope.count();
            if (block % 10 == 0)
                juce::Thread::sleep (2); // let the convolution's thread build and hand over responses
        }
        EXPECT_EQ (allocationsSeen, 0u);
    }
} // namespace
