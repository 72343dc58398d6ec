#include "DesktopAtoms.h"

#include <X11/Xlib.h>

#include <initializer_list>

bool makeWindowManagerAtoms()
{
    static Display* const display = []
    {
        auto* d = XOpenDisplay (nullptr);
        if (d != nullptr)
        {
            for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING",
                                      "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE" })
                XInternAtom (d, name, False);
            XSync (d, False);
        }
        return d;
    }();

    return display != nullptr;
}
