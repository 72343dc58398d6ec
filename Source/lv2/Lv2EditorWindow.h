#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

/** The plug-in's editor inside the host's window: a native child window of the host's parent
    window (ui:parent), holding the editor and keeping its size. Message thread only.
*/
class Lv2EditorWindow : public juce::Component, private juce::ComponentListener
{
public:
    /** Opens the processor's editor inside the parent window (an X11 window id). */
    Lv2EditorWindow (juce::AudioProcessor& processor, void* parentWindow);
    ~Lv2EditorWindow() override;

    /** Called with the new size when the editor changes its own size. */
    std::function<void (int width, int height)> onSizeWanted;

    /** The host asks for a size: the editor takes the nearest size it allows. */
    void setSizeFromHost (int width, int height);

    juce::AudioProcessorEditor* getEditor() const noexcept { return editor.get(); }

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    void componentMovedOrResized (juce::Component&, bool wasMoved, bool wasResized) override;

    std::unique_ptr<juce::AudioProcessorEditor> editor;
    bool followingHost = false;

    JUCE_DECLARE_NON_COPYABLE (Lv2EditorWindow)
};
