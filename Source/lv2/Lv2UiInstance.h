#pragma once

#include "Lv2EditForwarder.h"
#include "Lv2EditorWindow.h"
#include "Lv2Runtime.h"

#include <lv2/ui/ui.h>

#include <memory>

class Lv2PluginInstance;

/** The plug-in's window as an LV2 X11 UI: the editor embedded in the host's parent window,
    reaching the processor through instance access. The host's window thread is the message thread
    where the host calls idle (ui:idleInterface); otherwise the plug-in's own thread is, and the
    window is made, served and closed there (see Lv2Runtime).

    Edits in the window reach the host through Lv2EditForwarder. Port events from the host change
    the processor only while the host does not run the instance; while it runs, the audio thread
    takes every port change itself, and a port event that arrives late must not pull a value back.
*/
class Lv2UiInstance
{
public:
    /** A window for the instance, or nullptr when the host gives no instance or no parent window. */
    static std::unique_ptr<Lv2UiInstance> create (LV2UI_Write_Function write, LV2UI_Controller controller,
                                                  LV2UI_Widget* widget, const LV2_Feature* const* features);
    ~Lv2UiInstance();

    void portEvent (uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer);

    /** The host's window thread: dispatches pending messages (ui:idleInterface). 0: the window stays. */
    int idle();

    /** The host asks for a size (ui:resize provided by the UI). */
    int resize (int width, int height);

private:
    Lv2UiInstance (Lv2PluginInstance& plugin, bool hostDrivesMessages);

    template <typename Function>
    void onMessageThread (Function&& function);

    juce::SharedResourcePointer<Lv2Runtime> runtime;
    Lv2PluginInstance& plugin;
    const bool hostDrivesMessages;
    const LV2UI_Resize* hostResize = nullptr;
    std::unique_ptr<Lv2EditForwarder> forwarder;
    std::unique_ptr<Lv2EditorWindow> window;

    JUCE_DECLARE_NON_COPYABLE (Lv2UiInstance)
};
