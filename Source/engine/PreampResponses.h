#pragma once

#include "AlignedFloats.h"
#include "StereoFft.h"

#include <array>
#include <memory>
#include <vector>

/** The impulse responses of the preamp choices, prepared for one sample rate and split the way the
    preamp stage convolves them: a head of `partitionSize` taps per channel, filtered directly, and a
    tail cut into partitions of `partitionSize` taps, each kept as the half spectra (of a transform
    of twice that size) of both channels (see StereoFft::getHalfSize).

    Built off the audio thread (it allocates and decodes); read-only afterwards.
*/
class PreampResponses
{
public:
    static constexpr double recordedRate = 44100.0;

    /** One response, both channels. */
    struct Response
    {
        int numTaps = 0;                   // length of the prepared response at the sample rate
        std::array<AlignedFloats, 2> head; // partitionSize taps per channel
        int numPartitions = 0;             // tail partitions
        // Tail spectra, partition after partition: the half spectra of both channels
        // (StereoFft::getHalfSize), halved and scaled for the inverse transform.
        AlignedFloats halves;
    };

    /** The spectra are computed with the FFT of the kernel set that will use them. */
    PreampResponses (double sampleRate, int partitionSize, KernelSet kernels);

    /** The responses for a rate, shared: preparing them takes a while at rates other than the
        recorded one, and hosts go back and forth between a few rates. The last `cachedRates` sets
        stay ready. Not for the audio thread.
    */
    static std::shared_ptr<const PreampResponses> forRate (double sampleRate, int partitionSize, KernelSet kernels);
    static constexpr size_t cachedRates = 4;

    /** The prepared response of an IR_list entry, or nullptr for "Neutral" or a missing file. */
    const Response* get (int index) const noexcept;

    int getPartitionSize() const noexcept { return partitionSize; }
    int getMaxPartitions() const noexcept { return maxPartitions; }
    const StereoFft& getFft() const noexcept { return fft; }

    /** Both channels of an embedded response at its recorded rate (empty if it cannot be read). */
    static std::array<std::vector<float>, 2> loadRecorded (const char* resourceName);

    /** The response as prepared for `sampleRate`: trimmed of trailing silence and resampled. */
    static std::array<std::vector<float>, 2> prepareForRate (const std::array<std::vector<float>, 2>& recorded,
                                                             double sampleRate);

private:
    void split (const std::array<std::vector<float>, 2>& taps, Response& response) const;

    const int partitionSize;
    const KernelSet kernelSet;
    StereoFft fft;
    std::vector<Response> responses; // one per IR_list entry
    std::vector<bool> present;
    double sampleRate;
    int maxPartitions = 0;
};
