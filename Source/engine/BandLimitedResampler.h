#pragma once

#include <vector>

/** Changes the sample rate of an impulse response with a Kaiser-windowed sinc interpolator, band
    limited to the lower of the two Nyquist frequencies, keeping the response's level: the result
    has the same frequency response as the source below that limit (only the part of the
    interpolation that would fall before time zero is left out, so the response stays causal).
*/
class BandLimitedResampler
{
public:
    static constexpr int zeroCrossings = 32; // on each side of the kernel's centre
    static constexpr double kaiserBeta = 9.0;

    static std::vector<float> resample (const std::vector<float>& source, double sourceRate, double targetRate);
};
