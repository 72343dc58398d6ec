// Hand-overs between threads: one thread hammers parameters and the engine's setters, one
// processes blocks, one rebuilds the engine through prepareToPlay, and the message thread runs its
// loop meanwhile (the analysers' timers run there). Built with ThreadSanitizer as well, where any
// report fails the run.

#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "support/MessagePump.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    TEST (Concurrency, SettersProcessingAndRebuildsRunTogether)
    {
        Processor p;
        p.prepareToPlay (44100.0, 256);
        auto editor = std::make_unique<KroTrellaAudioProcessorEditor> (p);
        editor->setVisible (true);

        std::atomic<bool> stop{ false };
        std::atomic<bool> finite{ true };
        std::atomic<int> blocks{ 0 }, rebuilds{ 0 };

        std::thread setters (
            [&]
            {
                juce::Random random (1);
                while (! stop)
                {
                    const int index = random.nextInt (23);
                    p.getParameters()[index]->setValueNotifyingHost (random.nextFloat());
                    p.getParameters()[0]->setValue (1.0f);
                }
            });

        std::thread audio (
            [&]
            {
                juce::Random random (2);
                juce::MidiBuffer midi;
                juce::AudioBuffer<float> buffer (2, 256);
                while (! stop)
                {
                    signals::fillNoise (buffer, random);
                    p.processBlock (buffer, midi);
                    if (! signals::allFinite (buffer))
                        finite = false;
                    ++blocks;
                }
            });

        std::thread rebuilder (
            [&]
            {
                const double rates[] = { 48000.0, 44100.0, 96000.0 };
                for (int i = 0; ! stop; ++i)
                {
                    p.prepareToPlay (rates[i % 3], 128 << (i % 3));
                    ++rebuilds;
                    std::this_thread::sleep_for (std::chrono::milliseconds (5));
                }
            });

        // Meanwhile the message thread uses the engine the way the interface does.
        // At least 2.5 s, and on a busy machine (a sanitizer build, other jobs) until enough blocks
        // and rebuilds have happened, within a generous deadline.
        const auto start = juce::Time::getMillisecondCounter();
        const auto keepGoing = [&]
        {
            const auto elapsed = juce::Time::getMillisecondCounter() - start;
            return elapsed < 2500 || ((blocks.load() <= 100 || rebuilds.load() <= 10) && elapsed < 60000);
        };
        juce::Random random (3);
        while (keepGoing())
        {
            if (auto* engine = p.getEngine())
            {
                const int band = random.nextInt (4);
                engine->setBandGain (band, random.nextFloat() * 48.0f - 24.0f);
                engine->setBandSolo (band, random.nextBool());
                engine->setBandType (band, random.nextInt (3));
                engine->showAnalyzer = random.nextBool();
                engine->analyzerPreEQ = random.nextBool();
                engine->setMeterReleaseTime (random.nextBool() ? 250.0f : 1000.0f);
                if (random.nextInt (20) == 0)
                    engine->analyzer->clear();
                float inL, inR, outL, outR, phase;
                engine->getEnv (inL, inR, outL, outR, phase);
                EXPECT_TRUE (std::isfinite (inL + inR + outL + outR + phase));
                const auto settings = engine->getChainSettings();
                const auto params = engine->getParams();
                EXPECT_TRUE (std::isfinite (settings.levelGain) && std::isfinite (params.level));
            }
            // The window follows rebuilds and draws whatever engine it is bound to.
            if (random.nextInt (10) == 0)
                editor->createComponentSnapshot (editor->getLocalBounds());
            pumpMessages (2);
        }

        stop = true;
        setters.join();
        audio.join();
        rebuilder.join();

        ASSERT_TRUE (pumpMessagesUntil ([&] { return editor->getBoundEngine() == p.getEngine(); }));
        editor.reset();

        // Let the retired engines go.
        for (int i = 0; i < 50 && p.dsp.getNumRetired() > 0; ++i)
            pumpMessages (20);

        EXPECT_TRUE (finite);
        EXPECT_GT (blocks.load(), 100);
        EXPECT_GT (rebuilds.load(), 10);
        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
    }
} // namespace
