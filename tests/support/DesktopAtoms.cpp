#include "DesktopAtoms.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <string>

bool makeWindowManagerAtoms()
{
    // One connection per display the process has used: a test may move to an X server of its own
    // (see PrivateXServer) after the test main has made the atoms on the one it started on. The
    // connections stay open, and so does the map: destroyed at exit, it would leave them unreachable,
    // which LeakSanitizer reports as a leak.
    static auto& connections = *new std::map<std::string, Display*>();

    const char* name = std::getenv ("DISPLAY");
    const std::string key = name != nullptr ? name : "";

    if (const auto known = connections.find (key); known != connections.end())
        return known->second != nullptr;

    auto* display = XOpenDisplay (nullptr);
    if (display != nullptr)
    {
        for (const auto* atom : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING",
                                  "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE" })
            XInternAtom (display, atom, False);
        XSync (display, False);
    }

    connections[key] = display;
    return display != nullptr;
}
