#pragma once

/** Runs the message loop of the test's message thread (the main thread) for a while, delivering
    posted messages, timer callbacks and repaints, as a running application would.
*/
void pumpMessages (int milliseconds);

/** Pumps until the condition holds or the time runs out; returns the condition's last value. */
template <typename Condition>
bool pumpMessagesUntil (Condition&& condition, int timeoutMilliseconds = 2000)
{
    for (int waited = 0; waited < timeoutMilliseconds; waited += 5)
    {
        if (condition())
            return true;
        pumpMessages (5);
    }
    return condition();
}
