#pragma once

#include "Analyzer.h"
#include "AtomicEQParameters.h"
#include "BandType.h"
#include "EQParameters.h"
#include "EnvelopeFollower.h"
#include "ParameterIndex.h"
#include "PreampStage.h"
#include "StereoIIRFilter.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

/** Everything the filter chain needs to know at one moment: the designs of its six sections,
    which of them run, the switch and the output level. Both the audio thread and the curve on
    screen derive it from the settings with the same rules, so what is drawn is what is heard.
*/
struct ChainSettings
{
    FilterDesign hiPass, band[4], loPass;
    bool hiPassRuns = false, bandRuns[4]{}, loPassRuns = false;
    bool eqActive = false;
    float levelGain = 1.0f;
    int soloBand = -1;
};

/** The stereo equaliser engine: high-pass, four parametric bands, output level and low-pass,
    processed one sample pair at a time.

    Threads. Setters and setParameter may run on any thread, concurrently with each other and with
    the audio thread. They only store into atomics and count a settings version; the audio thread
    picks the new settings up at the start of its next block and designs the affected sections
    there, without allocating. Nothing here takes a lock.
*/
class TrellaDSP
{
public:
    static constexpr int numBands = 4;
    static constexpr int numParameters = ParameterIndex::count;
    static constexpr float hiPassInertFrequency = 20.0f;
    static constexpr float loPassInertFrequency = 20000.0f;
    static constexpr float passFilterQ = 0.5f;
    static constexpr float minimumQ = 0.01f;

    static constexpr EQParameters DefaultParameters{ 20.0f,
                                                     20000.0f,
                                                     0.0f,
                                                     { { 0.0f, 120.0f, 1.0f, 0, BandType::LowShelf },
                                                       { 0.0f, 1000.0f, 1.0f, 0, BandType::Peak },
                                                       { 0.0f, 4200.0f, 1.0f, 0, BandType::Peak },
                                                       { 0.0f, 8500.0f, 1.0f, 0, BandType::HighShelf } },
                                                     0,
                                                     0 };

    /** An engine for a sample rate and a largest block; its vector kernels are those of a set
        (the machine's by default; tests compare the sets).
    */
    TrellaDSP (double sampleRate, int blockSize, KernelSet kernels = InstructionSet::forThisMachine());
    ~TrellaDSP();

    /** Reports a change made through a setter, as (parameter index, normalised value). */
    std::function<void (int index, float normalised)> onParameterChanged;

    /** Setters report through onParameterChanged only while this is set. */
    std::atomic<bool> notifyHost{ true };

    /** Reports that a user's edit of a parameter starts (true) or ends (false). */
    std::function<void (int index, bool starting)> onChangeGesture;

    /** Brackets a user's edit of a parameter (index 0..22), message thread only. Brackets may nest
        and overlap: only the first begin and the matching last end of a parameter are reported, so
        a drag that also passes single changes through the same parameter stays one edit. An end
        without a begin is ignored. Edits still open when the engine is destroyed are ended then.
    */
    void beginChangeGesture (int index);
    void endChangeGesture (int index);

    /** How many brackets of a parameter are open (0 for an index outside 0..22). */
    int getOpenChangeGestures (int index) const noexcept;

    /** Scratch space of the response curve on screen; the engine itself never touches it. */
    float magnitudes[600]{};

    /** The spectrum analyser, fed from the chain once it exists; shown (never owned) by the
        interface. It is a window component, so it is made on the message thread, when the engine
        is first handed to the interface (makeAnalyzer), and an engine that has one is destroyed on
        the message thread (EngineSlot sees to both). Engines nobody shows never have one, so they
        may be built and destroyed on any thread. Any thread may read the pointer.
    */
    Analyzer* getAnalyzer() const noexcept { return analyzer.load (std::memory_order_acquire); }

    /** Message thread: makes the analyser if there is none yet; returns it. */
    Analyzer& makeAnalyzer();

