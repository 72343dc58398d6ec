#include "DesktopAtoms.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// Starts JUCE once for the whole binary: the main thread becomes the message thread. Every test
// process works in a scratch folder of its own (see ScratchFolder.h), and on a bare X server the
// window-manager atoms exist before its first window opens, whatever other test processes do.
int main (int argc, char** argv)
{
    isolateTestProcessFiles();
    makeWindowManagerAtoms();
    const juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
