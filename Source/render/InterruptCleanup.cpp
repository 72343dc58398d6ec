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

    // The signals whose default action ends the process, apart from the two that are ignored
    // (SIGPIPE, SIGXFSZ) and the two that cannot be caught (SIGKILL, SIGSTOP). SIGBUS is among them:
    // it ends the program if a memory-mapped input is cut short while it is read.
    constexpr int fatalSignals[] = { SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                     SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                                     SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS };

    template <typename Visit>
    void forEachFatalSignal (Visit visit)
    {
        for (const int s : fatalSignals)
            visit (s);
        for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
            visit (s);
    }

    alignas (16) char alternateStack[1 << 16];
} // namespace

void InterruptCleanup::install()
{
    stack_t stack = {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof (alternateStack);
    sigaltstack (&stack, nullptr);

    struct sigaction action = {};
    action.sa_handler = handle;
    action.sa_flags = SA_ONSTACK;
    sigemptyset (&action.sa_mask);
    forEachFatalSignal ([&] (int s) { sigaddset (&action.sa_mask, s); });
    forEachFatalSignal ([&] (int s) { sigaction (s, &action, nullptr); });

    std::signal (SIGPIPE, SIG_IGN);
    std::signal (SIGXFSZ, SIG_IGN);
}

void InterruptCleanup::handle (int signalNumber)
{
    if (watching.load (std::memory_order_acquire))
        unlink (watchedPath);

    // End the program the way the signal would have, so that the caller sees it was interrupted
    // (the signal stays blocked until this handler returns, then its default action ends us; a
    // fault happens again at once and ends us the same way).
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
