#pragma once

#include <juce_core/juce_core.h>

#include <vector>

/** Reads equaliser settings written as text in the syntax of Equalizer APO's configuration files,
    which is how AutoEQ publishes headphone corrections ("ParametricEQ.txt") and how REW exports
    the filters it computes:

        Preamp: -6.1 dB
        Filter 1: ON LSC Fc 105 Hz Gain 6.4 dB Q 0.70
        Filter 2: ON PK Fc 190 Hz Gain -2,1 dB BW Oct 1.5

    What is read:
    - `Preamp: G dB` (several lines add up);
    - `Filter: ON|OFF TYPE ...` and `Filter N: ...` with the types PK/PEQ (peak), LS/LSC and HS/HSC
      (shelves, with a Q or with a slope in dB per octave: "LSC 6dB" or "LS 12 dB"), LP/LPQ and
      HP/HPQ (second-order low- and high-pass), and the fields `Fc` (Hz or kHz), `Gain` (dB), `Q`
      and `BW Oct` (bandwidth in octaves, turned into a Q);
    - a point or a comma as the decimal mark; `#` starts a comment; case does not matter;
    - `Channel:` lines: filters that act on only some channels are not used, since one curve acts
      on both channels here.

    Every line that is not used is named with its number and the reason, and the rest of the file
    is still read. The frequency of a shelf is the frequency of the cookbook formulas these tools
    compute with (the middle of the shelf's slope). A shelf or pass filter without a Q has the
    Butterworth Q of 1/sqrt(2) (a shelf slope of 12 dB per octave).

    Nothing here depends on the engine: the result is what the file says, in its own terms.
*/
class EqualiserText
{
public:
    enum class FilterKind
    {
        peak,
        lowShelf,
        highShelf,
        lowPass,
        highPass
    };

    /** One switched-on filter of the file. Gain is 0 for the pass filters. */
    struct Filter
    {
        FilterKind kind = FilterKind::peak;
        double frequency = 1000.0; // Hz
        double gainDb = 0.0;
        double q = 0.7071067811865476;
        int line = 0; // 1-based line number in the file
    };

    /** Something said about the file: a line that is not used (line > 0) or about the whole file. */
    struct Note
    {
        int line = 0;
        juce::String text;

        juce::String describe() const;
    };

    struct Result
    {
        std::vector<Filter> filters; // in the file's order
        double preampDb = 0.0;
        bool hasPreamp = false;
        std::vector<Note> notes; // at most maximumNotes, then one note counting the rest
        int linesNotUsed = 0;    // lines with content that was not used, all of them counted
        juce::String error;      // set when nothing in the file can be used

        bool isUsable() const noexcept { return error.isEmpty(); }
    };

    static Result read (const juce::String& text);

    /** Reads a file: UTF-8 (with or without a byte-order mark), UTF-16 with a byte-order mark, or
        else one byte per character. A missing, unreadable or oversized file is an error.
    */
    static Result readFile (const juce::File& file);

    static constexpr juce::int64 maximumFileSize = 4 << 20;
    static constexpr int maximumLineLength = 1000;
    static constexpr int maximumFilters = 1000;
    static constexpr int maximumNotes = 100;

    // What a filter line may say and still be meant as a filter.
    static constexpr double lowestFrequency = 1.0, highestFrequency = 100000.0;
    static constexpr double largestGainDb = 100.0;
    static constexpr double smallestQ = 0.001, largestQ = 1000.0;
    static constexpr double butterworthQ = 0.7071067811865476;

    /** The Q of a bandwidth in octaves: sqrt(2^N) / (2^N - 1). */
    static double qForBandwidth (double octaves) noexcept;

    /** The Q of a shelf with a slope in dB per octave (12 dB per octave is the cookbook's slope
        S = 1, the steepest without overshoot), or 0 when the slope is too steep for the gain.
    */
    static double qForShelfSlope (double dBPerOctave, double gainDb) noexcept;

    static juce::String describe (FilterKind kind);
};
