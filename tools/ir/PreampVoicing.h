#pragma once

#include <vector>

/** One tone-shaping stage of a voicing: a gentle shelf, peak or top roll-off. */
struct ToneBand
{
    enum class Kind
    {
        peak,
        lowShelf,
        highShelf,
        lowPass
    };

    Kind kind;
    double frequency;
    double q;
    double gainDb; // unused by lowPass
};

/** The character of one preamp response: the stages that shape it and how far the right channel
    strays from the left (two channels of real hardware never match exactly).
*/
struct PreampVoicing
{
    const char* fileName;
    const char* character;
    std::vector<ToneBand> bands;
    double rightFrequencyScale = 1.0;
    double rightGainScale = 1.0;
    double rightLevelDb = 0.0;

    /** The eight voicings, in the order of the embedded files. */
    static const std::vector<PreampVoicing>& all();
};
