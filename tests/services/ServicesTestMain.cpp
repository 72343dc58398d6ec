#include "../support/ScratchFolder.h"
#include "CrashChild.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>
#include <cstring>

// Like the common test main, and also the entry of the crash-log tests' child process. The version
// check tests talk to servers on 127.0.0.1 only, which no proxy setting may redirect.
int main (int argc, char** argv)
{
    if (argc > 1 && std::strcmp (argv[1], crash_child::argument) == 0)
        return crash_child::run (argc, argv);

    setenv ("no_proxy", "127.0.0.1,localhost", 1);
    setenv ("NO_PROXY", "127.0.0.1,localhost", 1);

    isolateTestProcessFiles();
    const juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
