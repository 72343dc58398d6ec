// A new sample rate or block size replaces the engine; the new one must carry on exactly where the
// old one stood, with or without a window open.

#include "engine/ValueLaws.h"
#include "processor/PluginProcessor.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
    using Processor = KroTrellaAudioProcessor;

    struct Rebuild
    {
        double sampleRate;
        int blockSize;
        bool onAnotherThread;
    };

    void PrintTo (const Rebuild& r, std::ostream* out)
    {
        *out << r.sampleRate << " Hz, " << r.blockSize << (r.onAnotherThread ? " samples, device thread" : " samples");
    }

    class EngineRebuild : public testing::TestWithParam<Rebuild>
    {
    protected:
        void rebuild (Processor& p)
        {
            const auto& r = GetParam();
            if (! r.onAnotherThread)
            {
                p.prepareToPlay (r.sampleRate, r.blockSize);
                return;
            }

            std::thread device ([&] { p.prepareToPlay (r.sampleRate, r.blockSize); });
            device.join();
        }
    };

    TEST_P (EngineRebuild, KeepsWhatNoParameterHolds)
    {
        Processor p;
        auto* old = p.getEngine();
        old->setBandSolo (3, true);
        old->showAnalyzer = false;
        old->analyzerPreEQ = true;
        old->setMeterReleaseTime (250.0f);

        rebuild (p);
        auto* fresh = p.getEngine();
        ASSERT_NE (fresh, old);

        EXPECT_EQ (fresh->getSoloBand(), 3);
        EXPECT_FALSE (fresh->showAnalyzer);
        EXPECT_TRUE (fresh->analyzerPreEQ);
        EXPECT_EQ (fresh->getMeterReleaseTime(), 250.0f);
        const auto fs = (float) GetParam().sampleRate;
        EXPECT_EQ (fresh->inLeftFollower.loadCoefficients().release, EnvelopeFollower::coefficientFor (250.0f, fs));
        EXPECT_EQ (fresh->phaseFollower.loadCoefficients().attack,
                   EnvelopeFollower::coefficientFor (TrellaDSP::phaseAttackMs, fs));
        EXPECT_TRUE (fresh->getChainSettings().soloBand == 3);

        pumpMessagesUntil ([&p] { return p.dsp.getNumRetired() == 0; });
    }

    TEST_P (EngineRebuild, StartsWithEveryParameterValueBeforeItIsUsed)
    {
        Processor p;
        p.getKroParameter (6)->setValueNotifyingHost (ValueLaws::normalisedFromGain (-9.0f)); // band 1 gain
        p.getKroParameter (22)->setValueNotifyingHost (3.5f / 8.0f);                          // preamp 3
        p.getKroParameter (0)->setValueNotifyingHost (1.0f);
        const auto before = p.getEngine()->getParams();

        // What the new engine holds when it becomes the current one, seen from the callback that
        // runs right then.
        EQParameters seenAtSwitch{};
        p.setOnEngineChanged ([&] { seenAtSwitch = p.getEngine()->getParams(); });
        rebuild (p);
        p.setOnEngineChanged (nullptr);

        EXPECT_TRUE (seenAtSwitch.sameBytesAs (before));
        EXPECT_TRUE (p.getEngine()->getParams().sameBytesAs (before));
        EXPECT_EQ (p.getEngine()->getParams().preampType, 3);

        pumpMessagesUntil ([&p] { return p.dsp.getNumRetired() == 0; });
    }

    INSTANTIATE_TEST_SUITE_P (Processor, EngineRebuild,
                              testing::Values (Rebuild{ 48000.0, 256, false }, Rebuild{ 96000.0, 512, true },
                                               Rebuild{ 22050.0, 1, true }, Rebuild{ 192000.0, 8192, false }));
} // namespace
