#pragma once

#include "engine/EQParameters.h"
#include "engine/TrellaDSP.h"
#include "text/EqualiserText.h"

#include <array>
#include <vector>

/** Turns an equaliser file (see EqualiserText) into a setting of the 23 parameters: this is what
    importing a headphone or room correction does.

    When the file's filters fit the equaliser's sections, they are taken over one to one: at most
    one low shelf or peak for band 1, peaks for bands 2 and 3, one high shelf or peak for band 4,
    one high-pass and one low-pass with the pass filters' fixed Q of 0.5, every value within its
    parameter's range, and the preamp within the output level's +-12 dB. A shelf given with a
    slope has been turned into its Q on reading.

    Otherwise the equaliser is fitted to the file's combined response (EqualiserFit) over a
    logarithmic grid from 20 Hz to 20 kHz. Both the file's response (cookbook formulas) and ours
    (the engine's coefficients) are digital filters at the same sample rate, 48 kHz, so their
    frequency warping near the top of the range is the same. A fit that is not better than a flat
    equaliser is replaced by a flat equaliser.

    Either way the result says how far its response lies from the file's: the largest and the RMS
    deviation in dB and the frequency of the largest, measured on the setting as the parameters
    will hold it (after their value laws).

    The setting switches the equaliser on and the preamp to "Neutral", since these files know
    nothing of a preamp colour; a caller that wants to keep the user's preamp leaves that value out.
*/
class EqualiserImport
{
public:
    static constexpr double sampleRate = 48000.0;
    static constexpr int gridPoints = 241; // 24 per octave

    struct Deviation
    {
        double largestDb = 0.0;
        double rmsDb = 0.0;
        double largestAtHz = 0.0;

        /** "1.23 dB at 5.6 kHz, RMS 0.45 dB" */
        juce::String describe() const;
    };

    struct Result
    {
        juce::String error;                     // set when the file gives nothing to import
        std::vector<EqualiserText::Note> notes; // lines of the file that were not used
        int filtersRead = 0;
        bool exact = false;         // each filter took a section of its own
        juce::String whyFitted;     // what kept the file from fitting one to one
        bool flatWasBetter = false; // the fit came no closer than a flat equaliser, which is used
        EQParameters setting = TrellaDSP::DefaultParameters;
        std::array<float, TrellaDSP::numParameters> values{}; // normalised, by parameter index
        Deviation deviation, flatDeviation;

        bool isUsable() const noexcept { return error.isEmpty(); }

        /** One line on how the file was taken over, with the deviation figures. */
        juce::String summary() const;
    };

    static Result fromText (const juce::String& text);
    static Result fromFile (const juce::File& file);
    static Result fromReading (const EqualiserText::Result& reading);

    /** The response the file asks for over the grid, in dB. */
    static std::vector<double> targetDecibels (const EqualiserText::Result& reading,
                                               const std::vector<double>& frequencies);

    /** The setting that a set of normalised values gives through the value laws. */
    static EQParameters settingFromValues (const std::array<float, TrellaDSP::numParameters>& values);

    /** How far a setting's response lies from a target over a grid. */
    static Deviation measure (const EQParameters& setting, const std::vector<double>& frequencies,
                              const std::vector<double>& targetDb);
};
