#pragma once

#include "../support/ScratchFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** Helpers shared by the overlay page tests. */
namespace pages_test
{
    /** A fresh folder of the test's own, deleted with its content at the end of the test. */
    using ScratchFolder = ::ScratchFolder;

    /** Sets an environment variable for the lifetime of the object, then restores the previous state. */
    class ScopedEnvironmentVariable
    {
    public:
        ScopedEnvironmentVariable (const char* name, const juce::String& value);
        ~ScopedEnvironmentVariable();

    private:
        juce::String name;
        bool wasSet = false;
        juce::String previous;
    };

    /** Shows a component in a window of its own, so that real mouse and key events reach it through
        the window's peer the way they do in the running program.
    */
    class DesktopWindow
    {
    public:
        explicit DesktopWindow (juce::Component& content);
        ~DesktopWindow();

        /** A press and a release of the left button at a position in the content's coordinates. */
        void clickAt (juce::Point<int> position);

    private:
        juce::Component& content;
    };

    /** Runs the message loop until the desktop's animator has finished all animations. */
    bool waitForAnimations (int timeoutMilliseconds = 2000);

    /** Saves a rendered image for a person to look at, named "pages-<name>.png". */
    void saveRendered (const juce::Image& image, const juce::String& name);
} // namespace pages_test
