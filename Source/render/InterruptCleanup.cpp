#include "InterruptCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace
{
    char watchedPath[PATH_MAX];
    std::atomic<bool> watching{ false };
    static_assert (std::atomic<bool>::is_always_lock_free, "the flag is read inside a signal handler");

    // SIGBUS too: it ends the program if a memory-mapped input is cut short while it is read.
    constexpr int watchedSignals[] = { SIGINT, SIGTERM, SIGHUP, SIGBUS };
} // namespace

void InterruptCleanup::install()
{
    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset (&action.sa_mask);
    for (const int s : watchedSignals)
        sigaddset (&action.sa_mask, s);

    for (const int s : watchedSignals)
        sigaction (s, &action, nullptr);
}

void InterruptCleanup::handle (int signalNumber)
{
    if (watching.load (std::memory_order_acquire))
        unlink (watchedPath);

    // End the program the way the signal would have, so that the caller sees it was interrupted
    // (the signal stays blocked until this handler returns, then its default action ends us).
    signal (signalNumber, SIG_DFL);
    raise (signalNumber);
}

bool InterruptCleanup::watch (const char* path) noexcept
{
    watching.store (false, std::memory_order_release);
    if (std::strlen (path) >= sizeof (watchedPath))
        return false;

    std::strcpy (watchedPath, path);
    watching.store (true, std::memory_order_release);
    return true;
}

void InterruptCleanup::forget() noexcept
{
    watching.store (false, std::memory_order_release);
}
