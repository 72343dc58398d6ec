#include "EmbeddedResource.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <complex>

namespace
{
    const char* const impulseResponseNames[] = { "IR_01_Neve1073_dc_wav",    "IR_02_API512_dc_wav",
                                                 "IR_03_DRAWMER1960_dc_wav", "IR_04_SS_MP573_dc_wav",
                                                 "IR_05_OSA_MP1_dc_wav",     "IR_06_UA1176_dc_wav",
                                                 "IR_07_7X500_dc_wav",       "IR_08_TLA50_dc_wav" };

    constexpr double sampleRate = 44100.0;
    constexpr int numFrames = 441;

    struct Chunk
    {
        juce::String id;
        juce::uint32 size;
        const juce::uint8* body;
    };

    /** The chunks of a RIFF file after its 12-byte header, as they stand in the bytes. */
    std::vector<Chunk> readChunks (const EmbeddedResource& file)
    {
        std::vector<Chunk> chunks;
        size_t position = 12;

        while (position + 8 <= (size_t) file.size)
        {
            const auto* header = file.bytes() + position;
            const auto size = juce::ByteOrder::littleEndianInt (header + 4);
            chunks.push_back ({ juce::String (reinterpret_cast<const char*> (header), 4), size, header + 8 });
            position += 8 + size + (size & 1);
        }

        return chunks;
    }

    juce::AudioBuffer<float> decode (const EmbeddedResource& file)
    {
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatReader> reader (
            wav.createReaderFor (new juce::MemoryInputStream (file.data, (size_t) file.size, false), true));

        juce::AudioBuffer<float> buffer;
        if (reader != nullptr)
        {
            buffer.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
            reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);
        }
        return buffer;
    }

    /** |sum of h[n] e^(-j w n)| of one channel, in dB: the response's gain at that frequency. */
    double gainDb (const juce::AudioBuffer<float>& response, int channel, double frequency)
    {
        const double w = juce::MathConstants<double>::twoPi * frequency / sampleRate;
        std::complex<double> sum;
        for (int n = 0; n < response.getNumSamples(); ++n)
            sum += (double) response.getSample (channel, n) * std::polar (1.0, -w * n);
        return juce::Decibels::gainToDecibels (std::abs (sum), -400.0);
    }

    class ImpulseResponseFile : public ::testing::TestWithParam<const char*>
    {
    protected:
        const EmbeddedResource file = EmbeddedResource::find (GetParam());
    };
} // namespace

TEST_P (ImpulseResponseFile, HasTheFixedChunkLayout)
{
    ASSERT_EQ (file.size, 5860);
    EXPECT_EQ (std::memcmp (file.data, "RIFF", 4), 0);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (file.bytes() + 4), 5852u);
    EXPECT_EQ (std::memcmp (file.data + 8, "WAVE", 4), 0);

    const auto chunks = readChunks (file);
    ASSERT_EQ (chunks.size(), 4u);
    const std::pair<const char*, juce::uint32> expected[] = {
        { "fmt ", 16 }, { "LIST", 24 }, { "PAD ", 4012 }, { "data", 1764 }
    };
    for (size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ (chunks[i].id, expected[i].first);
        EXPECT_EQ (chunks[i].size, expected[i].second) << chunks[i].id;
    }

    const auto* fmt = chunks[0].body;
    EXPECT_EQ (juce::ByteOrder::littleEndianShort (fmt), 1);     // PCM
    EXPECT_EQ (juce::ByteOrder::littleEndianShort (fmt + 2), 2); // channels
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (fmt + 4), 44100u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (fmt + 8), 176400u);
    EXPECT_EQ (juce::ByteOrder::littleEndianShort (fmt + 12), 4); // block align
    EXPECT_EQ (juce::ByteOrder::littleEndianShort (fmt + 14), 16);

    // One INFO item whose text, with its terminating zero, fills the rest of the list exactly.
    const auto* list = chunks[1].body;
    EXPECT_EQ (std::memcmp (list, "INFO", 4), 0);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (list + 8), 12u);
    const juce::String itemText (reinterpret_cast<const char*> (list + 12));
    EXPECT_EQ (itemText.length(), 11) << "\"" << itemText << "\" names the tool that made the file";
    EXPECT_TRUE (itemText.containsOnly ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ."));

    const auto* pad = chunks[2].body;
    EXPECT_TRUE (std::all_of (pad, pad + chunks[2].size, [] (juce::uint8 b) { return b == 0; }));
}

