#include "KroSettings.h"

#include "services/KroDataFolder.h"
#include "text/GuardedXml.h"

#include <optional>

namespace
{
    constexpr int panelWidth = 600;
    constexpr int rowHeight = 30;
    constexpr int animationMs = 250;
    constexpr juce::uint32 panelColour = 0xa0473b47;

    // A settings file is a few kilobytes; anything far larger is not ours.
    constexpr juce::int64 largestSettingsFile = 1 << 20;

    struct OptionRow
    {
        const char* id;
        const char* name;
        int max; // 0 button, 1 switch, above 1 the highest list index
        int value;
        const char* text;
    };

    constexpr OptionRow optionRows[] = {
        { "show_fft", "Show analyzer", 1, 1, "Show frequency analyzer" },
        { "fill_fft", "Fill analyzer", 1, 0, "Use a filled style for the analyzer" },
        { "rounded", "Rounded edges", 1, 0, "Round the edges of the analyzer plot" },
        { "show_peak", "Show peaks", 1, 0, "Show and hold peak values" },
        { "peak_time", "Peak hold time", 2, 1, "" },
        { "meters_time", "Meters decay time", 3, 2, "" },
        { "band_info", "Show band information", 1, 1, "Show band values on mouse hover" },
        { "show_guides", "Show guide lines", 1, 0, "Show guide lines on mouse hover" },
        { "win_size", "Window size", 5, 2, "" },
        { "use_opengl", "Use OpenGL", 1, 0, "Let your GPU deal with the UI tasks" },
        { "btn_chkupd", "Check updates", 0, 0, "Click to check for updates" },
        { "btn_support", "Go to support website", 0, 0, "Click to open in default browser" },
    };

    struct ChoiceList
    {
        const char* forId;
        std::vector<std::pair<const char*, juce::var>> entries;
    };

    std::vector<ChoiceList> choiceLists()
    {
        return {
            { "peak_time", { { "1 second", 1 }, { "2 seconds", 2 }, { "3 seconds", 3 } } },
            { "meters_time", { { "250 ms", 250 }, { "500 ms", 500 }, { "1 second", 1000 }, { "2 seconds", 2000 } } },
            { "win_size",
              { { "Smaller", 0.8 },
                { "Small", 0.9 },
                { "Normal", 1.0 },
                { "Large", 1.1 },
                { "Larger", 1.3 },
                { "Extra Large", 1.5 } } },
        };
    }

    /** The value a row takes over from the file, or nothing when the saved value cannot be right
        for the row: switches become 0 or 1, list indices must name an entry, buttons stay 0.
    */
    std::optional<int> savedValueFor (const juce::ValueTree& row, const juce::var& saved)
    {
        const int max = row["Max"].toString().getIntValue();
        const auto value = saved.toString().trim().getLargeIntValue(); // not a number: 0

        if (max == 0)
            return 0;

        if (max == 1)
            return value > 0 ? 1 : 0;

        if (value < 0 || value > max)
            return std::nullopt;

        return (int) value;
    }
} // namespace

//==============================================================================
void KroSettings::BackgroundCover::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xca000000));
}

KroSettings::BPC::BPC (const juce::String& name)
    : juce::ButtonPropertyComponent (name, false)
{
}

void KroSettings::BPC::buttonClicked()
{
    if (onClick != nullptr)
        onClick (getComponentID());
}

juce::String KroSettings::BPC::getButtonText() const
{
    return buttonText;
}

//==============================================================================
KroSettings::KroSettings (int width, int height, const juce::File& settingsFile)
{
    settingsTree = createDefaultTree();

    setSize (width, height);
    addKeyListener (this);
    setWantsKeyboardFocus (true);

    settingsFilePath = settingsFile.getFullPathName();

    // Clicks on the veil reach mouseUp.
    backgroundCover.setBounds (0, 0, width, height);
    backgroundCover.addMouseListener (this, false);
    addChildComponent (backgroundCover);

    setPanelColours();
    mergeSavedValues();

    listenerHandle = settingsTree;
    listenerHandle.addListener (this);

    buildRows();
    buildPanel (width);
}

KroSettings::~KroSettings()
{
    optionPanel->setLookAndFeel (nullptr);
    writeSettingsFile();
    listenerHandle.removeListener (this);
    backgroundCover.removeMouseListener (this);
    removeKeyListener (this);
}

juce::File KroSettings::getDefaultSettingsFile()
{
    return KroDataFolder::get().getChildFile ("Settings.xml");
}

juce::ValueTree KroSettings::createDefaultTree()
{
    juce::ValueTree tree ("Settings");
    juce::ValueTree parameters ("Parameters");

    for (const auto& option : optionRows)
    {
        juce::ValueTree item ("Item");
        item.setProperty ("ID", option.id, nullptr)
            .setProperty ("Name", option.name, nullptr)
            .setProperty ("Min", 0, nullptr)
            .setProperty ("Max", option.max, nullptr)
            .setProperty ("Value", option.value, nullptr)
            .setProperty ("Txt", option.text, nullptr);
        parameters.appendChild (item, nullptr);
    }

    tree.appendChild (parameters, nullptr);

    for (const auto& list : choiceLists())
    {
        juce::ValueTree choices ("Choices");
        choices.setProperty ("For", list.forId, nullptr);

        for (const auto& [name, value] : list.entries)
        {
            juce::ValueTree item ("Item");
            item.setProperty ("Name", name, nullptr).setProperty ("Value", value, nullptr);
            choices.appendChild (item, nullptr);
        }

        tree.appendChild (choices, nullptr);
    }

    return tree;
}

