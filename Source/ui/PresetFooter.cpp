#include "PresetFooter.h"

#include "state/EqualiserImport.h"
#include "state/FactoryPresets.h"
#include "ui/TrellaUI2.h"

namespace
{
    struct Place
    {
        PresetFooter::Item item;
        int x, width;
        const char* caption;
    };

    // Left to right; the name field's caption is the preset's name.
    constexpr Place places[] = {
        { PresetFooter::Item::previous, 0, 18, "<" },     { PresetFooter::Item::name, 20, 218, "" },
        { PresetFooter::Item::next, 240, 18, ">" },       { PresetFooter::Item::slotA, 268, 20, "A" },
        { PresetFooter::Item::slotB, 290, 20, "B" },      { PresetFooter::Item::copyAToB, 316, 34, "A>B" },
        { PresetFooter::Item::copyBToA, 352, 34, "B>A" }, { PresetFooter::Item::undo, 394, 38, "Undo" },
        { PresetFooter::Item::redo, 434, 38, "Redo" },
    };

    const juce::Colour ink (TrellaUI2::footerColour);

    enum MenuId
    {
        factoryBase = 1,
        userBase = 1000,
        saveId = 100000,
        saveAsId,
        renameId,
        deleteId,
        importId
    };

    juce::String withoutMark (const juce::String& name)
    {
        return name.isEmpty() ? juce::String ("(no preset)") : name;
    }
} // namespace

PresetFooter::PresetFooter()
{
    setInterceptsMouseClicks (true, false);

    askForName = [] (const juce::String& title, const juce::String& initialName,
                     std::function<void (const juce::String&)> onName)
    {
        auto* window = new juce::AlertWindow (title, "Name:", juce::MessageBoxIconType::NoIcon);
        window->addTextEditor ("name", initialName);
        window->addButton ("OK", 1, juce::KeyPress (juce::KeyPress::returnKey));
        window->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
        window->enterModalState (true,
                                 juce::ModalCallbackFunction::create (
                                     [window, onName] (int result)
                                     {
                                         if (result == 1)
                                             onName (window->getTextEditorContents ("name"));
                                     }),
                                 true);
    };

    askToConfirm = [] (const juce::String& question, std::function<void (bool)> onAnswer)
    {
        juce::AlertWindow::showOkCancelBox (
            juce::MessageBoxIconType::QuestionIcon, "Kro Trella", question, "OK", "Cancel", nullptr,
            juce::ModalCallbackFunction::create ([onAnswer] (int result) { onAnswer (result != 0); }));
    };

    showMessage = [] (const juce::String& title, const juce::String& message)
    { juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, title, message); };

    chooseEqualiserFile = [this] (std::function<void (const juce::File&)> onFile)
    {
        fileChooser = std::make_unique<juce::FileChooser> ("Import an equaliser file", juce::File(), "*.txt;*");
        fileChooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                                  [onFile] (const juce::FileChooser& chooser)
                                  {
                                      if (chooser.getResult() != juce::File())
                                          onFile (chooser.getResult());
                                  });
    };
}

PresetFooter::~PresetFooter() = default;

void PresetFooter::setControls (SettingControls* newControls, const juce::File& userPresetFolder)
{
    controls = newControls;
    library = std::make_unique<PresetLibrary> (userPresetFolder);
    shown = readState();
    repaint();

    if (controls != nullptr)
        startTimerHz (10);
    else
        stopTimer();
}

//==============================================================================
juce::Rectangle<int> PresetFooter::areaOf (Item item) const
{
    const float scale = (float) getWidth() / (float) naturalWidth;
    for (const auto& place : places)
        if (place.item == item)
            return juce::Rectangle<float> ((float) place.x * scale, 1.0f, (float) place.width * scale,
                                           (float) getHeight() - 3.0f)
                .toNearestInt();
    return {};
}

PresetFooter::Shown PresetFooter::readState() const
{
    if (controls == nullptr)
        return {};
    return { controls->getPresetName(), controls->differsFromPreset(), controls->getActiveSlot(), controls->canUndo(),
             controls->canRedo() };
}

juce::String PresetFooter::getShownName() const
{
    const auto state = readState();
    return withoutMark (state.name) + (state.modified ? " *" : "");
}

