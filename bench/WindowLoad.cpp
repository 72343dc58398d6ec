// Opens the plug-in's window on the desktop and feeds its processor with stereo pink noise from a
// thread of its own at real-time pace (44.1 kHz, 512-frame blocks), as a host's audio callback
// would, so that the cost of the window with audio flowing can be measured without a sound card.
// scripts/measure-window-cpu.sh runs it under Xvfb and reads its threads' CPU time from /proc.
//
// Usage: KroTrellaWindowLoad [--seconds N] [--idle] [--bare]
//   --seconds N  quit after N seconds (default 20)
//   --idle       open the window but feed no audio
//   --bare       open an empty window of the same size instead of the plug-in's: what the
//                framework's own window costs (on Linux it wakes for every display refresh)

#include "PinkNoise.h"
#include "plugin/PluginEditor.h"
#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace
{
    constexpr double sampleRate = 44100.0;
    constexpr int blockSize = 512;

    /** Calls processBlock once per block period, sleeping until each block is due. */
    class AudioFeeder
    {
    public:
        explicit AudioFeeder (juce::AudioProcessor& p)
            : processor (p)
            , thread ([this] { run(); })
        {
        }

        ~AudioFeeder()
        {
            running = false;
            thread.join();
        }

    private:
        void run()
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;
            const auto period = std::chrono::duration<double> (blockSize / sampleRate);
            auto due = std::chrono::steady_clock::now();

            while (running)
            {
                for (int i = 0; i < blockSize; ++i)
                {
                    const auto left = noise.next (random);
                    buffer.setSample (0, i, left);
                    buffer.setSample (1, i, 0.8f * left + 0.2f * noise.next (random));
                }

                processor.processBlock (buffer, midi);
                due += std::chrono::duration_cast<std::chrono::steady_clock::duration> (period);
                std::this_thread::sleep_until (due);
            }
        }

        juce::AudioProcessor& processor;
        juce::Random random{ 1234 };
        PinkNoise noise;
        std::atomic<bool> running{ true };
        std::thread thread;
    };

    /** A fresh X server knows no window-manager atoms until a client names them, and the framework
        only looks some of them up (a window whose protocols atom is missing ends the program with
        an X error). Naming them first, as a desktop session would have, avoids that. The connection
        stays open: a server whose last client leaves resets and forgets its atoms.
    */
    Display* internWindowManagerAtoms()
    {
        auto* display = XOpenDisplay (nullptr);
        if (display != nullptr)
            for (const char* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING",
                                      "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE" })
                XInternAtom (display, name, False);
        return display;
    }

    struct Options
    {
        int seconds = 20;
        bool idle = false;
        bool bare = false;
    };

    Options parse (int argc, char** argv)
    {
        Options options;
        for (int i = 1; i < argc; ++i)
        {
            const juce::String argument (argv[i]);
            if (argument == "--idle")
                options.idle = true;
            else if (argument == "--bare")
                options.bare = true;
            else if (argument == "--seconds" && i + 1 < argc)
                options.seconds = juce::jmax (1, juce::String (argv[++i]).getIntValue());
        }
        return options;
    }
} // namespace

int main (int argc, char** argv)
{
    const auto options = parse (argc, argv);
    auto* atomsConnection = internWindowManagerAtoms();
    const juce::ScopedJuceInitialiser_GUI gui;

    KroTrellaAudioProcessor::setEditorFactory (&KroTrellaAudioProcessorEditor::create);
    KroTrellaAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    std::unique_ptr<juce::AudioProcessorEditor> editor;
    juce::Component bareWindow;
    bareWindow.setSize (800, 560);
    if (! options.bare)
        editor.reset (processor.createEditorIfNeeded());
    auto& window = editor != nullptr ? *editor : bareWindow;
    window.setTopLeftPosition (0, 0);
    window.addToDesktop (
        juce::ComponentPeer::windowHasTitleBar); // without a title bar JUCE asks Xvfb for a missing atom
    window.setVisible (true);

    // Switch the equaliser and a band on, so that the chain and its meters do real work.
    if (auto* engine = processor.getEngine())
    {
        engine->setEqActive (true);
        engine->setBandActive (1, true);
        engine->setBandGain (1, 6.0f);
    }

    std::unique_ptr<AudioFeeder> feeder;
    if (! options.idle)
        feeder = std::make_unique<AudioFeeder> (processor);

    std::printf ("%s window open, %s\n", options.bare ? "empty" : "plug-in",
                 options.idle ? "no audio" : "pink noise flowing");
    std::fflush (stdout);

    // The framework's own blocking message loop, as in an application: it sleeps while idle.
    juce::Timer::callAfterDelay (options.seconds * 1000,
                                 [] { juce::MessageManager::getInstance()->stopDispatchLoop(); });
    juce::MessageManager::getInstance()->runDispatchLoop();

    feeder.reset();
    window.removeFromDesktop();
    if (editor != nullptr)
        processor.editorBeingDeleted (editor.get());
    editor.reset();
    processor.releaseResources();

    if (atomsConnection != nullptr)
        XCloseDisplay (atomsConnection);
    return 0;
}
