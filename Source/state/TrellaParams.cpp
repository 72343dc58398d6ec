#include "TrellaParams.h"

#include <cstring>

const std::array<TrellaParamInfo, numTrellaParams> TrellaParams{ {
    { "master_active", "Active", 1 },       { "master_gain", "Gain", 127 },
    { "band1_freq", "Band 1 Freq", 127 },   { "band2_freq", "Band 2 Freq", 127 },
    { "band3_freq", "Band 3 Freq", 127 },   { "band4_freq", "Band 4 Freq", 127 },
    { "band1_gain", "Band 1 Gain", 127 },   { "band2_gain", "Band 2 Gain", 127 },
    { "band3_gain", "Band 3 Gain", 127 },   { "band4_gain", "Band 4 Gain", 127 },
    { "band1_q", "Band 1 Q", 127 },         { "band2_q", "Band 2 Q", 127 },
    { "band3_q", "Band 3 Q", 127 },         { "band4_q", "Band 4 Q", 127 },
    { "band1_type", "Band 1 Type", 1 },     { "band4_type", "Band 4 Type", 1 },
    { "band1_active", "Band 1 Active", 1 }, { "band2_active", "Band 2 Active", 1 },
    { "band3_active", "Band 3 Active", 1 }, { "band4_active", "Band 4 Active", 1 },
    { "lopass_freq", "LoPass Freq", 127 },  { "hipass_freq", "HiPass Freq", 127 },
    { "preamp_type", "Preamp Type", 7 },
} };

int findTrellaParamIndex (const char* id) noexcept
{
    if (id == nullptr)
        return -1;

    for (size_t i = 0; i < TrellaParams.size(); ++i)
        if (std::strcmp (TrellaParams[i].id, id) == 0)
            return (int) i;

    return -1;
}