void PresetFooter::timerCallback()
{
    if (const auto now = readState(); now != shown)
    {
        shown = now;
        repaint();
    }
}

void PresetFooter::paint (juce::Graphics& g)
{
    // What is drawn is read afresh; `shown` stays the timer's, so a partial repaint (a menu closing
    // over the footer) cannot make the timer think the whole footer shows the new state.
    const auto state = readState();
    g.setFont (13.0f);

    for (const auto& place : places)
    {
        const auto area = areaOf (place.item).toFloat();
        const bool isSlot = place.item == Item::slotA || place.item == Item::slotB;
        const bool selected = isSlot && state.slot == (place.item == Item::slotA ? 0 : 1);
        const bool enabled = controls != nullptr && (place.item != Item::undo || state.canUndo) &&
                             (place.item != Item::redo || state.canRedo);

        if (selected)
        {
            g.setColour (ink);
            g.fillRoundedRectangle (area, 3.0f);
        }
        else
        {
            g.setColour (ink.withAlpha (enabled ? 0.55f : 0.2f));
            g.drawRoundedRectangle (area.reduced (0.5f), 3.0f, 1.0f);
        }

        g.setColour (selected ? juce::Colours::black : ink.withAlpha (enabled ? 1.0f : 0.35f));
        if (place.item == Item::name)
        {
            const auto text = withoutMark (state.name) + (state.modified ? " *" : "");
            g.drawFittedText (text, area.reduced (5.0f, 0.0f).withTrimmedRight (14.0f).toNearestInt(),
                              juce::Justification::centredLeft, 1, 0.8f);
            // A small triangle pointing down: the field opens a menu.
            const auto centre = area.withTrimmedLeft (area.getWidth() - 12.0f).getCentre();
            const float half = 3.0f;
            juce::Path arrow;
            arrow.addTriangle (centre.x - half, centre.y - half * 0.6f, centre.x + half, centre.y - half * 0.6f,
                               centre.x, centre.y + half * 0.6f);
            g.fillPath (arrow);
        }
        else
        {
            g.drawText (place.caption, area, juce::Justification::centred);
        }
    }
}

void PresetFooter::mouseDown (const juce::MouseEvent& event)
{
    for (const auto& place : places)
        if (areaOf (place.item).contains (event.getPosition()))
            return click (place.item);
}

void PresetFooter::click (Item item)
{
    if (controls == nullptr)
        return;

    switch (item)
    {
        case Item::previous:
            stepPreset (-1);
            break;
        case Item::next:
            stepPreset (1);
            break;
        case Item::slotA:
            controls->switchToSlot (0);
            break;
        case Item::slotB:
            controls->switchToSlot (1);
            break;
        case Item::copyAToB:
            controls->copySlot (0, 1);
            break;
        case Item::copyBToA:
            controls->copySlot (1, 0);
            break;
        case Item::undo:
            controls->undo();
            break;
        case Item::redo:
            controls->redo();
            break;
        case Item::name:
        {
            const juce::Component::SafePointer<PresetFooter> safeThis (this);
            buildPresetMenu().showMenuAsync (
                juce::PopupMenu::Options().withTargetComponent (this).withTargetScreenArea (
                    localAreaToGlobal (areaOf (Item::name))),
                [safeThis] (int) { juce::ignoreUnused (safeThis); });
            break;
        }
    }
    repaint();
}

bool PresetFooter::handleKey (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();
    if (controls == nullptr || ! mods.isCtrlDown() || mods.isAltDown())
        return false;

    const auto letter = juce::CharacterFunctions::toLowerCase ((juce::juce_wchar) key.getKeyCode());
    if (letter == 'z' && ! mods.isShiftDown())
        controls->undo();
    else if ((letter == 'z' && mods.isShiftDown()) || (letter == 'y' && ! mods.isShiftDown()))
        controls->redo();
    else
        return false;

    repaint();
    return true;
}

//==============================================================================
std::vector<PresetFooter::Listed> PresetFooter::listPresets() const
{
    std::vector<Listed> list;
    for (int i = 0; i < FactoryPresets::count(); ++i)
        list.push_back ({ FactoryPresets::name (i), FactoryPresets::values (i) });

    if (library != nullptr)
        for (const auto& entry : library->scan())
            if (entry.isReadable())
                list.push_back ({ entry.name, entry.values });
    return list;
}

