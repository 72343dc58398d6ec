#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// Starts JUCE once for the whole binary: the main thread becomes the message thread.
int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
