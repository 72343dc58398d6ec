#include "PreampStage.h"

#include "IR_list.h"

#include <BinaryData.h>

namespace
{
    constexpr double crossfadeSeconds = 0.05; // the framework convolution's own fade time
} // namespace

PreampStage::PreampStage (double sampleRate, int maximumBlockSize)
    : fadeLength ((int) std::ceil (2.0 * crossfadeSeconds * sampleRate) + 2 * maximumBlockSize)
{
    convolution.prepare ({ sampleRate, (juce::uint32) maximumBlockSize, 2 });

    // The framework's convolution starts out "not bypassed"; run it bypassed over silence until its
    // fade has settled, so that the first response chosen fades in instead of jumping in.
    juce::AudioBuffer<float> silence (2, maximumBlockSize);
    for (int done = 0; done < fadeLength; done += maximumBlockSize)
    {
        silence.clear();
        run (silence.getWritePointer (0), silence.getWritePointer (1), maximumBlockSize, true);
    }
}

void PreampStage::select (int index) noexcept
{
    selectedIndex.store (juce::jlimit (0, (int) IR_list.size() - 1, index), std::memory_order_relaxed);
    selections.fetch_add (1, std::memory_order_acq_rel);
}

void PreampStage::takeUpSelection() noexcept
{
    const auto current = selections.load (std::memory_order_acquire);
    if (current == takenSelections)
        return;

    takenSelections = current;
    const int index = selectedIndex.load (std::memory_order_relaxed);
    const auto& entry = IR_list[(size_t) index];

    if (! entry.bypass && index != loadedIndex)
    {
        int size = 0;
        // A missing response leaves the convolution with the one it had.
        if (const auto* data = BinaryData::getNamedResource (entry.resourceName, size); data != nullptr && size > 0)
        {
            // Queued without allocating; the response is prepared on the convolution's own thread.
            convolution.loadImpulseResponse (data, (size_t) size, juce::dsp::Convolution::Stereo::yes,
                                             juce::dsp::Convolution::Trim::no, 1024,
                                             juce::dsp::Convolution::Normalise::no);
            loadedIndex = index;
        }
    }

    if (entry.bypass && ! bypassed)
        fadeRemaining = fadeLength;

    bypassed = entry.bypass;
    if (! bypassed)
        fadeRemaining = 0;
}

void PreampStage::process (float* left, float* right, int numSamples, bool stereo) noexcept
{
    takeUpSelection();

    if (isPassingThrough())
        return;

    run (left, right, numSamples, stereo);

    if (bypassed)
        fadeRemaining = juce::jmax (0, fadeRemaining - numSamples);
}

void PreampStage::reset() noexcept
{
    convolution.reset();
    if (bypassed)
        fadeRemaining = 0;
}

void PreampStage::run (float* left, float* right, int numSamples, bool stereo) noexcept
{
    float* channels[] = { left, right };
    juce::dsp::AudioBlock<float> block (channels, stereo ? 2u : 1u, (size_t) numSamples);
    juce::dsp::ProcessContextReplacing<float> context (block);
    context.isBypassed = bypassed;
    convolution.process (context);
}
