#pragma once

/** Whether this display can give the interface an OpenGL context.

    JUCE attaches its context without asking: on a display without GLX, or without a framebuffer
    configuration it can use, its render thread fails or crashes. The interface therefore asks
    here first and keeps software rendering when the answer is no.
*/
class OpenGLSupport
{
public:
    /** Probes the display once (message thread) and remembers the answer for the process. */
    static bool canCreateContext();
};
