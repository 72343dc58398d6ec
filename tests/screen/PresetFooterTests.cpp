// The footer's preset, A/B and undo controls in the real editor window: drawn where the layout
// says and scaled with the window, clicked, and the preset menu's actions on a data folder of
// the test's own.

#include "ScreenTestSupport.h"
#include "plugin/PluginEditor.h"
#include "state/FactoryPresets.h"
#include "state/PresetLibrary.h"
#include "support/MessagePump.h"
#include "ui/PresetFooter.h"
#include "ui/TrellaUI2.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{
    using Processor = KroTrellaAudioProcessor;
    using Editor = KroTrellaAudioProcessorEditor;
    using Item = PresetFooter::Item;
    using screen_test::FreshDataFolder;

    /** A window on a fresh data folder, with the footer's questions answered by the test. */
    struct FooterWindow
    {
        FreshDataFolder data;
        Processor processor;
        Editor editor{ processor };
        PresetFooter& footer = editor.getMainScreen().getFooter();

        juce::StringArray questions, messages;
        bool answer = true;

        FooterWindow()
        {
            footer.askToConfirm = [this] (const juce::String& question, std::function<void (bool)> onAnswer)
            {
                questions.add (question);
                onAnswer (answer);
            };
            footer.showMessage = [this] (const juce::String&, const juce::String& message) { messages.add (message); };
        }

        PresetLibrary library() const { return PresetLibrary (Processor::getUserPresetFolder()); }
    };

    /** The texts of the menu's items, with "(off)" after those that cannot be chosen. */
    juce::StringArray itemsOf (const juce::PopupMenu& menu)
    {
        juce::StringArray items;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            const auto& item = it.getItem();
            if (! item.isSeparator && ! item.isSectionHeader)
                items.add (item.text + (item.isEnabled ? "" : " (off)"));
        }
        return items;
    }

    //==============================================================================
    TEST (PresetFooter, DrawsEachItemInItsPlaceAndScalesWithTheWindow)
    {
        FooterWindow w;
        const juce::Colour ink (TrellaUI2::footerColour), black (juce::Colours::black);

        for (const auto size : { juce::Point<int> (800, 580), juce::Point<int> (1200, 870) })
        {
            w.editor.setSize (size.x, size.y);
            const float scale = (float) size.x / 800.0f;
            const auto image = ui_test::snapshotOf (w.editor);
            ui_test::savePng (image, "footer-" + juce::String (size.x));

            const auto inWindow = [&] (Item item)
            {
                return (w.footer.areaOf (item) + w.footer.getPosition())
                    .toFloat()
                    .transformedBy (w.editor.getMainScreen().getTransform());
            };

            // A is heard: its box is filled; B's is an outline with black inside.
            const auto a = inWindow (Item::slotA).getCentre().toInt();
            EXPECT_TRUE (ui_test::pixelNear (image, a.x - (int) (6 * scale), a.y, ink, 40)) << size.x;
            const auto b = inWindow (Item::slotB);
            EXPECT_TRUE (
                ui_test::pixelNear (image, (int) b.getX() + (int) (3 * scale), (int) b.getCentreY(), black, 10));

            // The preset's name is drawn inside its field, which ends before the arrow.
            const auto name = inWindow (Item::name).toNearestInt();
            const auto text = ui_test::inkBounds (image, name.reduced ((int) (3 * scale)), black);
            ASSERT_FALSE (text.isEmpty());
            EXPECT_LT (text.getX(), name.getX() + (int) (12 * scale));

            // Nothing to undo yet: the undo caption is dimmer than the redo's... after an edit it is lit.
            const auto undoArea = inWindow (Item::undo).toNearestInt().reduced ((int) (4 * scale));
            const auto dim = ui_test::mostDifferentPixel (image, undoArea, black);
            EXPECT_LT (dim.getBrightness(), 0.5f) << size.x;

            // The footer stays within the 20-pixel band at the bottom, inside the right margin.
            const auto footerArea =
                (w.footer.getBounds().toFloat()).transformedBy (w.editor.getMainScreen().getTransform());
            EXPECT_GE (footerArea.getY(), 560.0f * scale);
            EXPECT_LE (footerArea.getRight(), 795.0f * scale + 1.0f);
        }

        // After an edit the undo button is lit.
        auto& engine = *w.processor.getEngine();
        engine.beginChangeGesture (7);
        engine.setBandGain (1, 5.0f);
        engine.endChangeGesture (7);
        w.editor.setSize (800, 580);
        const auto image = ui_test::snapshotOf (w.editor);
        ui_test::savePng (image, "footer-after-edit");
        const auto undoArea = (w.footer.areaOf (Item::undo) + w.footer.getPosition()).reduced (4);
        EXPECT_GT (ui_test::mostDifferentPixel (image, undoArea, black).getBrightness(), 0.7f);
    }

    TEST (PresetFooter, ClicksSwitchCopyStepAndUndo)
    {
        FooterWindow w;
        auto& footer = w.footer;
        auto& p = w.processor;

        footer.click (Item::next);
        EXPECT_EQ (p.getPresetName(), FactoryPresets::name (1));
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::values (1));
        EXPECT_EQ (footer.getShownName(), FactoryPresets::name (1));
        footer.click (Item::previous);
        footer.click (Item::previous); // wraps to the last preset
        EXPECT_EQ (p.getPresetName(), FactoryPresets::name (FactoryPresets::count() - 1));

        const auto a = p.getCurrentValues();
        footer.click (Item::slotB);
        EXPECT_EQ (p.getActiveSlot(), 1);
        footer.click (Item::copyAToB);
        EXPECT_EQ (p.getCurrentValues(), a);

        // A real click on the undo button, through the window.
        const auto undoCentre = footer.areaOf (Item::undo).getCentre().toFloat();
        footer.mouseDown (ui_test::mouseEventAt (footer, undoCentre));
        EXPECT_EQ (p.getCurrentValues(), FactoryPresets::initialValues());
        footer.click (Item::redo);
        EXPECT_EQ (p.getCurrentValues(), a);

        // A changed setting is marked.
        p.getKroParameter (7)->setValue (0.9f);
        EXPECT_TRUE (footer.getShownName().endsWith (" *"));
    }

    TEST (PresetFooter, TheMenuListsFactoryAndUserPresetsAndNamesUnreadableFiles)
    {
        FooterWindow w;
        ASSERT_EQ (w.library().save ("Mine", FactoryPresets::values (3)), "");
        ASSERT_TRUE (w.library().getFolder().getChildFile ("broken.xml").replaceWithText ("<KroPRESET><PARAM"));

        const auto items = itemsOf (w.footer.buildPresetMenu());
        for (int i = 0; i < FactoryPresets::count(); ++i)
            EXPECT_TRUE (items.contains (FactoryPresets::name (i))) << FactoryPresets::name (i);
        EXPECT_TRUE (items.contains ("Mine"));
        EXPECT_GE (items.indexOf ("Mine"), FactoryPresets::count());
        bool namesTheBrokenFile = false;
        for (const auto& item : items)
            namesTheBrokenFile |= item.startsWith ("broken.xml (unreadable") && item.endsWith ("(off)");
        EXPECT_TRUE (namesTheBrokenFile) << items.joinIntoString (" | ");

        // With a factory preset current, only "Save as..." and the import can be chosen.
        EXPECT_TRUE (items.contains ("Save (off)"));
        EXPECT_TRUE (items.contains ("Delete (off)"));
        EXPECT_TRUE (items.contains (juce::String::fromUTF8 ("Save as\xe2\x80\xa6")));
        EXPECT_TRUE (items.contains (juce::String::fromUTF8 ("Import EQ file\xe2\x80\xa6")));

        // The broken file is still there, untouched.
        EXPECT_EQ (w.library().getFolder().getChildFile ("broken.xml").loadFileAsString(), "<KroPRESET><PARAM");
    }

    TEST (PresetFooter, SavesRenamesAndDeletesUserPresetsAskingBeforeReplacing)
    {
        FooterWindow w;
        auto& footer = w.footer;
        auto& p = w.processor;
        const juce::String name ("Lead / \"dry\"");

        p.getKroParameter (7)->setValue (0.75f);
        footer.saveAs (name);
        EXPECT_EQ (p.getPresetName(), name);
        EXPECT_FALSE (p.differsFromPreset());
        ASSERT_TRUE (w.library().find (name).has_value());
        EXPECT_EQ (w.library().find (name)->values, p.getCurrentValues());
        EXPECT_TRUE (w.questions.isEmpty());

        // Save keeps the change under the same name, without asking.
        p.getKroParameter (8)->setValue (0.25f);
        footer.saveCurrent();
        EXPECT_EQ (w.library().find (name)->values, p.getCurrentValues());
        EXPECT_TRUE (w.questions.isEmpty());

        // "Save as" onto a taken name asks; a no keeps the file.
        ASSERT_EQ (w.library().save ("Other", FactoryPresets::values (2)), "");
        w.answer = false;
        footer.saveAs ("other");
        EXPECT_EQ (w.questions.size(), 1);
        EXPECT_EQ (w.library().find ("Other")->values, FactoryPresets::values (2));
        EXPECT_EQ (p.getPresetName(), name);
        w.answer = true;
        footer.saveAs ("Other");
        EXPECT_EQ (w.questions.size(), 2);
        EXPECT_EQ (w.library().find ("Other")->values, p.getCurrentValues());

        // A factory name and an empty name are refused with a message.
        footer.saveAs ("Telephone Band");
        footer.saveAs ("  ");
        EXPECT_EQ (w.messages.size(), 2);
        EXPECT_FALSE (w.library().find ("Telephone Band").has_value());

        footer.renameCurrent ("Renamed");
        EXPECT_EQ (p.getPresetName(), "Renamed");
        EXPECT_FALSE (w.library().find ("Other").has_value());
        EXPECT_EQ (w.library().find ("Renamed")->values, p.getCurrentValues());

        footer.deleteCurrent();
        EXPECT_FALSE (w.library().find ("Renamed").has_value());
        EXPECT_TRUE (w.library().find (name).has_value());
        EXPECT_EQ (w.library().scan().size(), 1u);
    }

    TEST (PresetFooter, ImportsAnEqualiserFileAsOneStepAndExplainsAFileItCannotUse)
    {
        FooterWindow w;
        const ScratchFolder scratch;
        const auto good = scratch.get().getChildFile ("ParametricEQ.txt");
        ASSERT_TRUE (good.replaceWithText ("Preamp: -3 dB\nFilter 1: ON PK Fc 1000 Hz Gain 4 dB Q 1.0\nnonsense\n"));
        const auto bad = scratch.get().getChildFile ("empty.txt");
        ASSERT_TRUE (bad.replaceWithText ("nothing here\n"));

        const auto before = w.processor.getCurrentValues();
        w.footer.importEqualiserFile (bad);
        EXPECT_EQ (w.processor.getCurrentValues(), before);
        ASSERT_EQ (w.messages.size(), 1);
        EXPECT_TRUE (w.messages[0].contains ("empty.txt"));

        w.footer.importEqualiserFile (good);
        EXPECT_EQ (w.processor.getPresetName(), "ParametricEQ");
        int boosted = 0;
        const auto setting = w.processor.getEngine()->getParams();
        for (const auto& band : setting.band)
            boosted +=
                band.active != 0 && std::abs (band.gain - 4.0f) < 0.05f && std::abs (band.frequency - 1000.0f) < 1.0f;
        EXPECT_EQ (boosted, 1);
        EXPECT_NEAR (setting.level, -3.0f, 0.05f);
        ASSERT_EQ (w.messages.size(), 2);
        EXPECT_TRUE (w.messages[1].contains ("line 3")) << w.messages[1];
        w.processor.undo();
        EXPECT_EQ (w.processor.getCurrentValues(), before);
    }
} // namespace