    /** Whether samples are fed to the analyser, and whether before (true) or after the chain. */
    std::atomic<bool> showAnalyzer{ true };
    std::atomic<bool> analyzerPreEQ{ false };

    /** Level followers of the input and output channels, and the follower of the phase reading. */
    EnvelopeFollower inLeftFollower, inRightFollower, outLeftFollower, outRightFollower, phaseFollower;

    /** The latest readings: linear envelopes (1.0 = full scale) and phase (0 equal .. 1 opposite). */
    struct MeterValues
    {
        std::atomic<float> inLeft{ 0.0f }, inRight{ 0.0f }, outLeft{ 0.0f }, outRight{ 0.0f }, phase{ 0.0f };
    } meterValues;

    /** Copies the five readings, in this order. */
    void getEnv (float& inLeft, float& inRight, float& outLeft, float& outRight, float& phase) const noexcept;

    /** Sets the fall time of all five meters (the attacks stay 10 ms, 50 ms for the phase). */
    void setMeterReleaseTime (float milliseconds) noexcept;

    /** The fall time last given to setMeterReleaseTime, in milliseconds. */
    float getMeterReleaseTime() const noexcept { return meterReleaseMs.load (std::memory_order_relaxed); }

    /** Takes over what another engine was told that no parameter holds: the soloed band, whether
        and where the analyser is fed, and the meters' fall time. Any thread; meant for an engine
        that replaces `previous` and is not yet in use.
    */
    void takeOverStateFrom (const TrellaDSP& previous) noexcept;

    static constexpr float levelAttackMs = 10.0f;
    static constexpr float phaseAttackMs = 50.0f;
    static constexpr float defaultReleaseMs = 1000.0f;

    //==============================================================================
    /** Processes a block in place: channel 0 and 1 as a stereo pair, a buffer with any other
        channel count as channel 0 alone. Samples that are not finite are replaced by silence.
    */
    void Process (juce::AudioBuffer<float>& buffer) noexcept;

    /** Processes one sample pair in place. */
    void ProcessEQ (float& left, float& right) noexcept;

    /** Clears the state of every section before the next block. */
    void Reset (bool clearAnalyzer) noexcept;

    /** Any thread: before the next block, clears everything the signal left behind: the filter
        sections, the meter followers and readings, the preamp's history and the analyser.
    */
    void clearAllStates() noexcept;

    /** Applies DefaultParameters through the setters, the preamp choice included. */
    void LoadDefaults();

    //==============================================================================
    void setBandGain (int bandIndex, float dB);
    void setBandFrequency (int bandIndex, float hz);
    void setBandQ (int bandIndex, float q);
    void setBandType (int bandIndex, int type);
    void setBandActive (int bandIndex, bool on);
    void setHiPass (float hz);
    void setLoPass (float hz);
    void setLevel (float dB);
    void setEqActive (bool on);
    void setPreampType (int index);
    void setBandSolo (int bandIndex, bool on);

    /** The normalised value of a parameter (0 for an index outside 0..22). */
    float getParameter (int index) const noexcept;

    /** Applies a normalised value through the value laws (see ValueLaws), without reporting it back. */
    void setParameter (int index, float normalised);

    //==============================================================================
    /** The current setting in engineering units; safe to call from any thread. */
    EQParameters getParams() const noexcept { return params.load(); }

    int getSoloBand() const noexcept { return soloBand.load (std::memory_order_relaxed); }
    bool isBandSoloed (int bandIndex) const noexcept { return bandIndex >= 0 && bandIndex == getSoloBand(); }

    /** The designs the audio thread will use for the current settings. */
    ChainSettings getChainSettings() const noexcept;

    double getSampleRate() const noexcept { return sampleRate; }
    int getBlockSize() const noexcept { return blockSize; }

    /** Linear factor of a gain in dB: 0 at -100 dB and below, at most +100 dB. */
    static float decibelsToFactor (float dB) noexcept;

