#include "TrellaDSP.h"
#include "InstructionSetRegion.h"

#include "FollowerQuad.h"
#include "IR_list.h"
#include "ParameterIndex.h"
#include "ValueLaws.h"

#include <cmath>
#include <utility>

static_assert (TrellaDSP::numPreampTypes == std::tuple_size_v<decltype (IR_list)>, "one preamp index per list entry");

namespace
{
    constexpr double fallbackSampleRate = 44100.0;

    double usableSampleRate (double rate) noexcept
    {
        return std::isfinite (rate) && rate >= 1000.0 && rate <= 1.0e6 ? rate : fallbackSampleRate;
    }

    /** Replaces every sample that is not finite by 0; returns whether it found one. */
    bool replaceNonFinite (float* samples, int numSamples) noexcept
    {
        constexpr std::uint32_t exponentMask = 0x7f800000u;
        std::uint32_t nonFinite = 0;

        for (int i = 0; i < numSamples; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            nonFinite |= (bits & exponentMask) == exponentMask ? 1u : 0u;
        }

        if (nonFinite == 0)
            return false;

        for (int i = 0; i < numSamples; ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;

        return true;
    }
} // namespace

TrellaDSP::TrellaDSP (double rate, int size, KernelSet kernels)
    : chainKernels (chainKernelsFor (kernels))
    , sampleRate (usableSampleRate (rate))
    , blockSize (juce::jmax (1, size))
    , preamp (sampleRate, blockSize, kernels)
    , hiPass (sampleRate)
    , band{ StereoIIRFilter (sampleRate), StereoIIRFilter (sampleRate), StereoIIRFilter (sampleRate),
            StereoIIRFilter (sampleRate) }
    , loPass (sampleRate)
{
    for (int b = 0; b < numBands; ++b)
        designType[b].store (DefaultParameters.band[b].type);

    for (auto* follower : { &inLeftFollower, &inRightFollower, &outLeftFollower, &outRightFollower })
        follower->prepare ((float) sampleRate, levelAttackMs, defaultReleaseMs);
    phaseFollower.prepare ((float) sampleRate, phaseAttackMs, defaultReleaseMs);

    applyDefaults (false);
}

Analyzer& TrellaDSP::makeAnalyzer()
{
    if (analyzerOwner == nullptr)
    {
        analyzerOwner = std::make_unique<Analyzer> (sampleRate);
        analyzer.store (analyzerOwner.get(), std::memory_order_release);
    }
    return *analyzerOwner;
}

TrellaDSP::~TrellaDSP()
{
    // An edit still open would stay open for the host for good.
    for (int index = 0; index < numParameters; ++index)
        if (openGestures[index] > 0)
        {
            openGestures[index] = 0;
            if (onChangeGesture)
                onChangeGesture (index, false);
        }
}

//==============================================================================
void TrellaDSP::beginChangeGesture (int index)
{
    if (index < 0 || index >= numParameters)
        return;

    if (openGestures[index]++ == 0 && onChangeGesture)
        onChangeGesture (index, true);
}

void TrellaDSP::endChangeGesture (int index)
{
    if (index < 0 || index >= numParameters || openGestures[index] == 0)
        return;

    if (--openGestures[index] == 0 && onChangeGesture)
        onChangeGesture (index, false);
}

int TrellaDSP::getOpenChangeGestures (int index) const noexcept
{
    return index >= 0 && index < numParameters ? openGestures[index] : 0;
}

//==============================================================================
void TrellaDSP::LoadDefaults()
{
    applyDefaults (true);
}

void TrellaDSP::applyDefaults (bool notify)
{
    params.store (DefaultParameters);

    for (int b = 0; b < numBands; ++b)
    {
        const auto& d = DefaultParameters.band[b];
        applyBandGain (b, d.gain, notify);
        applyBandFrequency (b, d.frequency, notify);
        applyBandQ (b, d.q, notify);
        applyBandType (b, d.type, notify);
        applyBandActive (b, d.active != 0, notify);
    }

    applyHiPass (DefaultParameters.hiPassFreq, notify);
    applyLoPass (DefaultParameters.loPassFreq, notify);
    applyLevel (DefaultParameters.level, notify);
    applyEqActive (false, notify);
    applyPreampType (DefaultParameters.preampType, notify);
}

//==============================================================================
void TrellaDSP::setBandGain (int b, float dB)
{
    applyBandGain (b, dB, true);
}
void TrellaDSP::setBandFrequency (int b, float hz)
{
    applyBandFrequency (b, hz, true);
}
void TrellaDSP::setBandQ (int b, float q)
{
    applyBandQ (b, q, true);
}
void TrellaDSP::setBandType (int b, int type)
{
    applyBandType (b, type, true);
}
void TrellaDSP::setBandActive (int b, bool on)
{
    applyBandActive (b, on, true);
}
void TrellaDSP::setHiPass (float hz)
{
    applyHiPass (hz, true);
}
void TrellaDSP::setLoPass (float hz)
{
    applyLoPass (hz, true);
}
void TrellaDSP::setLevel (float dB)
{
    applyLevel (dB, true);
}
void TrellaDSP::setEqActive (bool on)
{
    applyEqActive (on, true);
}
void TrellaDSP::setPreampType (int index)
{
    applyPreampType (index, true);
}

void TrellaDSP::report (int index, bool notify)
{
    if (notify && notifyHost.load() && onParameterChanged)
        onParameterChanged (index, getParameter (index));
}

void TrellaDSP::applyBandGain (int b, float dB, bool notify)
{
    if (! isBand (b) || std::isnan (dB))
        return;

    params.band[b].gain.store (dB);
    settingsChanged();
    report (ParameterIndex::bandGain (b), notify);
}

void TrellaDSP::applyBandFrequency (int b, float hz, bool notify)
{
    if (! isBand (b) || ! std::isfinite (hz))
        return;

    params.band[b].frequency.store (hz);
    settingsChanged();
    report (ParameterIndex::bandFrequency (b), notify);
}

void TrellaDSP::applyBandQ (int b, float q, bool notify)
{
    if (! isBand (b) || ! std::isfinite (q))
        return;

    params.band[b].q.store (juce::jmax (minimumQ, q));
    settingsChanged();
    report (ParameterIndex::bandQ (b), notify);
}

void TrellaDSP::applyBandType (int b, int type, bool notify)
{
    if (! isBand (b))
        return;

    // Changing any band's type ends solo altogether.
    soloBand.store (-1);
    params.band[b].type.store (type);

    if (BandType::isValid (type))
        designType[b].store (type);

    settingsChanged();

    if (const int index = ParameterIndex::bandType (b); index >= 0)
        report (index, notify);
}

void TrellaDSP::applyBandActive (int b, bool on, bool notify)
{
    if (! isBand (b))
        return;

    params.band[b].active.store (on ? 1 : 0);
    settingsChanged();
    report (ParameterIndex::bandActive (b), notify);
}

void TrellaDSP::applyHiPass (float hz, bool notify)
{
    if (! std::isfinite (hz))
        return;

    params.hiPassFreq.store (hz);
    settingsChanged();
    report (ParameterIndex::hiPass, notify);
}

void TrellaDSP::applyLoPass (float hz, bool notify)
{
    if (! std::isfinite (hz))
        return;

    params.loPassFreq.store (hz);
    settingsChanged();
    report (ParameterIndex::loPass, notify);
}

void TrellaDSP::applyLevel (float dB, bool notify)
{
    if (std::isnan (dB))
        return;

    params.level.store (dB);
    settingsChanged();
    report (ParameterIndex::level, notify);
}

void TrellaDSP::applyEqActive (bool on, bool notify)
{
    params.eqActive.store (on ? 1 : 0);

    if (! on)
        Reset (false);

    settingsChanged();
    report (ParameterIndex::eqActive, notify);
}

void TrellaDSP::applyPreampType (int index, bool notify)
{
    // Any index outside the list selects its nearest entry, so the last entry stays reachable
    // from a normalised value of exactly 1.
    const int entry = juce::jlimit (0, numPreampTypes - 1, index);
    preamp.select (entry);
    params.preampType.store (entry);
    settingsChanged();
    report (ParameterIndex::preampType, notify);
}

void TrellaDSP::setBandSolo (int b, bool on)
{
    if (! isBand (b))
        return;

    soloBand.store (on ? b : -1);
    settingsChanged();
}

//==============================================================================
float TrellaDSP::decibelsToFactor (float dB) noexcept
{
    return dB > -100.0f ? std::pow (10.0f, juce::jmin (dB, 100.0f) / 20.0f) : 0.0f;
}

float TrellaDSP::getParameter (int index) const noexcept
{
    return ValueLaws::normalisedValueOf (params.load(), index);
}

void TrellaDSP::setParameter (int index, float v)
{
    // A value that is not a number would poison the whole setting; it changes nothing.
    if (std::isnan (v))
        return;

    constexpr bool notify = false;
    const float units = ValueLaws::unitsFromNormalised (index, v);

    if (index == ParameterIndex::eqActive)
        applyEqActive (units != 0.0f, notify);
    else if (index == ParameterIndex::level)
        applyLevel (units, notify);
    else if (index == ParameterIndex::loPass)
        applyLoPass (units, notify);
    else if (index == ParameterIndex::hiPass)
        applyHiPass (units, notify);
    else if (index == ParameterIndex::preampType)
        applyPreampType ((int) units, notify);
    else
        setBandParameter (index, units, notify);
}

void TrellaDSP::setBandParameter (int index, float units, bool notify)
{
    if (index < 0 || index >= numParameters)
        return;

    for (int b = 0; b < numBands; ++b)
    {
        if (index == ParameterIndex::bandFrequency (b))
            applyBandFrequency (b, units, notify);
        else if (index == ParameterIndex::bandGain (b))
            applyBandGain (b, units, notify);
        else if (index == ParameterIndex::bandQ (b))
            applyBandQ (b, units, notify);
        else if (index == ParameterIndex::bandActive (b))
            applyBandActive (b, units != 0.0f, notify);
        else if (index == ParameterIndex::bandType (b))
            applyBandType (b, (int) units, notify);
    }
}

//==============================================================================
int TrellaDSP::soloTypeFor (int type) noexcept
{
    switch (type)
    {
        case BandType::LowShelf:
            return BandType::LowPass;
        case BandType::HighShelf:
            return BandType::HighPass;
        case BandType::Peak:
            return BandType::BandPass;
        default:
            return type;
    }
}

ChainSettings TrellaDSP::makeChainSettings (const EQParameters& p, const int (&designTypes)[numBands],
                                            int solo) noexcept
{
    ChainSettings c;
    c.soloBand = isBand (solo) ? solo : -1;
    c.eqActive = p.eqActive != 0;
    c.levelGain = decibelsToFactor (p.level);

    c.hiPass = { BandType::HighPass, p.hiPassFreq, passFilterQ, 1.0f };
    c.hiPassRuns = p.hiPassFreq > hiPassInertFrequency;
    c.loPass = { BandType::LowPass, p.loPassFreq, passFilterQ, 1.0f };
    c.loPassRuns = p.loPassFreq < loPassInertFrequency;

    for (int b = 0; b < numBands; ++b)
    {
        const bool soloed = b == c.soloBand;
        const int type = soloed ? soloTypeFor (designTypes[b]) : designTypes[b];
        c.band[b] = { type, p.band[b].frequency, p.band[b].q, decibelsToFactor (p.band[b].gain) };
        c.bandRuns[b] = c.soloBand >= 0 ? soloed : p.band[b].active != 0;
    }

    return c;
}

ChainSettings TrellaDSP::getChainSettings() const noexcept
{
    int types[numBands];
    for (int b = 0; b < numBands; ++b)
        types[b] = designType[b].load (std::memory_order_relaxed);

    return makeChainSettings (params.load(), types, soloBand.load (std::memory_order_relaxed));
}

//==============================================================================
void TrellaDSP::Reset (bool clearAnalyzer) noexcept
{
    resetRequests.fetch_add (1, std::memory_order_acq_rel);

    for (auto* reading :
         { &meterValues.inLeft, &meterValues.inRight, &meterValues.outLeft, &meterValues.outRight, &meterValues.phase })
        reading->store (0.0f, std::memory_order_relaxed);

    if (auto* shown = getAnalyzer(); clearAnalyzer && shown != nullptr)
        shown->clear();
}

void TrellaDSP::clearAllStates() noexcept
{
    fullResetRequests.fetch_add (1, std::memory_order_acq_rel);
    Reset (true);
}

void TrellaDSP::getEnv (float& inLeft, float& inRight, float& outLeft, float& outRight, float& phase) const noexcept
{
    inLeft = meterValues.inLeft.load (std::memory_order_relaxed);
    inRight = meterValues.inRight.load (std::memory_order_relaxed);
    outLeft = meterValues.outLeft.load (std::memory_order_relaxed);
    outRight = meterValues.outRight.load (std::memory_order_relaxed);
    phase = meterValues.phase.load (std::memory_order_relaxed);
}

void TrellaDSP::setMeterReleaseTime (float milliseconds) noexcept
{
    meterReleaseMs.store (milliseconds, std::memory_order_relaxed);
    for (auto* follower : { &inLeftFollower, &inRightFollower, &outLeftFollower, &outRightFollower })
        follower->setTimes (levelAttackMs, milliseconds);
    phaseFollower.setTimes (phaseAttackMs, milliseconds);
}

void TrellaDSP::takeOverStateFrom (const TrellaDSP& previous) noexcept
{
    setBandSolo (previous.getSoloBand(), true);
    showAnalyzer.store (previous.showAnalyzer.load());
    analyzerPreEQ.store (previous.analyzerPreEQ.load());
    setMeterReleaseTime (previous.getMeterReleaseTime());
}

void TrellaDSP::resetFilterStates() noexcept
{
    hiPass.reset();
    loPass.reset();
    for (auto& b : band)
        b.reset();
}

void TrellaDSP::applySettings() noexcept
{
    const auto previous = applied;
    applied = getChainSettings();
    hiPass.setDesign (applied.hiPass);
    loPass.setDesign (applied.loPass);
    for (int b = 0; b < numBands; ++b)
        band[b].setDesign (applied.band[b]);

    // A section that starts running again (switched on, or back after a solo) starts from silence,
    // not from whatever it held when it stopped.
    const auto restart = [&] (StereoIIRFilter& filter, bool ranBefore, bool runsNow)
    {
        if (runsNow && applied.eqActive && ! (ranBefore && previous.eqActive))
            filter.reset();
    };
    restart (hiPass, previous.hiPassRuns, applied.hiPassRuns);
    restart (loPass, previous.loPassRuns, applied.loPassRuns);
    for (int b = 0; b < numBands; ++b)
        restart (band[b], previous.bandRuns[b], applied.bandRuns[b]);
}

void TrellaDSP::beginBlock() noexcept
{
    const auto fullResets = fullResetRequests.load (std::memory_order_acquire);
    if (fullResets != appliedFullResets)
    {
        appliedFullResets = fullResets;
        for (auto* follower :
             { &inLeftFollower, &inRightFollower, &outLeftFollower, &outRightFollower, &phaseFollower })
            follower->reset();
        preamp.reset();
    }

    const auto resets = resetRequests.load (std::memory_order_acquire);
    if (resets != appliedResets)
    {
        appliedResets = resets;
        resetFilterStates();
    }

    const auto version = settingsVersion.load (std::memory_order_acquire);
    if (version != appliedVersion)
    {
        appliedVersion = version;
        applySettings();
    }

    if (auto* shown = getAnalyzer())
        shown->beginAudioBlock();
}

void TrellaDSP::endBlock() noexcept
{
    // A state that overflowed would otherwise keep the section silent or ringing for good.
    hiPass.resetIfNotFinite();
    loPass.resetIfNotFinite();
    for (auto& b : band)
        b.resetIfNotFinite();

    for (auto* follower : { &inLeftFollower, &inRightFollower, &outLeftFollower, &outRightFollower, &phaseFollower })
        follower->resetIfNotFinite();
}

namespace chainSse2
{
#include "ChainKernel.inl"
} // namespace chainSse2

KRO_BEGIN_INSTRUCTION_SET (KRO_AVX2_TARGET)
namespace chainAvx2
{
#include "ChainKernel.inl"
} // namespace chainAvx2
KRO_END_INSTRUCTION_SET

const TrellaDSP::ChainKernels& TrellaDSP::chainKernelsFor (KernelSet kernels)
{
    // Each table is made only when its set is asked for: the code that makes the AVX2 table is
    // itself compiled for AVX2. The chain has no AVX-512 kernels of its own (a section's two
    // channels fill a vector of two doubles), so that set takes the AVX2 kernels.
    if (kernels == KernelSet::sse2)
    {
        static const ChainKernels sse2 = chainSse2::kernels();
        return sse2;
    }
    static const ChainKernels avx2 = chainAvx2::kernels();
    return avx2;
}

template <bool stereo, bool eqOn>
void TrellaDSP::runChain (float* left, float* right, int numSamples) noexcept
{
    // The sections that run, in chain order. The output level sits just before the low-pass; when
    // that runs, the level is folded into its feed-forward coefficients (the same arithmetic, one
    // multiplication less per sample).
    ChainStage chain[maxStages];
    StereoIIRFilter* sources[maxStages];
    int numStages = 0;
    auto outputGain = SamplePair::both (applied.levelGain);

    auto add = [&] (StereoIIRFilter& section)
    {
        sources[numStages] = &section;
        chain[numStages++] = { section.getPairCoefficients(), section.state };
    };

    if constexpr (eqOn)
    {
        if (applied.hiPassRuns)
            add (hiPass);
        for (int b = 0; b < numBands; ++b)
            if (applied.bandRuns[b])
                add (band[b]);
        if (applied.loPassRuns)
        {
            add (loPass);
            auto& c = chain[numStages - 1].coefficients;
            c.b0 = c.b0 * outputGain;
            c.b1 = c.b1 * outputGain;
            c.b2 = c.b2 * outputGain;
            outputGain = SamplePair::both (1.0);
        }
    }

    auto* const fed = getAnalyzer();
    const bool feedAnalyzer = showAnalyzer.load (std::memory_order_relaxed) && fed != nullptr;
    const bool before = feedAnalyzer && analyzerPreEQ.load (std::memory_order_relaxed);

    BlockContext block{ left,
                        right,
                        numSamples,
                        chain,
                        outputGain,
                        before ? fed : nullptr,
                        feedAnalyzer && ! before ? fed : nullptr,
                        { &inLeftFollower, &inRightFollower, &outLeftFollower, &outRightFollower },
                        &phaseFollower,
                        {},
                        0.0f };
    chainKernels.rows[stereo ? 1 : 0][eqOn ? 1 : 0][(size_t) numStages](block);

    meterValues.inLeft.store (block.latest[0], std::memory_order_relaxed);
    meterValues.inRight.store (block.latest[1], std::memory_order_relaxed);
    meterValues.outLeft.store (block.latest[2], std::memory_order_relaxed);
    meterValues.outRight.store (block.latest[3], std::memory_order_relaxed);
    meterValues.phase.store (juce::jlimit (0.0f, 1.0f, block.phase), std::memory_order_relaxed);

    for (int s = 0; s < numStages; ++s)
        sources[s]->state = chain[s].state;
}

void TrellaDSP::processSection (float* left, float* right, int numSamples, bool stereo) noexcept
{
    replaceNonFinite (left, numSamples);
    if (stereo)
        replaceNonFinite (right, numSamples);

    beginBlock();
    preamp.process (left, right, numSamples, stereo);

    if (stereo)
        applied.eqActive ? runChain<true, true> (left, right, numSamples)
                         : runChain<true, false> (left, right, numSamples);
    else
        applied.eqActive ? runChain<false, true> (left, left, numSamples)
                         : runChain<false, false> (left, left, numSamples);

    endBlock();
}

void TrellaDSP::Process (juce::AudioBuffer<float>& buffer) noexcept
{
    const int numChannels = buffer.getNumChannels();
    const int numSamples = buffer.getNumSamples();

    if (numChannels <= 0 || numSamples <= 0)
        return;

    const juce::ScopedNoDenormals noDenormals;
    const bool stereo = numChannels == 2;

    // Hosts may send more samples than they prepared for; the engine works in sections of at most
    // the block size it was built for.
    for (int start = 0; start < numSamples; start += blockSize)
    {
        const int length = juce::jmin (blockSize, numSamples - start);
        float* left = buffer.getWritePointer (0, start);
        processSection (left, stereo ? buffer.getWritePointer (1, start) : left, length, stereo);
    }
}

void TrellaDSP::ProcessEQ (float& left, float& right) noexcept
{
    processSection (&left, &right, 1, true);
}