void PresetFooter::stepPreset (int delta)
{
    if (controls == nullptr)
        return;

    const auto list = listPresets();
    const auto current = controls->getPresetName();
    int index = -1;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == current)
            index = (int) i;

    const int count = (int) list.size();
    const int next = index < 0 ? (delta > 0 ? 0 : count - 1) : ((index + delta) % count + count) % count;
    controls->loadPreset (list[(size_t) next].name, list[(size_t) next].values);
    repaint();
}

bool PresetFooter::currentIsUserPreset() const
{
    if (controls == nullptr || library == nullptr)
        return false;
    const auto name = controls->getPresetName();
    return name.isNotEmpty() && ! FactoryPresets::find (name).has_value() && library->find (name).has_value();
}

juce::PopupMenu PresetFooter::buildPresetMenu()
{
    juce::PopupMenu menu;
    if (controls == nullptr)
        return menu;

    const juce::Component::SafePointer<PresetFooter> safeThis (this);
    const auto current = controls->getPresetName();

    menu.addSectionHeader ("Factory presets");
    for (int i = 0; i < FactoryPresets::count(); ++i)
    {
        const auto name = FactoryPresets::name (i);
        menu.addItem (name, true, name == current,
                      [safeThis, name, i]
                      {
                          if (safeThis != nullptr && safeThis->controls != nullptr)
                              safeThis->controls->loadPreset (name, FactoryPresets::values (i));
                      });
    }

    menu.addSectionHeader ("User presets");
    const auto entries = library != nullptr ? library->scan() : std::vector<PresetLibrary::Entry>{};
    if (entries.empty())
        menu.addItem ("(none saved yet)", false, false, [] {});
    for (const auto& entry : entries)
    {
        if (! entry.isReadable())
        {
            menu.addItem (entry.file.getFileName() + " (unreadable: " + entry.problem + ")", false, false, [] {});
            continue;
        }
        menu.addItem (entry.name, true, entry.name == current,
                      [safeThis, entry]
                      {
                          if (safeThis != nullptr && safeThis->controls != nullptr)
                              safeThis->controls->loadPreset (entry.name, entry.values);
                      });
    }

    menu.addSeparator();
    const bool userPreset = currentIsUserPreset();
    menu.addItem ("Save", userPreset, false,
                  [safeThis]
                  {
                      if (safeThis != nullptr)
                          safeThis->saveCurrent();
                  });
    menu.addItem (juce::String::fromUTF8 ("Save as\xe2\x80\xa6"), true, false,
                  [safeThis, current]
                  {
                      if (safeThis != nullptr)
                          safeThis->askForName ("Save the setting as a preset", current,
                                                [safeThis] (const juce::String& name)
                                                {
                                                    if (safeThis != nullptr)
                                                        safeThis->saveAs (name);
                                                });
                  });
    menu.addItem (juce::String::fromUTF8 ("Rename\xe2\x80\xa6"), userPreset, false,
                  [safeThis, current]
                  {
                      if (safeThis != nullptr)
                          safeThis->askForName ("Rename the preset", current,
                                                [safeThis] (const juce::String& name)
                                                {
                                                    if (safeThis != nullptr)
                                                        safeThis->renameCurrent (name);
                                                });
                  });
    menu.addItem ("Delete", userPreset, false,
                  [safeThis, current]
                  {
                      if (safeThis != nullptr)
                          safeThis->askToConfirm ("Delete the preset \"" + current + "\"?",
                                                  [safeThis] (bool yes)
                                                  {
                                                      if (yes && safeThis != nullptr)
                                                          safeThis->deleteCurrent();
                                                  });
                  });
    menu.addSeparator();
    menu.addItem (juce::String::fromUTF8 ("Import EQ file\xe2\x80\xa6"), true, false,
                  [safeThis]
                  {
                      if (safeThis != nullptr)
                          safeThis->chooseEqualiserFile (
                              [safeThis] (const juce::File& file)
                              {
                                  if (safeThis != nullptr)
                                      safeThis->importEqualiserFile (file);
                              });
                  });
    return menu;
}

