#include "PreampResponses.h"

#include "BandLimitedResampler.h"
#include "IR_list.h"

#include <BinaryData.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <cmath>
#include <mutex>

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
    const size_t length = sampleRate == recordedRate ? recordedLength : audibleLength (result, 1.0e-7f);
    for (auto& c : result)
        c.resize (length, 0.0f);
    return result;
}

std::shared_ptr<const PreampResponses> PreampResponses::forRate (double rate, int partition, KernelSet kernels)
{
    static std::mutex lock;
    static std::vector<std::shared_ptr<const PreampResponses>> recent; // most recently used last

    const std::scoped_lock scoped (lock);
    const auto found =
        std::find_if (recent.begin(), recent.end(),
                      [&] (const auto& r)
                      { return r->sampleRate == rate && r->partitionSize == partition && r->kernelSet == kernels; });
    std::shared_ptr<const PreampResponses> responses;
    if (found != recent.end())
    {
        responses = *found;
        recent.erase (found);
    }
    else
    {
        responses = std::make_shared<const PreampResponses> (rate, partition, kernels);
    }

    recent.push_back (responses);
    if (recent.size() > cachedRates)
        recent.erase (recent.begin());
    return responses;
}

PreampResponses::PreampResponses (double rate, int partition, KernelSet kernels)
    : partitionSize (partition)
    , kernelSet (kernels)
    , fft (2 * partition, kernels)
    , responses (IR_list.size())
    , present (IR_list.size(), false)
    , sampleRate (rate)
{
    for (size_t i = 0; i < IR_list.size(); ++i)
    {
        if (IR_list[i].bypass)
            continue;

        const auto recorded = loadRecorded (IR_list[i].resourceName);
        if (recorded[0].empty())
            continue;

        split (prepareForRate (recorded, rate), responses[i]);
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
    }

    const int half = fft.getHalfSize();
    response.halves.resize ((size_t) (response.numPartitions * 4 * half));

    // Both channels of a partition in one transform, separated into their spectra HL and HR. The
    // scale undoes the gain of the inverse and the factor 2 of StereoFft::separate.
    AlignedFloats re ((size_t) fftSize), im ((size_t) fftSize);
    const double scale = 0.5 / (double) fftSize;
    std::vector<int> binAt ((size_t) fftSize);
    for (int k = 0; k < fftSize; ++k)
        binAt[(size_t) fft.binPosition (k)] = k;

    for (int p = 0; p < response.numPartitions; ++p)
    {
        for (int i = 0; i < fftSize; ++i)
        {
            const int source = partitionSize * (p + 1) + i;
            re[(size_t) i] = i < partitionSize ? tap (0, source) : 0.0f;
            im[(size_t) i] = i < partitionSize ? tap (1, source) : 0.0f;
        }
        fft.forward (re.data(), im.data());

        float* out = response.halves.data() + (size_t) (p * 4 * half);
        for (int i = 0; i < half; ++i)
        {
            const int position = fft.halfPosition (i);
            if (position < 0)
                continue;
            const auto at = (size_t) position;
            const auto mirror = (size_t) fft.binPosition ((fftSize - binAt[at]) % fftSize);
            // W[k] and conj W[N - k]
            const double wRe = re[at], wIm = im[at], mRe = re[mirror], mIm = -im[mirror];
            out[i] = (float) (0.5 * (wRe + mRe) * scale);
            out[half + i] = (float) (0.5 * (wIm + mIm) * scale);
            out[2 * half + i] = (float) (0.5 * (wIm - mIm) * scale);
            out[3 * half + i] = (float) (-0.5 * (wRe - mRe) * scale);
        }
    }
}
