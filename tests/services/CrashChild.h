#pragma once

/** The child process of the crash-log tests. The test binary runs itself as
        <binary> --crash-child <standalone|vst3|lv2|undefined> <SIGSEGV|SIGABRT>
    with XDG_CONFIG_HOME set by the parent: the child creates a processor of that wrapper type,
    prints "automatic-checks=<0|1>" and then crashes with the signal.
*/
namespace crash_child
{
    constexpr const char* argument = "--crash-child";

    /** Runs the child; returns only when the arguments are wrong (with a non-zero exit code). */
    int run (int argc, char** argv);
} // namespace crash_child
