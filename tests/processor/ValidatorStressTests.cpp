// What plug-in validators do to every plug-in, done here on every build.

#include "plugin/PluginEditor.h"
#include "processor/PluginProcessor.h"
#include "support/MessagePump.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    void processBlocks (Processor& p, double rate, int blockSize, int numBlocks, juce::Random& random)
    {
        juce::MidiBuffer midi;
        juce::AudioBuffer<float> buffer (2, blockSize);
        for (int block = 0; block < numBlocks; ++block)
        {
            // Hosts may send fewer samples than they prepared for.
            const int length = block % 3 == 2 ? juce::jmax (1, blockSize / 3) : blockSize;
            buffer.setSize (2, length, false, false, true);
            signals::fillNoise (buffer, random);
            if (block % 5 == 4)
                p.processBlockBypassed (buffer, midi);
            else
                p.processBlock (buffer, midi);
            ASSERT_TRUE (signals::allFinite (buffer)) << rate << " Hz, block size " << blockSize;
        }
    }

    void randomiseParameters (Processor& p, juce::Random& random)
    {
        for (auto* parameter : p.getParameters())
            parameter->setValue (random.nextFloat());
    }

    TEST (ValidatorStress, CreateAndDestroyColdAndWarm)
    {
        for (int i = 0; i < 5; ++i)
        {
            Processor cold;
        }

        juce::Random random (1);
        for (int i = 0; i < 5; ++i)
        {
            Processor warm;
            warm.prepareToPlay (48000.0, 256);
            processBlocks (warm, 48000.0, 256, 4, random);
            warm.releaseResources();
        }
    }

    TEST (ValidatorStress, EverySampleRateAndBlockSize)
    {
        juce::Random random (2);
        for (const double rate : { 44100.0, 48000.0, 96000.0 })
            for (const int blockSize : { 64, 128, 256, 512, 1024 })
            {
                Processor p;
                p.prepareToPlay (rate, blockSize);
                randomiseParameters (p, random);
                p.getParameters()[0]->setValue (1.0f);
                processBlocks (p, rate, blockSize, 12, random);
                p.releaseResources();

                // A second preparation at another format, as hosts do when settings change.
                p.prepareToPlay (rate == 96000.0 ? 44100.0 : 96000.0, blockSize * 2);
                processBlocks (p, rate, blockSize * 2, 6, random);
            }
    }

    TEST (ValidatorStress, UnusualFormatsStayFinite)
    {
        juce::Random random (3);
        for (const double rate : { 22050.0, 32000.0, 88200.0, 176400.0, 192000.0 })
            for (const int blockSize : { 1, 7, 8192 })
            {
                Processor p;
                p.prepareToPlay (rate, blockSize);
                randomiseParameters (p, random);
                p.getParameters()[0]->setValue (1.0f);
                processBlocks (p, rate, blockSize, blockSize == 1 ? 300 : 4, random);
            }
    }

    TEST (ValidatorStress, SaveFuzzRestoreComesBackExactly)
    {
        juce::Random random (4);
        Processor p;
        p.prepareToPlay (44100.0, 512);
        randomiseParameters (p, random);

        juce::MemoryBlock saved;
        p.getStateInformation (saved);
        std::vector<float> before;
        for (auto* parameter : p.getParameters())
            before.push_back (parameter->getValue());
        const auto engineBefore = p.getEngine()->getParams();

        for (int round = 0; round < 20; ++round)
        {
            randomiseParameters (p, random);
            processBlocks (p, 44100.0, 512, 2, random);
        }

        p.setStateInformation (saved.getData(), (int) saved.getSize());
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ (p.getParameters()[(int) i]->getValue(), before[i]) << i;
        EXPECT_TRUE (p.getEngine()->getParams().sameBytesAs (engineBefore));
    }

    TEST (ValidatorStress, AutomationFromAnotherThreadWhileProcessing)
    {
        Processor p;
        p.prepareToPlay (48000.0, 256);
        p.getParameters()[0]->setValue (1.0f);

        std::atomic<bool> stop{ false };
        std::thread automation (
            [&]
            {
                juce::Random random (5);
                while (! stop)
                {
                    auto* parameter = p.getParameters()[random.nextInt (23)];
                    parameter->setValueNotifyingHost (random.nextFloat());
                }
            });

        juce::Random random (6);
        processBlocks (p, 48000.0, 256, 3000, random);
        stop = true;
        automation.join();
    }

    TEST (ValidatorStress, EditorOpensAndClosesWhileProcessing)
    {
        Processor::setEditorFactory (&KroTrellaAudioProcessorEditor::create);
        Processor p;
        p.prepareToPlay (44100.0, 128);

        std::atomic<bool> stop{ false };
        std::atomic<bool> finite{ true };
        std::thread audio (
            [&]
            {
                juce::Random random (7);
                juce::MidiBuffer midi;
                juce::AudioBuffer<float> buffer (2, 128);
                while (! stop)
                {
                    signals::fillNoise (buffer, random);
                    p.processBlock (buffer, midi);
                    if (! signals::allFinite (buffer))
                        finite = false;
                }
            });

        for (int i = 0; i < 10; ++i)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor (p.createEditorIfNeeded());
            ASSERT_NE (editor, nullptr);
            editor->setVisible (true);
            pumpMessages (30);
        }

        stop = true;
        audio.join();
        EXPECT_TRUE (finite);
    }
} // namespace