    /** The type a band plays while soloed: its band-pass, low-pass or high-pass counterpart. */
    static int soloTypeFor (int type) noexcept;

    /** The section of every filter as the settings ask for it, with the solo rules applied. */
    static ChainSettings makeChainSettings (const EQParameters& settings, const int (&designTypes)[numBands],
                                            int soloBand) noexcept;

    static constexpr int numPreampTypes = 8;

private:
    static bool isBand (int bandIndex) noexcept { return bandIndex >= 0 && bandIndex < numBands; }

    void applyBandGain (int bandIndex, float dB, bool notify);
    void applyBandFrequency (int bandIndex, float hz, bool notify);
    void applyBandQ (int bandIndex, float q, bool notify);
    void applyBandType (int bandIndex, int type, bool notify);
    void applyBandActive (int bandIndex, bool on, bool notify);
    void applyHiPass (float hz, bool notify);
    void applyLoPass (float hz, bool notify);
    void applyLevel (float dB, bool notify);
    void applyEqActive (bool on, bool notify);
    void applyPreampType (int index, bool notify);
    /** Applies a band's frequency, gain, Q, switch or type parameter, given in its unit. */
    void setBandParameter (int parameterIndex, float units, bool notify);
    void applyDefaults (bool notify);

    void settingsChanged() noexcept { settingsVersion.fetch_add (1, std::memory_order_acq_rel); }
    void report (int index, bool notify);

    // Audio thread.
    void beginBlock() noexcept;
    void endBlock() noexcept;
    void applySettings() noexcept;
    void resetFilterStates() noexcept;
    void processSection (float* left, float* right, int numSamples, bool stereo) noexcept;
    template <bool stereo, bool eqOn>
    void runChain (float* left, float* right, int numSamples) noexcept;

public:
    // The per-sample loop, compiled for SSE2 and for AVX2 with FMA and chosen at run time; not for
    // use outside the engine.
    static constexpr int maxStages = numBands + 2;

    /** A section's coefficients and state, copied for the length of a block. */
    struct ChainStage
    {
        PairCoefficients coefficients;
        PairState state;
    };

    /** What the loop over one block needs, and what it hands back (`latest`, `phase`). */
    struct BlockContext
    {
        float* left;
        float* right;
        int numSamples;
        ChainStage* chain;
        SamplePair outputGain;
        Analyzer* tapBefore;
        Analyzer* tapAfter;
        EnvelopeFollower* levelFollowers[4];
        EnvelopeFollower* phaseFollower;
        float latest[4];
        float phase;
    };

    struct ChainKernels
    {
        using Kernel = void (*) (BlockContext&) noexcept;
        using Row = std::array<Kernel, maxStages + 1>;
        Row rows[2][2]; // [stereo][eqOn][number of sections]
    };

private:
    static const ChainKernels& chainKernelsFor (KernelSet kernels);

    const ChainKernels& chainKernels;
    const double sampleRate;
    const int blockSize;

    AtomicEQParameters params;
    std::atomic<int> soloBand{ -1 };
    std::atomic<float> meterReleaseMs{ defaultReleaseMs };
    std::atomic<int> designType[numBands]; // last valid type of each band; used by the design
    std::atomic<std::uint32_t> settingsVersion{ 0 };
    std::atomic<std::uint32_t> resetRequests{ 0 };
    std::atomic<std::uint32_t> fullResetRequests{ 0 };
    int openGestures[numParameters]{}; // message thread

    PreampStage preamp;

    std::unique_ptr<Analyzer> analyzerOwner; // message thread
    std::atomic<Analyzer*> analyzer{ nullptr };

    // Owned by the audio thread.
    StereoIIRFilter hiPass, band[numBands], loPass;
    ChainSettings applied;
    std::uint32_t appliedVersion = ~0u;
    std::uint32_t appliedResets = 0;
    std::uint32_t appliedFullResets = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TrellaDSP)
};
