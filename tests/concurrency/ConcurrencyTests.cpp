// Hand-overs between threads: one thread hammers parameters and the engine's setters, one
// processes blocks, one rebuilds the engine through prepareToPlay, and the message thread runs its
// loop meanwhile (the analysers' timers run there). Built with ThreadSanitizer as well, where any
// report fails the run.

#include "engine/ComponentThreadCheck.h"
#include "plugin/PluginEditor.h"
#include "processor/PluginProcessor.h"
#include "support/MessagePump.h"
#include "support/Signals.h"
#include "ui/TrellaUI2.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#if KRO_TSAN_BUILD
constexpr int editorOpeningRounds = 12; // each opening is many times slower under ThreadSanitizer
#else
constexpr int editorOpeningRounds = 60;
#endif

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
                    engine->getAnalyzer()->clear();
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

        // Let the retired engines go, and a clean-up retry already scheduled run out (a timer still
        // pending when the process ends is reported as a leak).
        for (int i = 0; i < 50 && p.dsp.getNumRetired() > 0; ++i)
            pumpMessages (20);
        pumpMessages (50);

        EXPECT_TRUE (finite);
        EXPECT_GT (blocks.load(), 100);
        EXPECT_GT (rebuilds.load(), 10);
        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
        EXPECT_EQ (ComponentThreadCheck::getOffThreadCount(), 0)
            << "a component made or destroyed off the message thread";
    }

    // A window opened while the device thread rebuilds the engine must end on the engine that is
    // current, and must never keep one that has been replaced and destroyed.
    TEST (Concurrency, WindowOpenedDuringRebuildsEndsOnTheCurrentEngine)
    {
        Processor p;
        p.prepareToPlay (44100.0, 256);
        const double rates[] = { 48000.0, 44100.0, 96000.0, 88200.0 };

        for (int round = 0; round < editorOpeningRounds; ++round)
        {
            std::atomic<bool> started{ false };
            std::thread device (
                [&]
                {
                    started = true;
                    for (int i = 0; i < 3; ++i)
                        p.prepareToPlay (rates[(round + i) % 4], 64 << ((round + i) % 3));
                });

            while (! started)
                std::this_thread::yield();

            auto editor = std::make_unique<KroTrellaAudioProcessorEditor> (p);
            device.join();

            ASSERT_TRUE (pumpMessagesUntil (
                [&] { return editor->getBoundEngine() == p.getEngine() && p.dsp.getNumRetired() == 0; }))
                << "round " << round;
            EXPECT_EQ (p.getEngine()->getAnalyzer()->getParentComponent(), &editor->getMainScreen());
            editor->createComponentSnapshot (editor->getLocalBounds());
            editor.reset();
        }
        EXPECT_EQ (ComponentThreadCheck::getOffThreadCount(), 0)
            << "a component made or destroyed off the message thread";
    }

    // Engines that no window ever shows come and go on the device thread while the message thread
    // moves the keyboard focus about: they hold no component, so nothing of the framework's window
    // state is touched off the message thread (ThreadSanitizer would see the focus being read).
    TEST (Concurrency, EnginesNeverShownComeAndGoOnAnotherThreadWithoutWindowComponents)
    {
        Processor p;
        p.prepareToPlay (44100.0, 256);

        juce::Component window;
        juce::TextEditor first, second;
        for (auto* field : { &first, &second })
        {
            field->setBounds (0, 0, 100, 20);
            window.addAndMakeVisible (field);
        }
        window.setBounds (0, 0, 200, 50);
        window.addToDesktop (0);
        window.setVisible (true);

        std::atomic<bool> done{ false };
        std::thread device (
            [&]
            {
                const double rates[] = { 48000.0, 44100.0, 96000.0 };
                for (int i = 0; i < 100; ++i)
                    p.prepareToPlay (rates[i % 3], 64 << (i % 3));
                done = true;
            });

        while (! done)
        {
            first.grabKeyboardFocus();
            second.grabKeyboardFocus();
            pumpMessages (1);
        }
        device.join();

        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
        EXPECT_EQ (ComponentThreadCheck::getOffThreadCount(), 0)
            << "a component made or destroyed off the message thread";
    }

    TEST (Concurrency, RebuildsWithoutAMessageLoopFreeEnginesWhileAudioAndAutomationRun)
    {
        // No message is dispatched: retired engines are destroyed on the rebuilding thread, beside
        // the audio thread and the automation thread that use the engine through Readers.
        Processor p;
        p.prepareToPlay (44100.0, 256);
        std::atomic<bool> stop{ false };
        std::atomic<int> blocks{ 0 };

        std::thread setters (
            [&]
            {
                juce::Random random (4);
                while (! stop)
                    p.getParameters()[random.nextInt (23)]->setValueNotifyingHost (random.nextFloat());
            });

        std::thread audio (
            [&]
            {
                juce::Random random (5);
                juce::MidiBuffer midi;
                juce::AudioBuffer<float> buffer (2, 512);
                while (! stop)
                {
                    signals::fillNoise (buffer, random);
                    p.processBlock (buffer, midi);
                    ++blocks;
                }
            });

        // Rebuild while audio flows: at least 60 times, and until the audio thread has run 50 blocks.
        while (blocks.load() == 0)
            std::this_thread::yield();
        const double rates[] = { 48000.0, 44100.0, 96000.0 };
        for (int i = 0; i < 60 || (blocks.load() < 50 && i < 5000); ++i)
        {
            p.prepareToPlay (rates[i % 3], 128 << (i % 3));
            EXPECT_LE (p.dsp.getNumRetired(), 1u); // at most one left to a Reader that was busy
        }

        stop = true;
        setters.join();
        audio.join();
        p.prepareToPlay (22050.0, 64);
        EXPECT_EQ (p.dsp.getNumRetired(), 0u);
        EXPECT_GE (blocks.load(), 50);
        EXPECT_EQ (ComponentThreadCheck::getOffThreadCount(), 0)
            << "a component made or destroyed off the message thread";
    }
} // namespace