TEST_P (ImpulseResponseFile, ReadsAsStereoSixteenBitAt44100HzWith441Frames)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (
        wav.createReaderFor (new juce::MemoryInputStream (file.data, (size_t) file.size, false), true));

    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->numChannels, 2u);
    EXPECT_EQ (reader->bitsPerSample, 16u);
    EXPECT_EQ (reader->sampleRate, 44100.0);
    EXPECT_EQ (reader->lengthInSamples, numFrames);
    EXPECT_FALSE (reader->usesFloatingPointData);
}

TEST_P (ImpulseResponseFile, StaysBelowFullScaleAndFadesOutAtItsEnd)
{
    const auto response = decode (file);
    ASSERT_EQ (response.getNumSamples(), numFrames);

    for (int channel = 0; channel < 2; ++channel)
    {
        const auto range = response.findMinMax (channel, 0, numFrames);
        EXPECT_LT (juce::jmax (-range.getStart(), range.getEnd()), 32767.0f / 32768.0f) << "channel " << channel;

        // A response cut off in mid-swing would click at every block of the convolution.
        EXPECT_LT (std::abs (response.getSample (channel, numFrames - 1)), 1.0e-3f) << "channel " << channel;
    }
}

TEST_P (ImpulseResponseFile, KeepsDcGainNearItsGainAt1kHzAndChannelsClose)
{
    const auto response = decode (file);
    ASSERT_EQ (response.getNumChannels(), 2);

    for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR (gainDb (response, channel, 0.0), gainDb (response, channel, 1000.0), 4.0) << "channel " << channel;

    for (const double frequency : { 100.0, 1000.0, 5000.0, 10000.0 })
        EXPECT_NEAR (gainDb (response, 0, frequency), gainDb (response, 1, frequency), 1.0) << frequency << " Hz";
}

INSTANTIATE_TEST_SUITE_P (
    Preamps, ImpulseResponseFile, ::testing::ValuesIn (impulseResponseNames),
    [] (const auto& instance)
    { return juce::String (instance.param).upToFirstOccurrenceOf ("_dc", false, false).toStdString(); });

TEST (ImpulseResponseSet, IsLevelMatchedAtUnityGainAt1kHz)
{
    juce::Range<double> spread;
    bool first = true;

    for (const auto* name : impulseResponseNames)
    {
        const auto response = decode (EmbeddedResource::find (name));
        ASSERT_EQ (response.getNumChannels(), 2) << name;

        for (int channel = 0; channel < 2; ++channel)
        {
            const double gain = gainDb (response, channel, 1000.0);
            // Switching between a preamp and "Neutral" must not jump in level either.
            EXPECT_NEAR (gain, 0.0, 1.0) << name << " channel " << channel;
            spread = first ? juce::Range<double> (gain, gain) : spread.getUnionWith (gain);
            first = false;
        }
    }

    EXPECT_LE (spread.getLength(), 1.0) << "from " << spread.getStart() << " to " << spread.getEnd() << " dB";
}

TEST (ImpulseResponseSet, GivesEveryPreampACharacterOfItsOwn)
{
    const double probes[] = { 60.0, 150.0, 400.0, 2000.0, 5000.0, 10000.0, 15000.0 };
    std::vector<std::vector<double>> curves;

    for (const auto* name : impulseResponseNames)
    {
        const auto response = decode (EmbeddedResource::find (name));
        ASSERT_EQ (response.getNumChannels(), 2) << name;

        std::vector<double> curve;
        for (const double frequency : probes)
            curve.push_back (gainDb (response, 0, frequency));

        // Two preamps that differ by less than half a dB everywhere would be the same choice twice.
        for (size_t other = 0; other < curves.size(); ++other)
        {
            double largestDifference = 0.0;
            for (size_t i = 0; i < curve.size(); ++i)
                largestDifference = juce::jmax (largestDifference, std::abs (curve[i] - curves[other][i]));
            EXPECT_GT (largestDifference, 0.5) << name << " against " << impulseResponseNames[other];
        }

        curves.push_back (curve);
    }
}
