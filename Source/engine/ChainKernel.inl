// The per-sample loop of the equaliser chain, included once for each instruction set by
// TrellaDSP.cpp inside a namespace, with the matching target options in force (with FMA the
// multiply-adds of the sections are fused).

template <bool stereo, bool eqOn, int numStages>
void runSamples (TrellaDSP::BlockContext& block) noexcept
{
    // The sections as local values with a count known here, so that their states stay in registers.
    constexpr int size = numStages > 0 ? numStages : 1;
    PairCoefficients coefficients[(size_t) size];
    PairState states[(size_t) size];
    for (int s = 0; s < numStages; ++s)
    {
        coefficients[s] = block.chain[s].coefficients;
        states[s] = block.chain[s].state;
    }

    float* const left = block.left;
    float* const right = block.right;
    Analyzer* const tapBefore = block.tapBefore;
    Analyzer* const tapAfter = block.tapAfter;
    const auto outputGain = block.outputGain;
    auto meters = FollowerQuad::load (block.levelFollowers);
    auto& phaseFollower = *block.phaseFollower;
    const auto phaseCoefficients = phaseFollower.loadCoefficients();
    float phase = phaseFollower.getEnvelope();

    for (int i = 0; i < block.numSamples; ++i)
    {
        const float inLeft = left[i];
        const float inRight = stereo ? right[i] : inLeft;
        float l = inLeft, r = inRight;

        if (tapBefore != nullptr)
            tapBefore->pushSample (l + r);

        // With the equaliser off the output meters fall to silence while the audio passes.
        float outLeftInput = 1.0e-8f, outRightInput = 1.0e-8f;

        if constexpr (eqOn)
        {
            auto pair = SamplePair::of (l, r);

#pragma GCC unroll 8
            for (int s = 0; s < numStages; ++s)
                pair = states[s].process (coefficients[s], pair);

            pair = pair * outputGain;
            l = (float) pair.left();
            r = (float) pair.right();
            outLeftInput = l;
            outRightInput = r;
        }

        if (tapAfter != nullptr)
            tapAfter->pushSample (l + r);

        const float sum = meters.process (inLeft, inRight, outLeftInput, outRightInput);

        // How different the two channels leaving the engine are, relative to their level.
        const float scale = sum < 0.001f ? 0.0f : 1.0f / (sum + 1.0e-8f);
        phase = phaseFollower.process (std::abs ((l - r) * scale), phaseCoefficients);

        if constexpr (eqOn)
        {
            left[i] = l;
            if constexpr (stereo)
                right[i] = r;
        }
    }

    for (int s = 0; s < numStages; ++s)
        block.chain[s].state = states[s];

    meters.store (block.levelFollowers, block.latest);
    block.phase = phase;
}

template <bool stereo, bool eqOn, int... numStages>
constexpr TrellaDSP::ChainKernels::Row kernelRow (std::integer_sequence<int, numStages...>)
{
    return { &runSamples<stereo, eqOn, numStages>... };
}

inline TrellaDSP::ChainKernels kernels()
{
    using Counts = std::make_integer_sequence<int, TrellaDSP::maxStages + 1>;
    return { { { kernelRow<false, false> (Counts{}), kernelRow<false, true> (Counts{}) },
               { kernelRow<true, false> (Counts{}), kernelRow<true, true> (Counts{}) } } };
}
