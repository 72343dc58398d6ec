#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The global options page, and the owner of the settings tree and of its file "Settings.xml".

    The page is a dark veil over the whole window with a 600-pixel-wide panel of option rows that
    slides down from the top edge. It knows nothing of what an option does: it shows the rows, keeps
    the tree, saves it and reports each change as (option id, integer value) through
    onOptionChanged; button rows report their id with the value -1.
*/
class KroSettings : public juce::Component, public juce::ValueTree::Listener, public juce::KeyListener
{
public:
    /** The dark veil behind the option panel. */
    class BackgroundCover : public juce::Component
    {
    public:
        void paint (juce::Graphics& g) override;
    };

    /** A property row holding one push button that reports its row's component id on release. */
    class BPC : public juce::ButtonPropertyComponent
    {
    public:
        explicit BPC (const juce::String& name);

        void buttonClicked() override;
        juce::String getButtonText() const override;

        std::function<void (juce::String)> onClick;
        juce::String buttonText;
    };

    /** Builds the tree from the built-in table, takes over the values saved in `settingsFile` where
        the rows match, and builds the rows and the hidden panel.
    */
    KroSettings (int width, int height, const juce::File& settingsFile = getDefaultSettingsFile());
    ~KroSettings() override;

    /** "Settings.xml" in the data folder. */
    static juce::File getDefaultSettingsFile();

    /** Shows the page: the veil fades in and the panel slides down. */
    void Open();

    /** Slides the panel up, fades the veil out and hides the page 250 ms later. */
    void Close();

    juce::File getSettingsFile() const { return juce::File (settingsFilePath); }
    juce::PropertyPanel& getOptionPanel() noexcept { return *optionPanel; }
    const juce::Array<juce::PropertyComponent*>& getRows() const noexcept { return rows; }
    BackgroundCover& getBackgroundCover() noexcept { return backgroundCover; }
    juce::Rectangle<int> getShownBounds() const noexcept { return shownBounds; }
    juce::Rectangle<int> getHiddenBounds() const noexcept { return hiddenBounds; }

    void mouseUp (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void valueTreePropertyChanged (juce::ValueTree& tree, const juce::Identifier& property) override;

    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

    /** Receives every change of an option and every button click (with the value -1). */
    std::function<void (juce::String id, int value)> onOptionChanged;

private:
    static juce::ValueTree createDefaultTree();
    void setPanelColours();
    void mergeSavedValues();
    void buildRows();
    void buildPanel (int width);
    std::unique_ptr<juce::PropertyComponent> createRow (juce::ValueTree row);
    void writeSettingsFile() const;

    juce::ValueTree listenerHandle;
    std::unique_ptr<juce::PropertyPanel> optionPanel;
    juce::Array<juce::PropertyComponent*> rows;
    juce::LookAndFeel_V4 lookAndFeel;
    BackgroundCover backgroundCover;
    juce::Rectangle<int> shownBounds;
    juce::Rectangle<int> hiddenBounds;
    juce::String settingsFilePath;
    int openCloseCount = 0;

public:
    /** The options: a "Parameters" node with one "Item" per row and three "Choices" lists. Read by
        the main screen and the editor.
    */
    juce::ValueTree settingsTree;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroSettings)
};
