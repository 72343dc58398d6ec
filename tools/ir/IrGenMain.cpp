// Writes the eight preamp impulse responses into the folder given on the command line and prints,
// for each, the measured figures that the embedded files must meet.

#include "ImpulseResponseRenderer.h"
#include "IrWavFile.h"
#include "PreampVoicing.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <iostream>

namespace
{
    std::vector<double> toDouble (const std::vector<int16_t>& samples)
    {
        std::vector<double> values;
        for (const auto s : samples)
            values.push_back (s / 32768.0);
        return values;
    }

    double gainDb (const std::vector<double>& response, double frequency)
    {
        return 20.0 * std::log10 (ImpulseResponseRenderer::gainAt (response, frequency));
    }

    double peakDbfs (const std::vector<int16_t>& samples)
    {
        int peak = 0;
        for (const auto s : samples)
            peak = std::max (peak, std::abs ((int) s));
        return 20.0 * std::log10 (peak / 32768.0);
    }

    /** Prints the channel's figures and returns false when one of them is out of bounds. */
    bool reportChannel (const char* name, const std::vector<int16_t>& samples)
    {
        const auto response = toDouble (samples);
        const double atReference = gainDb (response, 1000.0);
        const double atDc = gainDb (response, 0.0);
        const double peak = peakDbfs (samples);

        std::cout << "  " << name << ": 1 kHz " << juce::String (atReference, 2) << " dB, DC " << juce::String (atDc, 2)
                  << " dB, 100 Hz " << juce::String (gainDb (response, 100.0), 2) << " dB, 5 kHz "
                  << juce::String (gainDb (response, 5000.0), 2) << " dB, 12 kHz "
                  << juce::String (gainDb (response, 12000.0), 2) << " dB, peak " << juce::String (peak, 2)
                  << " dBFS\n";

        return std::abs (atReference) < 0.5 && std::abs (atDc - atReference) < 3.0 && peak < -0.5;
    }
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::cerr << "usage: KroIrGen <output folder>\n";
        return 2;
    }

    const juce::File folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    if (! folder.createDirectory())
    {
        std::cerr << "cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    bool allWithinBounds = true;

    for (const auto& voicing : PreampVoicing::all())
    {
        const auto response = ImpulseResponseRenderer::render (voicing);
        std::cout << voicing.fileName << " (" << voicing.character << ")\n";
        allWithinBounds = reportChannel ("L", response.left) && allWithinBounds;
        allWithinBounds = reportChannel ("R", response.right) && allWithinBounds;

        const auto bytes = IrWavFile::encode (response);
        if (! folder.getChildFile (voicing.fileName).replaceWithData (bytes.getData(), bytes.getSize()))
        {
            std::cerr << "cannot write " << voicing.fileName << "\n";
            return 1;
        }
    }

    if (! allWithinBounds)
    {
        std::cerr << "a response is off level, too loud or has a DC gain far from its 1 kHz gain\n";
        return 1;
    }

    return 0;
}
