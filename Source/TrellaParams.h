#pragma once

#include <array>

/** One row of the parameter table: the id hosts and saved states use, the name hosts show, and
    the step count and default step that give the normalised default.
*/
struct TrellaParamInfo
{
    const char* id;
    const char* name;
    int steps;
    int defaultStep;
};

constexpr std::size_t numTrellaParams = 23;

/** The 23 automatable parameters; the row index is the parameter index everywhere. */
extern const std::array<TrellaParamInfo, numTrellaParams> TrellaParams;

/** The index of the row whose id equals the given one exactly (case-sensitive), or -1. */
int findTrellaParamIndex (const char* id) noexcept;
