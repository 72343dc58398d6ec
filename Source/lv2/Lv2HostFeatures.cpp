#include "Lv2HostFeatures.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{
    const LV2_Feature* find (const LV2_Feature* const* features, const char* uri) noexcept
    {
        for (auto* const* feature = features; feature != nullptr && *feature != nullptr; ++feature)
            if ((*feature)->URI != nullptr && std::strcmp ((*feature)->URI, uri) == 0)
                return *feature;
        return nullptr;
    }
} // namespace

bool Lv2HostFeatures::has (const LV2_Feature* const* features, const char* uri) noexcept
{
    return find (features, uri) != nullptr;
}

const void* Lv2HostFeatures::dataOf (const LV2_Feature* const* features, const char* uri) noexcept
{
    const auto* feature = find (features, uri);
    return feature != nullptr ? feature->data : nullptr;
}

Lv2HostFeatures Lv2HostFeatures::read (const LV2_Feature* const* features)
{
    Lv2HostFeatures result;
    result.map = static_cast<const LV2_URID_Map*> (dataOf (features, LV2_URID__map));
    result.boundedBlockLength = has (features, LV2_BUF_SIZE__boundedBlockLength);

    const auto* options = static_cast<const LV2_Options_Option*> (dataOf (features, LV2_OPTIONS__options));
    if (options == nullptr || result.map == nullptr || result.map->map == nullptr)
        return result;

    const auto urid = [&] (const char* uri) { return result.map->map (result.map->handle, uri); };
    const auto maxKey = urid (LV2_BUF_SIZE__maxBlockLength);
    const auto nominalKey = urid (LV2_BUF_SIZE__nominalBlockLength);
    const auto intType = urid (LV2_ATOM__Int);
    const auto longType = urid (LV2_ATOM__Long);

    for (auto* option = options; option->key != 0 || option->value != nullptr; ++option)
    {
        if (option->context != LV2_OPTIONS_INSTANCE || option->value == nullptr)
            continue;

        std::optional<long long> value;
        if (option->type == intType && option->size == sizeof (int32_t))
            value = *static_cast<const int32_t*> (option->value);
        else if (option->type == longType && option->size == sizeof (int64_t))
            value = *static_cast<const int64_t*> (option->value);

        if (option->key == maxKey)
            result.maxBlockLength = value;
        else if (option->key == nominalKey)
            result.nominalBlockLength = value;
    }

    return result;
}

int Lv2HostFeatures::preparedBlockLength() const noexcept
{
    const auto usable = [] (const std::optional<long long>& length) { return length.has_value() && *length > 0; };

    // A bounded maximum is a promise: prepared for it, no run is ever split. Otherwise the length the
    // host mostly uses, and longer runs are split.
    long long length = fallbackBlockLength;
    if (boundedBlockLength && usable (maxBlockLength))
        length = *maxBlockLength;
    else if (usable (nominalBlockLength))
        length = *nominalBlockLength;
    else if (usable (maxBlockLength))
        length = *maxBlockLength;

    return (int) std::clamp (length, 1LL, (long long) longestPreparedBlock);
}
