#pragma once

#include "engine/ValueLaws.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

/** The LV2 plug-in's ports, and how a control port's value (in the parameter's own unit) and the
    parameter's normalised value (what the processor, the VST3 and the saved state hold) convert.

    Ports, in index order: the audio inputs "audio_in_1" and "audio_in_2", the audio outputs
    "audio_out_1" and "audio_out_2", one input control port per parameter in parameter-index order
    (symbol = parameter id, name = parameter name), and the output control port "latency".

    Everything here is derived from the parameter table, the parameter texts and the value laws:
    the Turtle generator writes the bundle from it, and the wrapper converts with it.
*/
class Lv2PortLayout
{
public:
    static constexpr uint32_t audioInLeft = 0, audioInRight = 1;
    static constexpr uint32_t audioOutLeft = 2, audioOutRight = 3;
    static constexpr uint32_t firstControl = 4;
    static constexpr uint32_t numControls = 23;
    static constexpr uint32_t latency = firstControl + numControls;
    static constexpr uint32_t numPorts = latency + 1;

    /** The parameter index of a control input port, or -1 for any other port. */
    static constexpr int parameterIndexOf (uint32_t port) noexcept
    {
        return port >= firstControl && port < firstControl + numControls ? (int) (port - firstControl) : -1;
    }

    static constexpr uint32_t portOf (int parameterIndex) noexcept { return firstControl + (uint32_t) parameterIndex; }

    /** What a control port holds: its parameter's law. Frequencies in Hz (shown on a logarithmic
        scale), gains and the output level in dB, Q, and whole numbers for band types (0 Peak,
        1 Lo-Shelf, 2 Hi-Shelf), preamp choices and switches (0 or 1).
    */
    using Kind = ValueLaws::Law;

    struct ScalePoint
    {
        float value;
        juce::String label;
    };

    struct ControlPort
    {
        int parameterIndex;
        juce::String symbol, name;
        Kind kind;
        float minimum, maximum, defaultValue; // in the port's unit
        const char* unit;                     // "hz", "db" (LV2 units) or nullptr
        std::vector<ScalePoint> scalePoints;  // for band types and the preamp

        bool isInteger() const noexcept
        {
            return kind == Kind::bandType || kind == Kind::preamp || kind == Kind::onOff;
        }
        bool isEnumeration() const noexcept { return kind == Kind::bandType || kind == Kind::preamp; }
        bool isToggle() const noexcept { return kind == Kind::onOff; }
        bool isLogarithmic() const noexcept { return kind == Kind::frequency; }
    };

    /** The 23 control input ports, by parameter index. Built on first use (not on the audio thread). */
    static const std::array<ControlPort, numControls>& controls();

    /** The normalised value of a port value: limited to the port's range, whole numbers rounded,
        a switch on above 0. Exactly the normalised value the parameter's text reading gives for the
        same setting ("1 kHz", "+12 dB", "Hi-Shelf"). NaN for NaN. Real-time safe.
    */
    static float normalisedFromPortValue (int parameterIndex, float value) noexcept;

    /** The port value that stands for a normalised value: the shortest decimal in the port's unit
        whose normalised value is exactly the given one where such a value exists (so 120 Hz, not
        120.00001 Hz), otherwise that of the nearest normalised value a port value gives. Either way
        the port value's own normalised value gives the same port value again. Not for the audio
        thread.
    */
    static float portValueFromNormalised (int parameterIndex, float normalised);

private:
    static float unitsFromNormalised (int parameterIndex, float normalised) noexcept;
    static std::optional<float> exactPortValueFor (int parameterIndex, float normalised) noexcept;
    static std::pair<float, float> rangeOf (Kind kind) noexcept;
    static const char* unitOf (Kind kind) noexcept;
};