void KroSettings::setPanelColours()
{
    const juce::Colour colour (panelColour);
    lookAndFeel.setColour (juce::PropertyComponent::backgroundColourId, colour);
    lookAndFeel.setColour (juce::BooleanPropertyComponent::backgroundColourId, colour);
    lookAndFeel.setColour (juce::ComboBox::backgroundColourId, colour);
    lookAndFeel.setColour (juce::TextButton::buttonColourId, colour);
}

// Rows are matched by position and confirmed by id; only their values are taken over, so the
// built-in table always wins otherwise. A file that is empty, truncated, not XML or refused by
// GuardedXml (nested too deeply, for example) counts as absent.
void KroSettings::mergeSavedValues()
{
    const juce::File file (settingsFilePath);

    if (! file.existsAsFile() || file.getSize() > largestSettingsFile)
        return;

    const auto xml = GuardedXml::parse (file);

    if (xml == nullptr)
        return;

    const auto loadedRows = juce::ValueTree::fromXml (*xml).getChildWithName ("Parameters");
    auto ownRows = settingsTree.getChildWithName ("Parameters");

    for (int i = 0; i < ownRows.getNumChildren(); ++i)
    {
        auto row = ownRows.getChild (i);
        const auto saved = loadedRows.getChild (i);

        if (! saved.isValid() || saved["ID"].toString() != row["ID"].toString())
            continue;

        if (const auto value = savedValueFor (row, saved["Value"]))
            row.setProperty ("Value", *value, nullptr);
    }
}

void KroSettings::buildRows()
{
    for (auto row : settingsTree.getChildWithName ("Parameters"))
    {
        auto component = createRow (row);
        component->setPreferredHeight (rowHeight);
        rows.add (component.release()); // the option panel takes ownership in buildPanel
    }
}

std::unique_ptr<juce::PropertyComponent> KroSettings::createRow (juce::ValueTree row)
{
    const auto id = row["ID"].toString();
    const auto name = row["Name"].toString();
    const int max = row["Max"].toString().getIntValue();
    const auto text = row["Txt"].toString();
    auto value = row.getPropertyAsValue ("Value", nullptr, true);

    if (max == 0)
    {
        auto button = std::make_unique<BPC> (name);
        button->setComponentID (id);
        button->buttonText = text;
        button->onClick = [this] (juce::String clickedId)
        {
            if (onOptionChanged != nullptr)
                onOptionChanged (clickedId, -1);
        };
        return button;
    }

    if (max == 1)
        return std::make_unique<juce::BooleanPropertyComponent> (value, name, text);

    // The list stores the index of the chosen entry, never the entry's own value.
    const auto list = settingsTree.getChildWithProperty ("For", id);
    juce::StringArray names;
    juce::Array<juce::var> indices;

    for (int i = 0; i <= max && i < list.getNumChildren(); ++i)
    {
        names.add (list.getChild (i)["Name"].toString());
        indices.add (i);
    }

    return std::make_unique<juce::ChoicePropertyComponent> (value, name, names, indices);
}

void KroSettings::buildPanel (int width)
{
    optionPanel = std::make_unique<juce::PropertyPanel> ("Global Settings");
    optionPanel->addSection ({}, rows, true, -1, 0);

    const int contentHeight = optionPanel->getTotalContentHeight();
    const int x = (width - panelWidth) / 2;
    shownBounds = { x, 0, panelWidth, contentHeight };
    hiddenBounds = { x, -contentHeight, panelWidth, contentHeight };

    optionPanel->setBounds (hiddenBounds);
    optionPanel->setLookAndFeel (&lookAndFeel);
    addAndMakeVisible (*optionPanel);
}

//==============================================================================
void KroSettings::valueTreePropertyChanged (juce::ValueTree& tree, const juce::Identifier&)
{
    const auto id = tree["ID"].toString();
    const int value = tree["Value"].toString().getIntValue();

    // The file is written before the change is applied, so a crash while applying it keeps it.
    writeSettingsFile();

    if (onOptionChanged != nullptr)
        onOptionChanged (id, value);
}

// XmlElement::writeTo writes a temporary file next to the target and renames it over the target,
// so a failed or interrupted write leaves the previous settings intact. A failure is not reported.
void KroSettings::writeSettingsFile() const
{
    const juce::File file (settingsFilePath);

    if (! file.getParentDirectory().createDirectory())
        return;

    if (const auto xml = settingsTree.createXml())
        xml->writeTo (file);
}

//==============================================================================
void KroSettings::Open()
{
    ++openCloseCount;

    setVisible (true);
    toFront (true);

    auto& animator = juce::Desktop::getInstance().getAnimator();
    animator.fadeIn (&backgroundCover, animationMs);
    animator.animateComponent (optionPanel.get(), shownBounds, 1.0f, animationMs, true, 2.0, 0.0);
}

void KroSettings::Close()
{
    const int closing = ++openCloseCount;

    auto& animator = juce::Desktop::getInstance().getAnimator();
    animator.animateComponent (optionPanel.get(), hiddenBounds, 1.0f, animationMs, true, 2.0, 0.0);
    animator.fadeOut (&backgroundCover, animationMs);

    // The hide must not outlive the page, nor hide it again after it was reopened meanwhile.
    juce::Timer::callAfterDelay (animationMs,
                                 [page = juce::Component::SafePointer<KroSettings> (this), closing]
                                 {
                                     if (page != nullptr && page->openCloseCount == closing)
                                         page->setVisible (false);
                                 });
}

void KroSettings::mouseUp (const juce::MouseEvent& e)
{
    const auto position = e.getEventRelativeTo (this).getPosition();

    if (! optionPanel->getBounds().contains (position))
        Close();
}

bool KroSettings::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key == juce::KeyPress::escapeKey)
        Close();

    return false;
}

void KroSettings::paint (juce::Graphics&) {}
