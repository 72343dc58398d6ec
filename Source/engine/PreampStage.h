#pragma once

#include <juce_dsp/juce_dsp.h>

#include <atomic>
#include <cstdint>

/** The first stage of the chain: colours the signal with one of the embedded impulse responses of
    IR_list, or passes it untouched ("Neutral").

    `select` may be called from any thread; the audio thread takes the choice up at its next block
    and hands the response to the framework's convolution itself, which prepares it on its own
    background thread and swaps it in with a short crossfade. Switching between a response and
    "Neutral" fades too, so no choice clicks. Once a fade to "Neutral" is over the convolution no
    longer runs and the signal passes bit for bit.
*/
class PreampStage
{
public:
    PreampStage (double sampleRate, int maximumBlockSize);

    /** Any thread: selects an entry of IR_list by index (0..7). */
    void select (int index) noexcept;

    /** Audio thread: processes one or two channels in place (at most maximumBlockSize samples). */
    void process (float* left, float* right, int numSamples, bool stereo) noexcept;

    /** Audio thread: forgets the signal's history; a fade to "Neutral" in progress ends at once. */
    void reset() noexcept;

    /** Audio thread: whether the stage passes the signal untouched at the moment. */
    bool isPassingThrough() const noexcept { return bypassed && fadeRemaining == 0; }

private:
    void takeUpSelection() noexcept;
    void run (float* left, float* right, int numSamples, bool stereo) noexcept;

    juce::dsp::Convolution convolution;
    const int fadeLength; // samples the convolution keeps running after a switch to "Neutral"

    std::atomic<int> selectedIndex{ 0 };
    std::atomic<std::uint32_t> selections{ 0 };

    // Audio thread.
    std::uint32_t takenSelections = 0;
    int loadedIndex = -1;
    bool bypassed = true;
    int fadeRemaining = 0;
};
