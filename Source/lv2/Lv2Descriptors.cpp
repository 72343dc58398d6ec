#include "Lv2Descriptors.h"

#include "Lv2PluginInstance.h"
#include "Lv2UiInstance.h"

#include <cstring>

namespace
{
    Lv2PluginInstance& pluginOf (LV2_Handle handle)
    {
        return *static_cast<Lv2PluginInstance*> (handle);
    }

    Lv2UiInstance& uiOf (LV2UI_Handle handle)
    {
        return *static_cast<Lv2UiInstance*> (handle);
    }

    const LV2_State_Interface stateInterface{ [] (LV2_Handle instance, LV2_State_Store_Function store,
                                                  LV2_State_Handle handle, uint32_t, const LV2_Feature* const*)
                                              { return pluginOf (instance).save (store, handle); },
                                              [] (LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                                  LV2_State_Handle handle, uint32_t, const LV2_Feature* const*)
                                              { return pluginOf (instance).restore (retrieve, handle); } };

    const LV2UI_Idle_Interface idleInterface{ [] (LV2UI_Handle ui) { return uiOf (ui).idle(); } };

    const LV2UI_Resize resizeInterface{ nullptr, [] (LV2UI_Feature_Handle ui, int width, int height)
                                        { return uiOf (ui).resize (width, height); } };

    const std::string uiUri = std::string (KRO_LV2_URI) + "#ui";
} // namespace

const LV2_Descriptor* kroLv2Descriptor() noexcept
{
    static const LV2_Descriptor descriptor{
        KRO_LV2_URI,
        [] (const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features) -> LV2_Handle
        { return Lv2PluginInstance::create (sampleRate, features).release(); },
        [] (LV2_Handle instance, uint32_t port, void* data) { pluginOf (instance).connect (port, data); },
        [] (LV2_Handle instance) { pluginOf (instance).activate(); },
        [] (LV2_Handle instance, uint32_t numFrames) { pluginOf (instance).run (numFrames); },
        [] (LV2_Handle instance) { pluginOf (instance).deactivate(); },
        [] (LV2_Handle instance) { delete &pluginOf (instance); },
        [] (const char* uri) -> const void*
        { return std::strcmp (uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr; }
    };
    return &descriptor;
}

const LV2UI_Descriptor* kroLv2UiDescriptor() noexcept
{
    static const LV2UI_Descriptor descriptor{
        uiUri.c_str(),
        [] (const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write, LV2UI_Controller controller,
            LV2UI_Widget* widget, const LV2_Feature* const* features) -> LV2UI_Handle
        { return Lv2UiInstance::create (write, controller, widget, features).release(); },
        [] (LV2UI_Handle ui) { delete &uiOf (ui); },
        [] (LV2UI_Handle ui, uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
        { uiOf (ui).portEvent (port, bufferSize, format, buffer); },
        [] (const char* uri) -> const void*
        {
            if (std::strcmp (uri, LV2_UI__idleInterface) == 0)
                return &idleInterface;
            if (std::strcmp (uri, LV2_UI__resize) == 0)
                return &resizeInterface;
            return nullptr;
        }
    };
    return &descriptor;
}
