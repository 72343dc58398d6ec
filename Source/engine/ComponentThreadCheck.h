#pragma once

/** Watches that window components are made and destroyed on the message thread only: the
    framework's component code reads and writes its global state (focus, the desktop's list)
    without locks, so a component made or destroyed on another thread races with the message loop.

    Components that an engine can make (the analyser) report here from their constructor and
    destructor. A debug build stops at the first one off the message thread; every build counts
    them, and the tests expect none.
*/
class ComponentThreadCheck
{
public:
    /** Call from a component's constructor and destructor. */
    static void notePlace() noexcept;

    /** How many components were made or destroyed off the message thread so far. */
    static int getOffThreadCount() noexcept;
};
