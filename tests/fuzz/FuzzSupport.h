#pragma once

#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstdlib>

namespace juce
{
    // The framework's own step of its message loop (exported by juce_events on Linux).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

/** Helpers shared by the libFuzzer targets. */
namespace fuzz
{
    /** Delivers the messages an input left posted, as the running program would; undelivered they
        pile up and look like leaks to the fuzzer.
    */
    inline void deliverPendingMessages()
    {
        for (int i = 0; i < 10000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
        {
        }
    }

    /** Starts the framework for the whole run. It is never shut down: libFuzzer ends the process
        with exit(), and the framework's own static objects may already be gone by the time a
        static initialiser would shut it down.
    */
    inline void startFramework()
    {
        static auto* framework = new juce::ScopedJuceInitialiser_GUI();
        juce::ignoreUnused (framework);
    }

    /** Stops the run as a finding: libFuzzer saves the input that led here. */
    [[noreturn]] inline void fail (const char* what)
    {
        std::fprintf (stderr, "FUZZ CHECK FAILED: %s\n", what);
        std::abort();
    }

    inline void check (bool condition, const char* what)
    {
        if (! condition)
            fail (what);
    }

    /** The depth of an element tree, walked without recursion. */
    inline int depthOf (const juce::XmlElement& root)
    {
        int deepest = 0;
        juce::Array<std::pair<const juce::XmlElement*, int>> pending{ { &root, 1 } };
        while (! pending.isEmpty())
        {
            const auto [element, depth] = pending.removeAndReturn (pending.size() - 1);
            deepest = juce::jmax (deepest, depth);
            for (auto* child = element->getFirstChildElement(); child != nullptr; child = child->getNextElement())
                pending.add ({ child, depth + 1 });
        }
        return deepest;
    }
} // namespace fuzz
