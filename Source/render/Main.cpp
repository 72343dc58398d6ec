#include "InterruptCleanup.h"
#include "RenderTool.h"

#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    InterruptCleanup::install();

    // The processor is built the way a host builds it, with the framework started.
    const juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    return RenderTool::run (arguments);
}
