#pragma once

#include <vector>

/** Changes the sample rate of an impulse response, keeping its level and magnitude response: a
    Kaiser-windowed sinc interpolator, band limited to the lower of the two Nyquist frequencies, then
    the minimum-phase response with that magnitude, so that the result starts at time zero like the
    source (the plain interpolation rings ahead of a response's first sample, and cutting that off
    changes the level by up to a decibel).
*/
class BandLimitedResampler
{
public:
    static constexpr int zeroCrossings = 32; // on each side of the kernel's centre
    static constexpr double kaiserBeta = 9.0;

    static std::vector<float> resample (const std::vector<float>& source, double sourceRate, double targetRate);
};