//==============================================================================
void PresetFooter::reportProblem (const juce::String& problem)
{
    if (problem.isNotEmpty())
        showMessage ("Presets", problem);
}

juce::String PresetFooter::problemWithNewName (const juce::String& name) const
{
    if (const auto problem = PresetLibrary::problemWithName (name); problem.isNotEmpty())
        return problem;
    if (FactoryPresets::find (name).has_value())
        return "\"" + name.trim() + "\" is the name of a factory preset; please choose another.";
    return {};
}

void PresetFooter::runAfterAskingToReplace (const juce::String& name, const juce::String& ownName,
                                            std::function<void()> action)
{
    // A name another preset has (ignoring case, as lookups do) is replaced only when the user says so.
    const auto existing = library->find (name);
    if (! existing.has_value() || existing->name.equalsIgnoreCase (ownName))
        return action();

    askToConfirm ("A preset called \"" + existing->name + "\" exists already. Replace it?",
                  [action] (bool yes)
                  {
                      if (yes)
                          action();
                  });
}

void PresetFooter::saveCurrent()
{
    if (! currentIsUserPreset())
        return;
    const auto name = controls->getPresetName();
    if (const auto problem = library->save (name, controls->getCurrentValues()); problem.isNotEmpty())
        return reportProblem ("The preset could not be saved: " + problem);
    controls->setPresetName (name);
    repaint();
}

void PresetFooter::saveAs (const juce::String& name)
{
    if (controls == nullptr)
        return;

    const auto trimmed = name.trim();
    if (const auto problem = problemWithNewName (trimmed); problem.isNotEmpty())
        return reportProblem (problem);

    const juce::Component::SafePointer<PresetFooter> safeThis (this);
    runAfterAskingToReplace (trimmed, currentIsUserPreset() ? controls->getPresetName() : juce::String(),
                             [safeThis, trimmed]
                             {
                                 if (safeThis == nullptr || safeThis->controls == nullptr)
                                     return;
                                 auto& footer = *safeThis;
                                 if (const auto problem =
                                         footer.library->save (trimmed, footer.controls->getCurrentValues());
                                     problem.isNotEmpty())
                                     return footer.reportProblem ("The preset could not be saved: " + problem);
                                 footer.controls->setPresetName (trimmed);
                             });
}

void PresetFooter::renameCurrent (const juce::String& newName)
{
    if (! currentIsUserPreset())
        return;

    const auto oldName = controls->getPresetName();
    const auto trimmed = newName.trim();
    if (trimmed == oldName)
        return;
    if (const auto problem = problemWithNewName (trimmed); problem.isNotEmpty())
        return reportProblem (problem);

    const juce::Component::SafePointer<PresetFooter> safeThis (this);
    runAfterAskingToReplace (trimmed, oldName,
                             [safeThis, oldName, trimmed]
                             {
                                 if (safeThis == nullptr || safeThis->controls == nullptr)
                                     return;
                                 if (const auto problem = safeThis->library->rename (oldName, trimmed);
                                     problem.isNotEmpty())
                                     return safeThis->reportProblem (problem);
                                 safeThis->controls->setPresetName (trimmed);
                             });
}

void PresetFooter::deleteCurrent()
{
    if (! currentIsUserPreset())
        return;
    if (const auto problem = library->remove (controls->getPresetName()); problem.isNotEmpty())
        return reportProblem (problem);
    controls->setPresetName ({});
    repaint();
}

void PresetFooter::importEqualiserFile (const juce::File& file)
{
    if (controls == nullptr)
        return;

    const auto imported = EqualiserImport::fromFile (file);
    juce::StringArray lines;
    for (const auto& note : imported.notes)
        lines.add (note.describe());

    if (! imported.isUsable())
    {
        lines.insert (0, file.getFileName() + ": " + imported.error);
        return showMessage ("Import EQ file", lines.joinIntoString ("\n"));
    }

    PresetLibrary::Values values{};
    std::copy (imported.values.begin(), imported.values.end(), values.begin());
    controls->loadPreset (file.getFileNameWithoutExtension(), values);

    lines.insert (0, imported.summary());
    showMessage ("Import EQ file", lines.joinIntoString ("\n"));
}
