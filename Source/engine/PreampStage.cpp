#include "PreampStage.h"

#include "IR_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
    constexpr int historySpareSegments = 8; // partitions appended before the history moves
} // namespace

int PreampStage::partitionSizeFor (double sampleRate) noexcept
{
    // Measured: 64 costs the fewest instructions per sample up to 96 kHz (32 spends more on the
    // spectra, 128 on the direct head); above that the longer responses favour 128.
    return sampleRate > 120000.0 ? 128 : 64;
}

PreampStage::PreampStage (double sampleRate, int, KernelSet kernels)
    : responses (PreampResponses::forRate (sampleRate, partitionSizeFor (sampleRate), kernels))
    , partitionSize (responses->getPartitionSize())
    , fftSize (2 * partitionSize)
    , maxPartitions (std::max (1, responses->getMaxPartitions()))
    , fadeLength (std::max (1, (int) std::lround (fadeSeconds * sampleRate)))
    , fir (DirectFir::kernelFor (kernels))
{
    // The past needed to rebuild every input spectrum, plus the partition being filled.
    historyKeep = (maxPartitions + 2) * partitionSize;
    const auto historySize = (size_t) (historyKeep + historySpareSegments * partitionSize + DirectFir::readAhead);
    halvesSize = 4 * responses->getFft().getHalfSize();

    for (size_t c = 0; c < 2; ++c)
    {
        history[c].resize (historySize);
        wet[c].resize ((size_t) partitionSize);
        dry[c].resize ((size_t) partitionSize);
        for (auto& voice : voices)
            voice.tail[c].resize ((size_t) partitionSize);
    }

    inputHalves.resize ((size_t) (maxPartitions * halvesSize));
    outputHalves.resize ((size_t) halvesSize);
    terms.resize ((size_t) maxPartitions);
    fftRe.resize ((size_t) fftSize);
    fftIm.resize ((size_t) fftSize);
    writePosition = historyKeep;
}

void PreampStage::select (int index) noexcept
{
    selectedIndex.store (std::clamp (index, 0, (int) IR_list.size() - 1), std::memory_order_relaxed);
}

//==============================================================================
void PreampStage::reset() noexcept
{
    for (auto* buffer : { &history[0], &history[1], &inputHalves })
        std::fill (buffer->data(), buffer->data() + buffer->size(), 0.0f);

    writePosition = historyKeep;
    phase = 0;
    newestSlot = 0;
    spectraCurrent = true;
    fadeRemaining = 0;
    started = false; // the next block takes the choice up at once: there is nothing to fade from
}

void PreampStage::takeUpSelection() noexcept
{
    const int index = selectedIndex.load (std::memory_order_relaxed);

    if (! started)
    {
        started = true;
        takenIndex = index;
        current = responses->get (index);
        voices[currentVoice].response = current;
        if (current != nullptr)
        {
            if (! spectraCurrent)
                rebuildSpectra();
            computeTail (voices[currentVoice]);
        }
        return;
    }

    if (index == takenIndex || fadeRemaining > 0)
        return;

    takenIndex = index;
    startFadeTo (responses->get (index));
}

void PreampStage::startFadeTo (const PreampResponses::Response* next) noexcept
{
    if (next == current)
        return;

    currentVoice ^= 1; // the voice playing so far fades out
    auto& voice = voices[currentVoice];
    voice.response = next;

    if (next != nullptr)
    {
        if (! spectraCurrent)
            rebuildSpectra();
        computeTail (voice);
    }

    current = next;
    fadeRemaining = fadeLength;
}

//==============================================================================
void PreampStage::makeRoomInHistory (int numSamples) noexcept
{
    const int end = (int) history[0].size() - DirectFir::readAhead;
    if (writePosition + numSamples <= end)
        return;

    for (auto& channel : history)
        std::memmove (channel.data(), channel.data() + writePosition - historyKeep,
                      sizeof (float) * (size_t) historyKeep);
    writePosition = historyKeep;
}

void PreampStage::appendToHistory (const float* left, const float* right, int numSamples) noexcept
{
    makeRoomInHistory (numSamples);
    std::memcpy (history[0].data() + writePosition, left, sizeof (float) * (size_t) numSamples);
    std::memcpy (history[1].data() + writePosition, right, sizeof (float) * (size_t) numSamples);
    writePosition += numSamples;
}

/** Transforms the two partitions of input that end at `windowEnd` into the half spectra of `slot`. */
void PreampStage::transformWindow (int windowEnd, int slot) noexcept
{
    float* re = fftRe.data();
    float* im = fftIm.data();
    std::memcpy (re, history[0].data() + windowEnd - fftSize, sizeof (float) * (size_t) fftSize);
    std::memcpy (im, history[1].data() + windowEnd - fftSize, sizeof (float) * (size_t) fftSize);

    const auto& fft = responses->getFft();
    fft.forward (re, im);
    fft.separate (re, im, inputHalves.data() + (size_t) (slot * halvesSize));
}

