#include "Lv2EditorWindow.h"

Lv2EditorWindow::Lv2EditorWindow (juce::AudioProcessor& processor, void* parentWindow)
    : editor (processor.createEditorIfNeeded())
{
    setOpaque (true);

    if (editor == nullptr)
        return;

    setSize (editor->getWidth(), editor->getHeight());
    addAndMakeVisible (*editor);
    editor->addComponentListener (this);

    // A child of the host's window: the host places, shows and hides it.
    addToDesktop (0, parentWindow);
    setVisible (true);
}

Lv2EditorWindow::~Lv2EditorWindow()
{
    if (editor != nullptr)
        editor->removeComponentListener (this);
    editor.reset();
    removeFromDesktop();
}

void Lv2EditorWindow::setSizeFromHost (int width, int height)
{
    const juce::ScopedValueSetter<bool> following (followingHost, true);
    setSize (juce::jmax (1, width), juce::jmax (1, height));
}

void Lv2EditorWindow::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void Lv2EditorWindow::resized()
{
    if (editor == nullptr)
        return;

    if (followingHost)
    {
        // The editor keeps its ratio and limits; the host hears the size it took.
        editor->setBoundsConstrained ({ 0, 0, getWidth(), getHeight() });
        return;
    }

    editor->setTopLeftPosition (0, 0);
}

void Lv2EditorWindow::componentMovedOrResized (juce::Component&, bool, bool wasResized)
{
    if (! wasResized || editor == nullptr)
        return;

    if (! followingHost)
        setSize (editor->getWidth(), editor->getHeight());

    if (onSizeWanted)
        onSizeWanted (editor->getWidth(), editor->getHeight());
}
