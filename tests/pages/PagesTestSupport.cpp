#include "PagesTestSupport.h"

#include "../support/MessagePump.h"
#include "../ui/UiTestSupport.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace
{
    // JUCE looks up the window-manager atoms it puts on every new window (WM_PROTOCOLS above all) without
    // creating them. On a bare Xvfb without a window manager nobody has created them yet, and the first
    // window then fails with BadAtom. Creating them before JUCE starts lets the tests open real windows.
    // The connection stays open: an X server that loses its last client resets and forgets its atoms.
    const bool windowManagerAtomsCreated = []
    {
        auto* display = XOpenDisplay (nullptr);
        if (display == nullptr)
            return false;

        for (const auto* name :
             { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE" })
            XInternAtom (display, name, False);

        XSync (display, False);
        return true;
    }();
} // namespace

namespace pages_test
{
    ScopedEnvironmentVariable::ScopedEnvironmentVariable (const char* variableName, const juce::String& value)
        : name (variableName)
    {
        if (const auto* old = std::getenv (variableName))
        {
            wasSet = true;
            previous = old;
        }

        setenv (variableName, value.toRawUTF8(), 1);
    }

    ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
    {
        if (wasSet)
            setenv (name.toRawUTF8(), previous.toRawUTF8(), 1);
        else
            unsetenv (name.toRawUTF8());
    }

    DesktopWindow::DesktopWindow (juce::Component& c)
        : content (c)
    {
        content.addToDesktop (0);
        content.setVisible (true);
        pumpMessages (20);
    }

    DesktopWindow::~DesktopWindow()
    {
        if (content.isOnDesktop())
            content.removeFromDesktop();
    }

    void DesktopWindow::clickAt (juce::Point<int> position)
    {
        auto* peer = content.getPeer();

        if (peer == nullptr)
            return;

        const auto where = position.toFloat();
        const auto time = juce::Time::currentTimeMillis();
        const auto source = juce::MouseInputSource::InputSourceType::mouse;
        peer->handleMouseEvent (source, where, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                time);
        peer->handleMouseEvent (source, where, juce::ModifierKeys(), juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time + 50);
    }

    bool waitForAnimations (int timeoutMilliseconds)
    {
        auto& animator = juce::Desktop::getInstance().getAnimator();
        return pumpMessagesUntil ([&animator] { return ! animator.isAnimating(); }, timeoutMilliseconds);
    }

    void saveRendered (const juce::Image& image, const juce::String& name)
    {
        ui_test::savePng (image, "pages-" + name);
    }
} // namespace pages_test
