#include "OpenGLSupport.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

namespace
{
    // A failing context request is reported as an X error, whose default handler ends the process.
    int ignoreXError (Display*, XErrorEvent*)
    {
        return 0;
    }

    bool displayCanCreateContext (Display* display)
    {
        int errorBase = 0, eventBase = 0;
        if (! glXQueryExtension (display, &errorBase, &eventBase))
            return false;

        // What JUCE's default pixel format asks for.
        const int attributes[] = { GLX_RENDER_TYPE,
                                   GLX_RGBA_BIT,
                                   GLX_DOUBLEBUFFER,
                                   True,
                                   GLX_RED_SIZE,
                                   8,
                                   GLX_GREEN_SIZE,
                                   8,
                                   GLX_BLUE_SIZE,
                                   8,
                                   GLX_ALPHA_SIZE,
                                   8,
                                   GLX_DEPTH_SIZE,
                                   16,
                                   None };
        int numConfigs = 0;
        auto* configs = glXChooseFBConfig (display, DefaultScreen (display), attributes, &numConfigs);

        if (configs == nullptr)
            return false;

        bool created = false;

        if (numConfigs > 0)
        {
            if (auto context = glXCreateNewContext (display, configs[0], GLX_RGBA_TYPE, nullptr, True))
            {
                created = true;
                glXDestroyContext (display, context);
            }
        }

        XFree (configs);
        XSync (display, False); // errors of the requests above reach the handler now
        return created;
    }

    bool probe()
    {
        auto* display = XOpenDisplay (nullptr);
        if (display == nullptr)
            return false;

        const auto previousHandler = XSetErrorHandler (ignoreXError);
        const bool usable = displayCanCreateContext (display);
        XSetErrorHandler (previousHandler);
        XCloseDisplay (display);
        return usable;
    }
} // namespace

bool OpenGLSupport::canCreateContext()
{
    static const bool usable = probe();
    return usable;
}
