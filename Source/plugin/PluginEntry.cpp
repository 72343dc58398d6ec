#include "PluginEditor.h"

namespace
{
    /** The standalone application opens a window as soon as it has its processor; without a display
        the framework's window code would crash. Say what is missing instead, and stop.
    */
    void stopUnlessADisplayIsAvailable()
    {
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr)
            return;

        const auto display = juce::SystemStats::getEnvironmentVariable ("DISPLAY", {});
        const auto reason = display.isEmpty() ? juce::String ("DISPLAY is not set")
                                              : "the display \"" + display + "\" cannot be opened";
        std::fprintf (stderr,
                      "KroTrella needs a graphical display (X11), and %s.\n"
                      "To run it without a screen, start it under a virtual display: xvfb-run -a KroTrella\n",
                      reason.toRawUTF8());
        std::fflush (stderr);
        juce::Process::terminate();
    }
} // namespace

// The entry point every plug-in wrapper calls for a new processor.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    if (juce::PluginHostType::getPluginLoadedAs() == juce::AudioProcessor::wrapperType_Standalone)
        stopUnlessADisplayIsAvailable();

    KroTrellaAudioProcessor::setEditorFactory (&KroTrellaAudioProcessorEditor::create);
    return new KroTrellaAudioProcessor();
}
