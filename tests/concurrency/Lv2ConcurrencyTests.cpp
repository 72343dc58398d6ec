// The LV2 instance between threads: the audio thread runs it while another thread saves and
// restores its state, as hosts do when they store a session or load a preset during playback.
// Built with ThreadSanitizer as well, where any report fails the run.

#include "lv2/Lv2TestHost.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
    /** A saved state of an instance whose ports hold the given band 2 gain, EQ and band on. */
    Lv2TestHost::State stateWithBand2Gain (float dB)
    {
        Lv2TestHost host;
        host.setPort ("master_active", 1.0f);
        host.setPort ("band2_active", 1.0f);
        host.setPort ("band2_gain", dB);
        juce::AudioBuffer<float> buffer (2, 64);
        buffer.clear();
        host.process (buffer, { 64 });
        Lv2TestHost::State state;
        host.save (state);
        return state;
    }

    TEST (Concurrency, AnLv2InstanceRunsWhileItsStateIsSavedAndRestored)
    {
        const Lv2TestHost::State states[] = { stateWithBand2Gain (12.0f), stateWithBand2Gain (-12.0f) };

        Lv2TestHost host ({ 48000.0, true, 256 });
        ASSERT_TRUE (host.isLoaded());
        host.activate();
        juce::AudioBuffer<float> input (2, 256), output (2, 256);
        juce::Random random (9);
        signals::fillNoise (input, random);
        host.connectAudio (input.getWritePointer (0), input.getWritePointer (1), output.getWritePointer (0),
                           output.getWritePointer (1));

        std::atomic<bool> stop{ false };
        std::atomic<int> blocks{ 0 };
        std::thread audio (
            [&]
            {
                while (! stop)
                {
                    host.run (256);
                    ++blocks;
                }
            });

        // Until both threads have done enough, within a deadline a busy machine still meets.
        int rounds = 0;
        const auto deadline = juce::Time::getMillisecondCounter() + 20000;
        while ((rounds < 200 || blocks < 500) && juce::Time::getMillisecondCounter() < deadline)
        {
            EXPECT_EQ (host.restore (states[rounds % 2]), LV2_STATE_SUCCESS);
            Lv2TestHost::State saved;
            EXPECT_EQ (host.save (saved), LV2_STATE_SUCCESS);
            ++rounds;
        }

        stop = true;
        audio.join();
        EXPECT_GE (rounds, 200);
        EXPECT_GE (blocks.load(), 500);
        EXPECT_TRUE (signals::allFinite (output));
    }
} // namespace
