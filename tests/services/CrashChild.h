#pragma once

/** The child process of the crash-log tests. The test binary runs itself as
        <binary> --crash-child <standalone|vst3|lv2|undefined> <how>
    with XDG_CONFIG_HOME set by the parent: the child creates a processor of that wrapper type,
    prints "automatic-checks=<0|1>" and then crashes, as `how` says:
        SIGSEGV              an invalid write
        SIGABRT              abort()
        stack-overflow       endless recursion
        two-threads          an invalid write 100 calls deep in one thread, and 0.2 s later another
                             in a second thread
        time-zone-held       an invalid write while another thread holds the C library's time-zone
                             lock (it reads a time zone from a pipe that never delivers)
*/
namespace crash_child
{
    constexpr const char* argument = "--crash-child";

    /** Runs the child; returns only when the arguments are wrong (with a non-zero exit code). */
    int run (int argc, char** argv);
} // namespace crash_child
