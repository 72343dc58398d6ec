#pragma once

/** Starts an X server (Xvfb) of the test process's own and points DISPLAY at it, once per process.
    The pointer and the stacking of windows are one per server: on the server that the other tests
    share, their windows and this test's pointer or screen reads would get in each other's way.
    Call it before the framework or a plug-in opens the display. Without Xvfb the display the
    process was given stays. Returns whether DISPLAY names a server afterwards.
*/
bool usePrivateXServer();
