#pragma once

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <optional>

/** What a host offers a new plug-in instance, as far as the wrapper uses it. Nothing is required:
    the URID map serves saved state, and the block lengths decide what the processor is prepared
    for (longer blocks are split in `run`).
*/
struct Lv2HostFeatures
{
    static constexpr int fallbackBlockLength = 1024;
    static constexpr int longestPreparedBlock = 8192;

    const LV2_URID_Map* map = nullptr;
    bool boundedBlockLength = false;
    std::optional<long long> maxBlockLength, nominalBlockLength;

    /** Reads the features (urid:map, options with maxBlockLength and nominalBlockLength, and
        bufsz:boundedBlockLength); a null list reads as none.
    */
    static Lv2HostFeatures read (const LV2_Feature* const* features);

    /** The block length to prepare the processor for: the host's maximum when it promises it
        (boundedBlockLength), else its nominal length, else its maximum, else fallbackBlockLength;
        always within 1..longestPreparedBlock.
    */
    int preparedBlockLength() const noexcept;

    /** Whether the list holds a feature of this URI. */
    static bool has (const LV2_Feature* const* features, const char* uri) noexcept;

    /** The data of the feature of this URI, or nullptr. */
    static const void* dataOf (const LV2_Feature* const* features, const char* uri) noexcept;
};
