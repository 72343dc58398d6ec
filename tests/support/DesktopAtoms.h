#pragma once

/** Makes the window-manager atoms that the framework looks up (without creating them) for every
    new window. On a bare Xvfb without a window manager nobody has made them, and the first window
    then ends the program with an X error. The connection stays open, so that the server, which
    resets when its last client leaves, keeps them. Returns false without a display.
*/
bool makeWindowManagerAtoms();
