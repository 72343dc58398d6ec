#pragma once

#include "AlignedFloats.h"
#include "DirectFir.h"
#include "PreampResponses.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

/** The first stage of the chain: colours the signal with one of the embedded impulse responses of
    IR_list, or passes it untouched ("Neutral").

    Every response is prepared for the engine's sample rate when the stage is built (off the audio
    thread). Convolution adds no latency: the first `partitionSize` taps are applied directly to each
    sample, the rest as partitions of the same size through FFTs, computed whenever the stream
    completes a partition. Nothing here runs on another thread, so the output depends only on the
    input, the choices and the block at which each choice was taken up.

    `select` may be called from any thread; the audio thread takes the choice up at the start of its
    next block and crossfades from the previous choice over `fadeSeconds`, counted in samples. A choice
    made while a fade runs is taken up at the first block after that fade. Once a fade to "Neutral" is
    over the signal passes bit for bit.
*/
class PreampStage
{
public:
    static constexpr double fadeSeconds = 0.05;

    PreampStage (double sampleRate, int maximumBlockSize, KernelSet kernels = InstructionSet::forThisMachine());

    /** Any thread: selects an entry of IR_list by index (clamped to the list). */
    void select (int index) noexcept;

    /** Audio thread: processes one or two channels in place. */
    void process (float* left, float* right, int numSamples, bool stereo) noexcept;

    /** Audio thread: forgets the past signal, as at the start of a new stream, and ends any fade. */
    void reset() noexcept;

    /** Audio thread: whether the stage passes the signal untouched at the moment. */
    bool isPassingThrough() const noexcept { return current == nullptr && fadeRemaining == 0; }

    int getFadeLength() const noexcept { return fadeLength; }

    /** The prepared responses, for tests and measurements. */
    const PreampResponses& getResponses() const noexcept { return *responses; }

    /** The partition size used at a sample rate. */
    static int partitionSizeFor (double sampleRate) noexcept;

private:
    struct Voice
    {
        const PreampResponses::Response* response = nullptr; // nullptr: the dry signal
        std::array<AlignedFloats, 2> tail;                   // this partition's tail output
    };

    void takeUpSelection() noexcept;
    void startFadeTo (const PreampResponses::Response* next) noexcept;
    void appendToHistory (const float* left, const float* right, int numSamples) noexcept;
    void makeRoomInHistory (int numSamples) noexcept;
    void completePartition() noexcept;
    void transformWindow (int windowEnd, int slot) noexcept;
    void rebuildSpectra() noexcept;
    void computeTail (Voice& voice) noexcept;
    void render (const Voice& voice, int channel, int numSamples, float* out) noexcept;
    void processSegment (float* left, float* right, int numSamples, bool stereo) noexcept;

    const std::shared_ptr<const PreampResponses> responses;
    const int partitionSize, fftSize, maxPartitions, fadeLength;
    int halvesSize = 0; // floats of the half spectra of one partition
    const DirectFir::Kernel fir;

    std::atomic<int> selectedIndex{ 0 };

    // Audio thread.
    int takenIndex = 0;
    bool started = false;
    const PreampResponses::Response* current = nullptr;
    Voice voices[2]; // [0] the current choice, [1] the one fading out
    int currentVoice = 0;
    int fadeRemaining = 0;

    std::array<AlignedFloats, 2> history;
    int historyKeep = 0;   // samples of the past kept at the front when the history moves
    int writePosition = 0; // index of the next input sample in `history`
    int phase = 0;         // samples of the current partition received so far

    // The half spectra of both input channels of the last maxPartitions partitions, newest at
    // `newestSlot`.
    AlignedFloats inputHalves;
    int newestSlot = 0;
    bool spectraCurrent = true; // false after a stretch of plain pass-through

    AlignedFloats fftRe, fftIm, outputHalves;
    std::vector<StereoFft::HalfTerm> terms;
    std::array<AlignedFloats, 2> wet, dry;
};
