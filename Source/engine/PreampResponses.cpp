#include "PreampResponses.h"

#include "BandLimitedResampler.h"
#include "IR_list.h"

#include <BinaryData.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>

namespace
{
    /** Length without the trailing samples that are silent in both channels. */
    size_t audibleLength (const std::array<std::vector<float>, 2>& channels, float threshold)
    {
        size_t length = std::max (channels[0].size(), channels[1].size());
        auto silentAt = [&] (size_t i)
        {
            for (const auto& c : channels)
                if (i < c.size() && std::abs (c[i]) > threshold)
                    return false;
            return true;
        };
        while (length > 0 && silentAt (length - 1))
            --length;
        return length;
    }
} // namespace

std::array<std::vector<float>, 2> PreampResponses::loadRecorded (const char* resourceName)
{
    int size = 0;
    const auto* data = BinaryData::getNamedResource (resourceName, size);
    if (data == nullptr || size <= 0)
        return {};

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (
        wav.createReaderFor (new juce::MemoryInputStream (data, (size_t) size, false), true));
    if (reader == nullptr || reader->lengthInSamples <= 0 || reader->lengthInSamples > 1 << 16)
        return {};

    const int frames = (int) reader->lengthInSamples;
    juce::AudioBuffer<float> buffer (2, frames);
    // A mono file feeds both channels.
    if (! reader->read (&buffer, 0, frames, 0, true, true))
        return {};

    std::array<std::vector<float>, 2> channels;
    for (int c = 0; c < 2; ++c)
        channels[(size_t) c].assign (buffer.getReadPointer (c), buffer.getReadPointer (c) + frames);
    return channels;
}

std::array<std::vector<float>, 2> PreampResponses::prepareForRate (const std::array<std::vector<float>, 2>& recorded,
                                                                   double sampleRate)
{
    std::array<std::vector<float>, 2> result;
    const size_t recordedLength = audibleLength (recorded, 0.0f);

    for (size_t c = 0; c < 2; ++c)
    {
        std::vector<float> taps (recorded[c].begin(),
                                 recorded[c].begin() + (std::ptrdiff_t) std::min (recordedLength, recorded[c].size()));
        result[c] = BandLimitedResampler::resample (taps, recordedRate, sampleRate);
    }

    // The interpolator's last few taps are far below anything audible.
    const size_t length = sampleRate == recordedRate ? recordedLength : audibleLength (result, 1.0e-9f);
    for (auto& c : result)
        c.resize (length, 0.0f);
    return result;
}

PreampResponses::PreampResponses (double sampleRate, int partition)
    : partitionSize (partition)
    , binsPadded ((partition + 1 + 7) / 8 * 8)
    , fft (2 * partition)
    , responses (IR_list.size())
    , present (IR_list.size(), false)
{
    for (size_t i = 0; i < IR_list.size(); ++i)
    {
        if (IR_list[i].bypass)
            continue;

        const auto recorded = loadRecorded (IR_list[i].resourceName);
        if (recorded[0].empty())
            continue;

        split (prepareForRate (recorded, sampleRate), responses[i]);
        present[i] = true;
        maxPartitions = std::max (maxPartitions, responses[i].numPartitions);
    }
}

const PreampResponses::Response* PreampResponses::get (int index) const noexcept
{
    return index >= 0 && index < (int) responses.size() && present[(size_t) index] ? &responses[(size_t) index]
                                                                                   : nullptr;
}

void PreampResponses::split (const std::array<std::vector<float>, 2>& taps, Response& response) const
{
    const int length = (int) taps[0].size();
    const int fftSize = 2 * partitionSize;
    response.numTaps = length;
    response.numPartitions = std::max (0, (length - partitionSize + partitionSize - 1) / partitionSize);

    auto tap = [&] (size_t channel, int i)
    { return i < (int) taps[channel].size() ? taps[channel][(size_t) i] : 0.0f; };

    for (size_t c = 0; c < 2; ++c)
    {
        response.head[c].resize ((size_t) partitionSize);
        for (int i = 0; i < partitionSize; ++i)
            response.head[c][(size_t) i] = tap (c, i);

        response.tailRe[c].resize ((size_t) (response.numPartitions * binsPadded));
        response.tailIm[c].resize ((size_t) (response.numPartitions * binsPadded));
    }

    // Both channels of a partition in one transform, then separated into two half spectra. The
    // scale folds in the transform's gain (the inverse gives fftSize times the signal) and the 1/2
    // of separating the channels of the signal's own transform.
    AlignedFloats re ((size_t) fftSize), im ((size_t) fftSize);
    const float scale = 1.0f / (2.0f * (float) fftSize);

    for (int p = 0; p < response.numPartitions; ++p)
    {
        for (int i = 0; i < fftSize; ++i)
        {
            const int source = partitionSize * (p + 1) + i;
            re[(size_t) i] = i < partitionSize ? tap (0, source) : 0.0f;
            im[(size_t) i] = i < partitionSize ? tap (1, source) : 0.0f;
        }
        fft.forward (re.data(), im.data());

        for (int k = 0; k <= partitionSize; ++k)
        {
            const auto a = (size_t) fft.binPosition (k);
            const auto b = (size_t) fft.binPosition ((fftSize - k) % fftSize);
            // left = (Z[k] + conj Z[N-k]) / 2, right = (Z[k] - conj Z[N-k]) / 2i
            const float sumRe = re[a] + re[b], sumIm = im[a] - im[b];
            const float diffRe = re[a] - re[b], diffIm = im[a] + im[b];
            const auto at = (size_t) (p * binsPadded + k);
            response.tailRe[0][at] = 0.5f * sumRe * scale;
            response.tailIm[0][at] = 0.5f * sumIm * scale;
            response.tailRe[1][at] = 0.5f * diffIm * scale;
            response.tailIm[1][at] = -0.5f * diffRe * scale;
        }
    }
}
