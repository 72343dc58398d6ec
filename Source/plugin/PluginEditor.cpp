#include "PluginEditor.h"

#include "pages/KroDialogWindow.h"
#include "ui/PresetFooter.h"
#include "ui/TrellaUI2.h"

KroTrellaAudioProcessorEditor::KroTrellaAudioProcessorEditor (KroTrellaAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
    , trellaProcessor (p)
{
    setResizable (true, false);
    setResizeLimits (minimumWidth, minimumHeight, maximumWidth, maximumHeight);
    getConstrainer()->setFixedAspectRatio ((double) TrellaUI2::naturalWidth / (double) TrellaUI2::naturalHeight);

    // Installed before the engine is read: a replacement on another thread from here on posts a
    // binding, which runs before the replaced engine is destroyed on the message thread.
    trellaProcessor.setOnEngineChanged (
        [safeThis = juce::Component::SafePointer<KroTrellaAudioProcessorEditor> (this)]
        {
            if (juce::MessageManager::existsAndIsCurrentThread())
            {
                if (safeThis != nullptr)
                    safeThis->bindToCurrentEngine();
                return;
            }

            juce::MessageManager::callAsync (
                [safeThis]
                {
                    if (safeThis != nullptr)
                        safeThis->bindToCurrentEngine();
                });
        });

    mainScreen =
        std::make_unique<TrellaUI2> (TrellaUI2::naturalWidth, TrellaUI2::naturalHeight, trellaProcessor.getEngine());
    addAndMakeVisible (*mainScreen);
    mainScreen->getFooter().setControls (&trellaProcessor, KroTrellaAudioProcessor::getUserPresetFolder());

    // Undo and redo keys reach the window from any of its controls: a click anywhere gives the
    // window the keyboard unless the control clicked took it for itself (a value being typed).
    setWantsKeyboardFocus (true);
    addMouseListener (this, true);

    const auto size = TrellaUI2::savedWindowSize (mainScreen->getSettingsTree());
    setSize (size.x, size.y);

    messageDialog = std::make_unique<KroDialogWindow>();
    addChildComponent (*messageDialog);

    showUpdateCheckOutcomes();
}

KroTrellaAudioProcessorEditor::~KroTrellaAudioProcessorEditor()
{
    trellaProcessor.setOnEngineChanged (nullptr);
    trellaProcessor.getUpdateChecker().onOutcome = nullptr;
    messageDialog.reset();
    mainScreen.reset();
    trellaProcessor.editorClosed();
}

juce::AudioProcessorEditor* KroTrellaAudioProcessorEditor::create (KroTrellaAudioProcessor& processor)
{
    return new KroTrellaAudioProcessorEditor (processor);
}

void KroTrellaAudioProcessorEditor::showUpdateCheckOutcomes()
{
    // One checker serves every window the processor opens; it reports into this window's dialog.
    auto& updateChecker = trellaProcessor.getUpdateChecker();
    updateChecker.onOutcome = [dialog = juce::Component::SafePointer<KroDialogWindow> (messageDialog.get())] (
                                  const juce::String& title, const juce::String& message)
    {
        if (dialog != nullptr)
            dialog->Open (KroDialogWindow::messageForm, title, message);
    };
    mainScreen->onCheckUpdates = [&updateChecker] { updateChecker.doAsyncUpdateCheck(); };
    updateChecker.checkAutomaticallyIfDue();
}

void KroTrellaAudioProcessorEditor::mouseDown (const juce::MouseEvent&)
{
    if (! isShowing())
        return;

    if (! hasKeyboardFocus (true))
        grabKeyboardFocus();
    else if (auto* peer = getPeer(); peer != nullptr && ! peer->isFocused())
        peer->grabFocus(); // the keyboard went elsewhere (a dialog closed): bring it back to the window
}

bool KroTrellaAudioProcessorEditor::keyPressed (const juce::KeyPress& key)
{
    return mainScreen != nullptr && mainScreen->getFooter().handleKey (key);
}

void KroTrellaAudioProcessorEditor::bindToCurrentEngine()
{
    // Always the engine that is current now: of several quick replacements only the last counts.
    if (mainScreen != nullptr)
        mainScreen->bindEngine (trellaProcessor.getEngine());
}

TrellaDSP* KroTrellaAudioProcessorEditor::getBoundEngine() const noexcept
{
    return mainScreen != nullptr ? mainScreen->getEngine() : nullptr;
}

void KroTrellaAudioProcessorEditor::paint (juce::Graphics& g)
{
    // Only seen beside the screen where a host forces a size off the 800 : 580 ratio.
    g.fillAll (juce::Colours::black);
}

void KroTrellaAudioProcessorEditor::resized()
{
    if (mainScreen == nullptr)
        return;

    // The whole screen fits whatever size a host or window manager forces, centred in the window.
    const auto width = (float) TrellaUI2::naturalWidth, height = (float) TrellaUI2::naturalHeight;
    const float scale = juce::jmin ((float) getWidth() / width, (float) getHeight() / height);
    mainScreen->setTransform (juce::AffineTransform::scale (scale).translated (
        ((float) getWidth() - width * scale) / 2.0f, ((float) getHeight() - height * scale) / 2.0f));
}
