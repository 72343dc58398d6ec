// The preamp stage convolves with the embedded impulse responses (resampled for other rates), fades
// between choices, passes the signal bit for bit on "Neutral" and renders the same every time.

#include "engine/IR_list.h"
#include "engine/PreampStage.h"
#include "engine/TrellaDSP.h"
#include "processor/PluginProcessor.h"
#include "support/Signals.h"

#include <BinaryData.h>
#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

namespace
{
    constexpr double fs = 44100.0;
    constexpr int numResponses = (int) std::tuple_size_v<decltype (IR_list)>;

    /** Both channels of an embedded response file, as the file holds them. */
    std::array<std::vector<float>, 2> loadResponse (int index)
    {
        int size = 0;
        const auto* data = BinaryData::getNamedResource (IR_list[(size_t) index].resourceName, size);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (
            wav.createReaderFor (new juce::MemoryInputStream (data, (size_t) size, false), true));
        std::array<std::vector<float>, 2> response;
        if (reader == nullptr)
            return response;
        juce::AudioBuffer<float> buffer (2, (int) reader->lengthInSamples);
        reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);
        for (int c = 0; c < 2; ++c)
            response[(size_t) c].assign (buffer.getReadPointer (c), buffer.getReadPointer (c) + buffer.getNumSamples());
        return response;
    }

    /** Runs `buffer` through the engine in blocks of the given sizes, cycling through them. */
    void processInBlocks (TrellaDSP& engine, juce::AudioBuffer<float>& buffer, int start, int end,
                          const std::vector<int>& blockSizes)
    {
        size_t next = 0;
        for (int position = start; position < end;)
        {
            const int length = juce::jmin (blockSizes[next++ % blockSizes.size()], end - position);
            juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), 2, position, length);
            engine.Process (block);
            position += length;
        }
    }

    void processSilence (TrellaDSP& engine, int numSamples, int blockSize = 512)
    {
        juce::AudioBuffer<float> silence (2, numSamples);
        silence.clear();
        processInBlocks (engine, silence, 0, numSamples, { blockSize });
    }

    /** Plays silence for longer than a fade between two choices lasts. */
    void settle (KroTrellaAudioProcessor& processor)
    {
        juce::MidiBuffer midi;
        juce::AudioBuffer<float> silence (2, 512);
        for (int block = 0; block < 10; ++block)
        {
            silence.clear();
            processor.processBlock (silence, midi);
        }
    }

    //==============================================================================
    class PreampResponse : public ::testing::TestWithParam<int>
    {
    };

    TEST_P (PreampResponse, MatchesADirectConvolutionWithItsFile)
    {
        const int index = GetParam();
        const auto response = loadResponse (index);
        ASSERT_FALSE (response[0].empty());

        // The choice is made before the first block, so there is no fade; odd block sizes cross the
        // stage's partitions everywhere.
        TrellaDSP engine (fs, 512);
        engine.setPreampType (index);
        juce::Random random (10 + index);
        juce::AudioBuffer<float> input (2, 8192);
        signals::fillNoise (input, random);
        juce::AudioBuffer<float> output (input);
        processInBlocks (engine, output, 0, output.getNumSamples(), { 512, 37, 1, 200, 333 });

        double worst = 0.0;
        for (int c = 0; c < 2; ++c)
        {
            const auto& h = response[(size_t) c];
            for (int n = 0; n < input.getNumSamples(); ++n)
            {
                double expected = 0.0;
                for (int k = 0; k < (int) h.size() && k <= n; ++k)
                    expected += (double) h[(size_t) k] * input.getSample (c, n - k);
                worst = juce::jmax (worst, std::abs (expected - output.getSample (c, n)));
            }
        }
        EXPECT_LT (worst, 1.0e-5) << IR_list[(size_t) index].menuName;
    }

    TEST_P (PreampResponse, KeepsItsMagnitudeResponseAtOtherSampleRates)
    {
        const int index = GetParam();
        const auto recorded = loadResponse (index);
        const auto frequencies = signals::logSpacedFrequencies (20.0, 18000.0, 120);

        for (const double rate : { 48000.0, 96000.0, 192000.0 })
        {
            TrellaDSP engine (rate, 512);
            engine.setPreampType (index);
            const auto measured = signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 8192);

            double worst = 0.0;
            for (const double f : frequencies)
                for (const auto& [got, want] :
                     { std::pair{ &measured.left, &recorded[0] }, std::pair{ &measured.right, &recorded[1] } })
                {
                    const double difference = signals::toDb (signals::magnitudeAt (*got, f, rate)) -
                                              signals::toDb (signals::magnitudeAt (*want, f, fs));
                    worst = juce::jmax (worst, std::abs (difference));
                }
            EXPECT_LT (worst, 0.1) << IR_list[(size_t) index].menuName << " at " << rate << " Hz";
        }
    }

    INSTANTIATE_TEST_SUITE_P (EveryResponse, PreampResponse, ::testing::Range (1, numResponses),
                              [] (const auto& testInfo) { return "entry" + std::to_string (testInfo.param); });

    //==============================================================================
    TEST (Preamp, RendersWithTheSameSwitchesAreBitIdenticalWhateverTheBlockSizes)
    {
        // Ten seconds with the equaliser on and the preamp switched at fixed sample positions (each
        // fade over before the next switch), once in regular blocks and twice in irregular ones.
        constexpr int length = 441000;
        const std::vector<std::pair<int, int>> switches{ { 0, 3 },      { 44032, 5 },  { 88064, 0 }, { 132096, 7 },
                                                         { 154112, 2 }, { 220160, 0 }, { 308224, 1 } };

        juce::Random random (7);
        juce::AudioBuffer<float> input (2, length);
        signals::fillNoise (input, random);

        auto render = [&] (const std::vector<int>& blockSizes)
        {
            TrellaDSP engine (fs, 512);
            engine.setEqActive (true);
            engine.setBandActive (1, true);
            engine.setBandGain (1, 6.0f);
            juce::AudioBuffer<float> output (input);
            for (size_t s = 0; s < switches.size(); ++s)
            {
                engine.setPreampType (switches[s].second);
                const int end = s + 1 < switches.size() ? switches[s + 1].first : length;
                processInBlocks (engine, output, switches[s].first, end, blockSizes);
            }
            return output;
        };

        const auto regular = render ({ 512 });
        const auto irregular = render ({ 1, 100, 511, 2048, 64, 999, 7 });
        const auto again = render ({ 1, 100, 511, 2048, 64, 999, 7 });

        for (int c = 0; c < 2; ++c)
        {
            EXPECT_EQ (std::memcmp (regular.getReadPointer (c), irregular.getReadPointer (c), sizeof (float) * length),
                       0);
            EXPECT_EQ (std::memcmp (irregular.getReadPointer (c), again.getReadPointer (c), sizeof (float) * length),
                       0);
        }
        // The switches did change the sound: the renders differ from the input with the EQ alone.
        EXPECT_GT (std::abs (regular.getSample (0, 200000) - input.getSample (0, 200000)), 0.0f);
    }

    TEST (Preamp, NeutralPassesBitForBitOnceItsFadeIsOverAndTheResponseComesBack)
    {
        TrellaDSP engine (fs, 512);
        engine.setPreampType (1);
        processSilence (engine, 4096);

        engine.setPreampType (0);
        juce::Random random (1);
        juce::AudioBuffer<float> noise (2, 4096);
        signals::fillNoise (noise, random);
        processInBlocks (engine, noise, 0, noise.getNumSamples(), { 512 }); // the fade: 2205 samples

        signals::fillNoise (noise, random);
        juce::AudioBuffer<float> original (noise);
        processInBlocks (engine, noise, 0, noise.getNumSamples(), { 512 });
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ (std::memcmp (noise.getReadPointer (c), original.getReadPointer (c), sizeof (float) * 4096), 0);

        engine.setPreampType (1);
        processSilence (engine, 4096);
        const auto measured = signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 1024);
        const auto expected = loadResponse (1);
        for (size_t i = 0; i < expected[0].size(); ++i)
        {
            ASSERT_NEAR (measured.left[i], expected[0][i], 1.0e-6) << i;
            ASSERT_NEAR (measured.right[i], expected[1][i], 1.0e-6) << i;
        }
    }

    TEST (Preamp, ResetForgetsThePastSignal)
    {
        PreampStage stage (fs, 512);
        stage.select (4);
        juce::Random random (3);
        juce::AudioBuffer<float> buffer (2, 512);
        signals::fillNoise (buffer, random);
        stage.process (buffer.getWritePointer (0), buffer.getWritePointer (1), 512, true);

        stage.reset();
        buffer.clear();
        buffer.setSample (0, 0, 1.0f);
        buffer.setSample (1, 0, 1.0f);
        stage.process (buffer.getWritePointer (0), buffer.getWritePointer (1), 512, true);

        const auto expected = loadResponse (4);
        for (int i = 0; i < 512; ++i)
        {
            const float want = i < (int) expected[0].size() ? expected[0][(size_t) i] : 0.0f;
            ASSERT_NEAR (buffer.getSample (0, i), want, 1.0e-6) << i;
        }
    }

    TEST (Preamp, TheEqualiserSwitchDoesNotBypassThePreamp)
    {
        TrellaDSP engine (fs, 512);
        engine.setEqActive (false);
        engine.setParameter (22, 1.0f); // v = 1 picks the last entry, TLA50
        EXPECT_EQ (engine.getParams().preampType, 7);
        const auto measured = signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 1024);
        const auto expected = loadResponse (7);
        for (size_t i = 0; i < expected[0].size(); ++i)
            ASSERT_NEAR (measured.left[i], expected[0][i], 1.0e-6) << i;
    }

    TEST (Preamp, SwitchingWhilePlayingDoesNotClick)
    {
        TrellaDSP engine (fs, 256);
        long long position = 0;
        float previous = 0.0f, steadyStep = 0.0f, switchStep = 0.0f;

        auto play = [&] (int blocks, float& largestStep)
        {
            for (int b = 0; b < blocks; ++b)
            {
                juce::AudioBuffer<float> buffer (2, 256);
                for (int i = 0; i < 256; ++i, ++position)
                {
                    const auto v = (float) (0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * 150.0 *
                                                            (double) position / fs));
                    buffer.setSample (0, i, v);
                    buffer.setSample (1, i, v);
                }
                engine.Process (buffer);
                for (int i = 0; i < 256; ++i)
                {
                    largestStep = juce::jmax (largestStep, std::abs (buffer.getSample (0, i) - previous));
                    previous = buffer.getSample (0, i);
                }
            }
        };

        engine.setPreampType (3);
        play (20, switchStep);
        play (100, steadyStep);
        switchStep = 0.0f;
        for (const int next : { 5, 0, 2, 7, 0 })
        {
            engine.setPreampType (next);
            play (60, switchStep);
        }
        // A hard switch between two responses jumps by a large fraction of the amplitude; a fade keeps
        // the sample-to-sample steps close to those of the steady tone.
        EXPECT_LT (switchStep, 2.0f * steadyStep);
    }

    TEST (Preamp, AProgramChangeReturnsRecordSoundAndParameterToNeutral)
    {
        KroTrellaAudioProcessor processor;
        processor.prepareToPlay (fs, 512);
        processor.getKroParameter (22)->setValue (0.125f); // N1073
        juce::MidiBuffer midi;
        auto* engine = processor.getEngine();
        const auto chosen = signals::impulseResponse ([&] (auto& b) { processor.processBlock (b, midi); }, 1024, 512);
        const auto expected = loadResponse (1);
        for (size_t i = 0; i < expected[0].size(); ++i)
            ASSERT_NEAR (chosen.left[i], expected[0][i], 1.0e-5) << "N1073 before the program change, " << i;

        processor.setCurrentProgram (0);
        EXPECT_EQ (engine->getParams().preampType, 0);
        EXPECT_EQ (processor.getKroParameter (22)->getValue(), 0.0f);

        // The sound follows: after the fade the signal passes bit for bit.
        settle (processor);
        juce::Random random (3);
        juce::AudioBuffer<float> noise (2, 512);
        signals::fillNoise (noise, random);
        const juce::AudioBuffer<float> original (noise);
        processor.processBlock (noise, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (noise.getSample (c, i), original.getSample (c, i));
    }

    TEST (Preamp, AfterAResetSilenceInGivesExactSilenceOutThroughTheWholeChain)
    {
        KroTrellaAudioProcessor processor;
        processor.prepareToPlay (fs, 512);
        const std::pair<const char*, float> settings[] = {
            { "preamp_type", 0.125f }, { "master_active", 1.0f }, { "band1_active", 1.0f },
            { "band1_gain", 0.9f },    { "band3_active", 1.0f },  { "band3_q", 0.8f },
            { "band3_gain", 0.9f },    { "hipass_freq", 0.01f },  { "lopass_freq", 0.4f },
        };
        for (const auto& [id, value] : settings)
            processor.getKroParameter (findTrellaParamIndex (id))->setValue (value);

        juce::MidiBuffer midi;
        auto* engine = processor.getEngine();
        settle (processor);
        ASSERT_EQ (engine->getParams().preampType, 1);

        juce::Random random (8);
        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> loud (2, 512);
            signals::fillNoise (loud, random, 1.0f);
            processor.processBlock (loud, midi);
        }

        processor.reset();
        juce::AudioBuffer<float> silence (2, 512);
        silence.clear();
        processor.processBlock (silence, midi);
        EXPECT_EQ (signals::peakOf (silence), 0.0f);

        float readings[5];
        engine->getEnv (readings[0], readings[1], readings[2], readings[3], readings[4]);
        for (const float reading : readings)
            EXPECT_EQ (reading, 0.0f);
    }

    TEST (Preamp, ARebuiltEngineReloadsTheChosenResponse)
    {
        KroTrellaAudioProcessor processor;
        processor.prepareToPlay (fs, 512);
        processor.getKroParameter (22)->setValue (0.25f); // index 2, A512
        juce::MidiBuffer midi;
        juce::AudioBuffer<float> block (2, 512);
        block.clear();
        processor.processBlock (block, midi);

        processor.prepareToPlay (fs, 1024); // a new block size builds a new engine
        auto* engine = processor.getEngine();
        EXPECT_EQ (engine->getParams().preampType, 2);
        const auto measured =
            signals::impulseResponse ([&] (auto& b) { processor.processBlock (b, midi); }, 1024, 1024);
        const auto expected = loadResponse (2);
        for (size_t i = 0; i < expected[0].size(); ++i)
            ASSERT_NEAR (measured.left[i], expected[0][i], 1.0e-6) << i;
    }
} // namespace
