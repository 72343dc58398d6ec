#include "Lv2UiInstance.h"

#include "Lv2HostFeatures.h"
#include "Lv2PluginInstance.h"

#include <lv2/instance-access/instance-access.h>

std::unique_ptr<Lv2UiInstance> Lv2UiInstance::create (LV2UI_Write_Function write, LV2UI_Controller controller,
                                                      LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    auto* plugin = static_cast<Lv2PluginInstance*> (
        const_cast<void*> (Lv2HostFeatures::dataOf (features, LV2_INSTANCE_ACCESS_URI)));
    auto* parent = const_cast<void*> (Lv2HostFeatures::dataOf (features, LV2_UI__parent));
    if (plugin == nullptr || parent == nullptr || widget == nullptr)
        return nullptr;

    std::unique_ptr<Lv2UiInstance> ui (
        new Lv2UiInstance (*plugin, Lv2HostFeatures::has (features, LV2_UI__idleInterface)));
    ui->hostResize = static_cast<const LV2UI_Resize*> (Lv2HostFeatures::dataOf (features, LV2_UI__resize));
    const auto* touch = static_cast<const LV2UI_Touch*> (Lv2HostFeatures::dataOf (features, LV2_UI__touch));

    auto* self = ui.get();
    self->onMessageThread (
        [&]
        {
            self->forwarder = std::make_unique<Lv2EditForwarder> (
                self->plugin.getProcessor(), self->plugin.getControlInputs(), write, controller, touch);
            self->window = std::make_unique<Lv2EditorWindow> (self->plugin.getProcessor(), parent);
            self->window->onSizeWanted = [self] (int width, int height)
            {
                if (self->hostResize != nullptr && self->hostResize->ui_resize != nullptr)
                    self->hostResize->ui_resize (self->hostResize->handle, width, height);
            };
        });

    if (self->window == nullptr || self->window->getEditor() == nullptr)
        return nullptr;

    *widget = (LV2UI_Widget) self->window->getWindowHandle();
    if (self->hostResize != nullptr && self->hostResize->ui_resize != nullptr)
        self->hostResize->ui_resize (self->hostResize->handle, self->window->getWidth(), self->window->getHeight());

    return ui;
}

Lv2UiInstance::Lv2UiInstance (Lv2PluginInstance& p, bool hostDrives)
    : plugin (p)
    , hostDrivesMessages (hostDrives)
{
    if (hostDrivesMessages)
        runtime->setHostDrivesMessages (true);
}

Lv2UiInstance::~Lv2UiInstance()
{
    onMessageThread (
        [this]
        {
            window.reset();
            forwarder.reset();
        });

    if (hostDrivesMessages)
        runtime->setHostDrivesMessages (false);
}

template <typename Function>
void Lv2UiInstance::onMessageThread (Function&& function)
{
    if (hostDrivesMessages || juce::MessageManager::getInstance()->isThisTheMessageThread())
    {
        function();
        return;
    }

    // The plug-in's own thread serves the window: the host's thread waits for it.
    juce::MessageManager::getInstance()->callFunctionOnMessageThread (
        [] (void* f) -> void*
        {
            (*static_cast<Function*> (f))();
            return nullptr;
        },
        &function);
}

void Lv2UiInstance::portEvent (uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    const auto index = Lv2PortLayout::parameterIndexOf (port);
    if (index < 0 || format != 0 || bufferSize != sizeof (float) || buffer == nullptr || plugin.isActive())
        return;

    // The processor's own setValue tells no listener, so the value is not sent back to the host.
    const auto normalised = Lv2PortLayout::normalisedFromPortValue (index, *static_cast<const float*> (buffer));
    if (! std::isnan (normalised))
        plugin.getProcessor().getKroParameter (index)->setValue (normalised);
}

int Lv2UiInstance::idle()
{
    if (hostDrivesMessages)
        runtime->dispatchPendingMessages();
    return 0;
}

int Lv2UiInstance::resize (int width, int height)
{
    onMessageThread (
        [&]
        {
            if (window != nullptr)
                window->setSizeFromHost (width, height);
        });
    return 0;
}
