#pragma once

#include <array>

/** One row of the parameter table: the id hosts and saved states use, the name hosts show, and
    the step count of the step index the saved state writes beside each value. (The default of
    each parameter is the engine's initial setting.)
*/
struct TrellaParamInfo
{
    const char* id;
    const char* name;
    int steps;
};

constexpr std::size_t numTrellaParams = 23;

/** The 23 automatable parameters; the row index is the parameter index everywhere. */
extern const std::array<TrellaParamInfo, numTrellaParams> TrellaParams;

/** The index of the row whose id equals the given one exactly (case-sensitive), or -1. */
int findTrellaParamIndex (const char* id) noexcept;
