// The preamp stage convolves with the embedded impulse responses, fades between choices and passes
// the signal bit for bit on "Neutral".

#include "PluginProcessor.h"
#include "engine/IR_list.h"
#include "engine/TrellaDSP.h"
#include "support/Signals.h"

#include <BinaryData.h>
#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

namespace
{
    constexpr double fs = 44100.0;
    constexpr int irLength = 441;

    juce::AudioBuffer<float> loadResponse (const char* resourceName)
    {
        int size = 0;
        const auto* data = BinaryData::getNamedResource (resourceName, size);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (
            wav.createReaderFor (new juce::MemoryInputStream (data, (size_t) size, false), true));
        juce::AudioBuffer<float> response (2, irLength);
        if (reader != nullptr)
            reader->read (&response, 0, irLength, 0, true, true);
        return response;
    }

    /** Runs silence long enough for the convolution to prepare a new response on its own thread and
        for its fades to finish.
    */
    void settle (const std::function<void (juce::AudioBuffer<float>&)>& process, int blockSize = 512)
    {
        juce::AudioBuffer<float> silence (2, blockSize);
        for (int i = 0; i < 30; ++i)
        {
            silence.clear();
            process (silence);
            juce::Thread::sleep (8);
        }
    }

    /** The stage's output for a unit impulse, both channels. */
    signals::StereoResponse impulseThrough (TrellaDSP& engine)
    {
        return signals::impulseResponse ([&] (auto& block) { engine.Process (block); }, 1024);
    }

    double worstDifference (const signals::StereoResponse& measured, const juce::AudioBuffer<float>& expected)
    {
        double worst = 0.0;
        for (int i = 0; i < 1024; ++i)
        {
            const float wantLeft = i < irLength ? expected.getSample (0, i) : 0.0f;
            const float wantRight = i < irLength ? expected.getSample (1, i) : 0.0f;
            worst = juce::jmax (worst, (double) std::abs (measured.left[(size_t) i] - wantLeft),
                                (double) std::abs (measured.right[(size_t) i] - wantRight));
        }
        return worst;
    }

    /** Keeps the engine running on silence until an impulse comes out as the expected response. The
        convolution prepares a response on its own thread, so on a busy machine this may take longer
        than usual; the test gives it a few seconds.
    */
    void expectSettledResponse (TrellaDSP& engine, const std::function<void (juce::AudioBuffer<float>&)>& process,
                                const juce::AudioBuffer<float>& expected, const char* label, int blockSize = 512)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + 5000;
        double worst = 0.0;
        do
        {
            settle (process, blockSize);
            worst = worstDifference (impulseThrough (engine), expected);
        } while (worst >= 1.0e-5 && juce::Time::getMillisecondCounter() < deadline);

        EXPECT_LT (worst, 1.0e-5) << label;
    }

    TEST (Preamp, EachEntryAppliesItsImpulseResponse)
    {
        for (int index = 1; index < (int) IR_list.size(); ++index)
        {
            TrellaDSP engine (fs, 512);
            engine.setPreampType (index);
            expectSettledResponse (
                engine, [&] (auto& b) { engine.Process (b); }, loadResponse (IR_list[(size_t) index].resourceName),
                IR_list[(size_t) index].menuName);
        }
    }

    TEST (Preamp, NeutralAfterAResponsePassesBitForBitAndTheResponseComesBack)
    {
        TrellaDSP engine (fs, 512);
        engine.setPreampType (1);
        settle ([&] (auto& b) { engine.Process (b); });

        engine.setPreampType (0);
        settle ([&] (auto& b) { engine.Process (b); });
        juce::Random random (1);
        juce::AudioBuffer<float> noise (2, 512);
        signals::fillNoise (noise, random);
        juce::AudioBuffer<float> original (noise);
        engine.Process (noise);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (noise.getSample (c, i), original.getSample (c, i));

        engine.setPreampType (1);
        expectSettledResponse (
            engine, [&] (auto& b) { engine.Process (b); }, loadResponse (IR_list[1].resourceName), "N1073 again");
    }

    TEST (Preamp, TheEqualiserSwitchDoesNotBypassThePreamp)
    {
        TrellaDSP engine (fs, 512);
        engine.setEqActive (false);
        engine.setParameter (22, 1.0f); // v = 1 picks the last entry, TLA50
        EXPECT_EQ (engine.getParams().preampType, 7);
        expectSettledResponse (
            engine, [&] (auto& b) { engine.Process (b); }, loadResponse ("IR_08_TLA50_dc_wav"), "TLA50");
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
                juce::Thread::sleep (2);
            }
        };

        engine.setPreampType (3);
        play (200, switchStep); // settle on D1960 (the fade-in is included)
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
        expectSettledResponse (
            *engine, [&] (auto& b) { processor.processBlock (b, midi); }, loadResponse (IR_list[1].resourceName),
            "N1073 before the program change");

        processor.setCurrentProgram (0);
        EXPECT_EQ (engine->getParams().preampType, 0);
        EXPECT_EQ (processor.getKroParameter (22)->getValue(), 0.0f);

        // The sound follows: after the fade the signal passes bit for bit.
        settle ([&] (auto& b) { processor.processBlock (b, midi); });
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
        settle ([&] (auto& b) { processor.processBlock (b, midi); });
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
        settle ([&] (auto& b) { processor.processBlock (b, midi); });

        processor.prepareToPlay (fs, 1024); // a new block size builds a new engine
        auto* engine = processor.getEngine();
        EXPECT_EQ (engine->getParams().preampType, 2);
        expectSettledResponse (
            *engine, [&] (auto& b) { processor.processBlock (b, midi); }, loadResponse ("IR_02_API512_dc_wav"),
            "A512 after rebuild", 1024);
    }
} // namespace
