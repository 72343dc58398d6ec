// The entry points of the bundle's shared library.

#include "Lv2Descriptors.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    return index == 0 ? kroLv2Descriptor() : nullptr;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return index == 0 ? kroLv2UiDescriptor() : nullptr;
}
