#include "PreampVoicing.h"

namespace
{
    using K = ToneBand::Kind;
}

// Every voicing ends in a soft low-pass near the top of the band: besides sounding like a real
// input stage it spreads the first sample of the response, which keeps the brighter voicings below
// full scale at unity gain. Low-frequency stages stay broad so that their ringing has died away
// within the 10 ms the file holds, which keeps the truncated response free of DC surprises.
const std::vector<PreampVoicing>& PreampVoicing::all()
{
    static const std::vector<PreampVoicing> voicings{
        { "IR_01_Neve1073_dc.wav",
          "console preamp: gentle low bump, a touch of low-mid weight, soft top",
          { { K::peak, 95.0, 0.8, 1.6 },
            { K::peak, 700.0, 0.6, 0.5 },
            { K::highShelf, 9000.0, 0.6, -1.2 },
            { K::lowPass, 17500.0, 0.6, 0.0 } },
          1.012,
          0.97,
          0.03 },
        { "IR_02_API512_dc.wav",
          "punchy, mid-forward: firm low mids and a presence push around 2 kHz",
          { { K::peak, 160.0, 0.9, 1.0 },
            { K::peak, 2200.0, 0.8, 1.6 },
            { K::highShelf, 12000.0, 0.7, -0.8 },
            { K::lowPass, 19000.0, 0.6, 0.0 } },
          0.99,
          1.02,
          -0.04 },
        { "IR_03_DRAWMER1960_dc.wav",
          "tube-ish warm tilt: fuller lows, gently darker highs",
          { { K::lowShelf, 220.0, 0.55, 1.5 }, { K::highShelf, 4500.0, 0.5, -1.6 }, { K::lowPass, 18000.0, 0.6, 0.0 } },
          1.008,
          0.98,
          0.05 },
        { "IR_04_SS_MP573_dc.wav",
          "bright presence lift with a little extra air",
          { { K::peak, 4800.0, 0.8, 2.0 },
            { K::highShelf, 10000.0, 0.7, 1.0 },
            { K::peak, 250.0, 0.7, -0.4 },
            { K::lowPass, 20000.0, 0.55, 0.0 } },
          1.01,
          0.97,
          -0.03 },
        { "IR_05_OSA_MP1_dc.wav",
          "smooth and clean: barely-there low lift and a silky top",
          { { K::lowShelf, 70.0, 0.6, 0.6 }, { K::highShelf, 13000.0, 0.6, -0.7 }, { K::lowPass, 18500.0, 0.65, 0.0 } },
          0.995,
          1.01,
          0.02 },
        { "IR_06_UA1176_dc.wav",
          "compressor-ish and slightly dark, with a small difference between the channels",
          { { K::peak, 120.0, 0.8, 1.0 },
            { K::peak, 850.0, 0.7, 0.7 },
            { K::highShelf, 6000.0, 0.6, -2.0 },
            { K::lowPass, 16000.0, 0.6, 0.0 } },
          1.06,
          0.85,
          0.2 },
        { "IR_07_7X500_dc.wav",
          "open and airy: a slight scoop around 500 Hz and a lifted top",
          { { K::peak, 500.0, 0.7, -1.0 }, { K::highShelf, 11000.0, 0.6, 1.4 }, { K::lowPass, 20000.0, 0.5, 0.0 } },
          1.005,
          0.98,
          -0.02 },
        { "IR_08_TLA50_dc.wav",
          "tube leveller: warm low mids, a softened upper mid, rounded top",
          { { K::peak, 250.0, 0.7, 1.1 },
            { K::peak, 3200.0, 0.9, -0.6 },
            { K::highShelf, 8000.0, 0.6, -1.0 },
            { K::lowPass, 17000.0, 0.6, 0.0 } },
          1.015,
          0.96,
          0.06 },
    };

    return voicings;
}
