#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

/** The plug-in's and the window's LV2 descriptors, as the bundle's shared library exports them
    (lv2_descriptor and lv2ui_descriptor, index 0). Tests drive the plug-in through them too.
*/
const LV2_Descriptor* kroLv2Descriptor() noexcept;
const LV2UI_Descriptor* kroLv2UiDescriptor() noexcept;