void PreampStage::rebuildSpectra() noexcept
{
    const int partitionStart = writePosition - phase;
    newestSlot = 0;
    for (int j = 0; j < maxPartitions; ++j)
        transformWindow (partitionStart - j * partitionSize, (maxPartitions - j) % maxPartitions);
    spectraCurrent = true;
}

void PreampStage::computeTail (Voice& voice) noexcept
{
    const auto& response = *voice.response;
    const auto& fft = responses->getFft();
    float* re = fftRe.data();
    float* im = fftIm.data();

    if (response.numPartitions == 0)
    {
        for (auto& channel : voice.tail)
            std::fill (channel.data(), channel.data() + partitionSize, 0.0f);
        return;
    }

    for (int j = 0; j < response.numPartitions; ++j)
    {
        const int slot = ((newestSlot - j) % maxPartitions + maxPartitions) % maxPartitions;
        terms[(size_t) j] = { response.halves.data() + (size_t) (j * halvesSize),
                              inputHalves.data() + (size_t) (slot * halvesSize) };
    }
    fft.sumOfProducts (terms.data(), response.numPartitions, outputHalves.data());
    fft.combine (outputHalves.data(), re, im);

    // Left comes out in the real part, right in the imaginary part.
    fft.inverse (re, im);
    std::memcpy (voice.tail[0].data(), re + partitionSize, sizeof (float) * (size_t) partitionSize);
    std::memcpy (voice.tail[1].data(), im + partitionSize, sizeof (float) * (size_t) partitionSize);
}

void PreampStage::completePartition() noexcept
{
    phase = 0;
    newestSlot = (newestSlot + 1) % maxPartitions;
    transformWindow (writePosition, newestSlot);

    if (voices[currentVoice].response != nullptr)
        computeTail (voices[currentVoice]);
    if (fadeRemaining > 0 && voices[currentVoice ^ 1].response != nullptr)
        computeTail (voices[currentVoice ^ 1]);
}

/** One voice's output for the segment that was just appended to the history. */
void PreampStage::render (const Voice& voice, int channel, int numSamples, float* out) noexcept
{
    const float* input = history[(size_t) channel].data() + writePosition - numSamples;

    if (voice.response == nullptr)
    {
        std::memcpy (out, input, sizeof (float) * (size_t) numSamples);
        return;
    }

    fir (voice.response->head[(size_t) channel].data(), partitionSize, input, out, numSamples);
    const float* tail = voice.tail[(size_t) channel].data() + phase;
    for (int i = 0; i < numSamples; ++i)
        out[i] += tail[i];
}

void PreampStage::processSegment (float* left, float* right, int numSamples, bool stereo) noexcept
{
    appendToHistory (left, right, numSamples);

    const int channels = stereo ? 2 : 1;
    float* outputs[2] = { left, right };
    const auto& playing = voices[currentVoice];

    for (int c = 0; c < channels; ++c)
    {
        if (fadeRemaining == 0)
        {
            render (playing, c, numSamples, outputs[c]);
            continue;
        }

        float* fadingIn = wet[(size_t) c].data();
        float* fadingOut = dry[(size_t) c].data();
        render (playing, c, numSamples, fadingIn);
        render (voices[currentVoice ^ 1], c, numSamples, fadingOut);

        const int fading = std::min (numSamples, fadeRemaining);
        const int done = fadeLength - fadeRemaining;
        const float step = 1.0f / (float) fadeLength;
        for (int i = 0; i < fading; ++i)
        {
            const float gain = (float) (done + i + 1) * step;
            outputs[c][i] = fadingOut[i] * (1.0f - gain) + fadingIn[i] * gain;
        }
        std::memcpy (outputs[c] + fading, fadingIn + fading, sizeof (float) * (size_t) (numSamples - fading));
    }

    fadeRemaining -= std::min (numSamples, fadeRemaining);
    phase += numSamples;

    if (phase == partitionSize)
    {
        if (current != nullptr || fadeRemaining > 0)
            completePartition();
        else
            phase = 0, spectraCurrent = false;
    }
}

void PreampStage::process (float* left, float* right, int numSamples, bool stereo) noexcept
{
    if (! stereo)
        right = left;

    takeUpSelection();

    for (int done = 0; done < numSamples;)
    {
        if (isPassingThrough())
        {
            // Keep the past, so that the next choice starts from the true signal.
            const int length = std::min (numSamples - done, historySpareSegments * partitionSize);
            appendToHistory (left + done, right + done, length);
            phase = (phase + length) % partitionSize;
            spectraCurrent = false;
            done += length;
            continue;
        }

        const int length = std::min (numSamples - done, partitionSize - phase);
        processSegment (left + done, right + done, length, stereo);
        done += length;
    }
}
