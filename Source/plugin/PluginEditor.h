#pragma once

#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

class TrellaUI2;
class KroDialogWindow;

/** The plug-in's window: a thin shell around the main screen, which is always laid out at
    800 x 580 and shown at any window size by scaling it to fit (scale = the smaller of window
    width / 800 and window height / 580) and centring it; a host that forces a size off the ratio
    gets black bars beside or above and below the screen. The window
    keeps the ratio 800 : 580 between 639 x 463 and 1400 x 1015, opens at the saved window size,
    and holds the message dialog, unscaled, above the main screen.

    When the processor replaces its engine (a new sample rate or block size), the window binds the
    main screen to the new engine on the message thread: at once when the replacement happens there,
    otherwise through a posted message that the replaced engine outlives.
*/
class KroTrellaAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int minimumWidth = 639, minimumHeight = 463;
    static constexpr int maximumWidth = 1400, maximumHeight = 1015;

    explicit KroTrellaAudioProcessorEditor (KroTrellaAudioProcessor& processor);
    ~KroTrellaAudioProcessorEditor() override;

    /** The processor's window maker (see KroTrellaAudioProcessor::setEditorFactory). */
    static juce::AudioProcessorEditor* create (KroTrellaAudioProcessor& processor);

    void paint (juce::Graphics& g) override;
    void resized() override;
    /** Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo (see PresetFooter). */
    bool keyPressed (const juce::KeyPress& key) override;
    /** Any click in the window: see the constructor. */
    void mouseDown (const juce::MouseEvent& event) override;

    TrellaUI2& getMainScreen() noexcept { return *mainScreen; }
    KroDialogWindow& getMessageDialog() noexcept { return *messageDialog; }

    /** The engine the main screen is bound to. */
    TrellaDSP* getBoundEngine() const noexcept;

private:
    void bindToCurrentEngine();
    void showUpdateCheckOutcomes();

    KroTrellaAudioProcessor& trellaProcessor;
    std::unique_ptr<TrellaUI2> mainScreen;
    std::unique_ptr<KroDialogWindow> messageDialog;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroTrellaAudioProcessorEditor)
};
