// Gestures on the curve editor, driven with synthetic mouse events: hover and hit radius, drags,
// double-click reset, wheel Q, the context menu and leaving the editor. The owner's callbacks do
// what the main screen does with them, so each gesture is checked in the engine's setting.

#include "../support/MessagePump.h"
#include "CurveTestSupport.h"
#include "engine/TrellaDSP.h"
#include "ui/EQCurveEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
    constexpr int W = 800, H = 300;
    using curvetest::mouseAt;

    struct BandChange
    {
        int band;
        float frequency, gain;
        bool active;
    };

    class CurveGestures : public ::testing::Test
    {
    protected:
        CurveGestures()
        {
            editor.onBandChanged = [this] (int band, float frequency, float gain, bool active)
            {
                bandChanges.push_back ({ band, frequency, gain, active });
                // What the main screen does: switch the EQ on first, then set the band.
                if (engine.getParams().eqActive == 0)
                    engine.setEqActive (true);
                engine.setBandFrequency (band, frequency);
                engine.setBandGain (band, gain);
                engine.setBandActive (band, active);
            };
            editor.onQChanged = [this] (int band, float q)
            {
                qChanges.push_back ({ band, q });
                engine.setBandQ (band, q);
            };
            engine.onParameterChanged = [this] (int index, float) { reported.push_back (index); };
            editor.refreshFromEngine();
        }

        ~CurveGestures() override { juce::PopupMenu::dismissAllActiveMenus(); }

        juce::Point<int> dotOf (int band)
        {
            editor.refreshFromEngine();
            const auto& view = editor.getBandView (band);
            return { view.x, view.y };
        }

        void placeBand (int band, float frequency, float gain)
        {
            engine.setBandFrequency (band, frequency);
            engine.setBandGain (band, gain);
            editor.refreshFromEngine();
        }

        void hover (int band)
        {
            editor.mouseMove (mouseAt (editor, dotOf (band)));
            ASSERT_EQ (editor.getHoveredBand(), band);
        }

        TrellaDSP engine{ 44100.0, 256 };
        EQCurveEditor editor{ W, H, &engine };
        std::vector<BandChange> bandChanges;
        std::vector<std::pair<int, float>> qChanges;
        std::vector<int> reported;
    };

    //==============================================================================
    struct HitCase
    {
        int dx, dy;
        bool hit;
    };

    std::ostream& operator<< (std::ostream& os, const HitCase& c)
    {
        return os << "offset (" << c.dx << ", " << c.dy << ")";
    }

    class CurveHitRadius : public CurveGestures, public ::testing::WithParamInterface<HitCase>
    {
    };

    TEST_P (CurveHitRadius, ADotIsHitWithinNinePixels)
    {
        const auto c = GetParam();
        const auto dot = dotOf (1); // 1000 Hz, 0 dB: (451, 150)
        ASSERT_EQ (dot, juce::Point<int> (451, 150));

        editor.mouseMove (mouseAt (editor, dot + juce::Point<int> (c.dx, c.dy)));
        EXPECT_EQ (editor.getHoveredBand(), c.hit ? 1 : -1);
        EXPECT_EQ (editor.getMousePosition(), dot + juce::Point<int> (c.dx, c.dy));
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveHitRadius,
                              ::testing::Values (HitCase{ 0, 0, true }, HitCase{ 9, 0, true }, HitCase{ 0, -9, true },
                                                 HitCase{ 10, 0, false }, HitCase{ 0, 10, false },
                                                 HitCase{ 7, 7, true },   // 9.9 pixels, truncated to 9
                                                 HitCase{ -6, 7, true },  // 9.2
                                                 HitCase{ 8, 6, false },  // exactly 10
                                                 HitCase{ -7, -8, false } // 10.6
                                                 ));

    TEST_F (CurveGestures, AmongOverlappingDotsTheHighestBandIsHoveredAndDragged)
    {
        placeBand (1, 1000.0f, 0.0f);
        placeBand (2, 1000.0f, 0.0f);
        placeBand (3, 1000.0f * std::pow (2.0f, 6.0f / 80.0f), 0.0f); // six pixels right
        ASSERT_EQ (dotOf (3).x, dotOf (1).x + 6);

        editor.mouseMove (mouseAt (editor, dotOf (1)));
        EXPECT_EQ (editor.getHoveredBand(), 3) << "within reach of bands 2, 3 and 4";

        editor.mouseMove (mouseAt (editor, dotOf (1) - juce::Point<int> (7, 0)));
        EXPECT_EQ (editor.getHoveredBand(), 2) << "band 4 is out of reach";

        editor.mouseDrag (mouseAt (editor, dotOf (1) - juce::Point<int> (7, 0), curvetest::leftButton()));
        EXPECT_EQ (editor.getDraggedBand(), 2);
        ASSERT_EQ (bandChanges.size(), 1u);
        EXPECT_EQ (bandChanges[0].band, 2);
    }

    TEST_F (CurveGestures, ADragPicksUpTheFirstDotItReachesAndMapsThePointerToFrequencyAndGain)
    {
        editor.mouseDrag (mouseAt (editor, { 200, 250 }, curvetest::leftButton()));
        EXPECT_EQ (editor.getDraggedBand(), -1);
        EXPECT_TRUE (bandChanges.empty()) << "empty space drags nothing";

        editor.mouseDrag (mouseAt (editor, { 455, 146 }, curvetest::leftButton())); // near band 2's dot
        ASSERT_EQ (editor.getDraggedBand(), 1);

        // The band follows the pointer even where no dot is any more, up to the very edges.
        const struct
        {
            juce::Point<int> at;
            float frequency, gain;
        } steps[] = { { { 455, 146 }, (float) (20.0 * std::pow (2.0, 10.0 * 455 / W)), 0.64f },
                      { { 400, 75 }, 640.0f, 12.0f },
                      { { W, 0 }, 20480.0f, 24.0f },
                      { { 0, H }, 20.0f, -24.0f } };

        bandChanges.clear();
        editor.mouseDrag (mouseAt (editor, steps[0].at, curvetest::leftButton()));
        for (int i = 1; i < 4; ++i)
            editor.mouseDrag (mouseAt (editor, steps[i].at, curvetest::leftButton()));

        ASSERT_EQ (bandChanges.size(), 4u);
        for (int i = 0; i < 4; ++i)
        {
            SCOPED_TRACE (i);
            EXPECT_EQ (bandChanges[(size_t) i].band, 1);
            EXPECT_NEAR (bandChanges[(size_t) i].frequency, steps[i].frequency, 1.0e-4f * steps[i].frequency);
            EXPECT_NEAR (bandChanges[(size_t) i].gain, steps[i].gain, 1.0e-4f);
            EXPECT_TRUE (bandChanges[(size_t) i].active);
        }
        EXPECT_EQ (editor.getBandView (1).x, 0);
        EXPECT_EQ (editor.getBandView (1).y, H);
        EXPECT_NEAR (engine.getParams().band[1].frequency, 20.0f, 1.0e-4f);

        editor.mouseUp (mouseAt (editor, { 0, H }));
        EXPECT_EQ (editor.getDraggedBand(), -1);
    }

    TEST_F (CurveGestures, APressOnADotTakesThatBandEvenWhenTheFirstMovementLeavesItsReach)
    {
        // Band 2's dot sits at (451, 150); a quick flick reports its first drag 30 pixels away.
        editor.mouseDown (mouseAt (editor, { 451, 150 }, curvetest::leftButton()));
        editor.mouseDrag (mouseAt (editor, { 470, 125 }, curvetest::leftButton()));
        ASSERT_EQ (editor.getDraggedBand(), 1);
        ASSERT_FALSE (bandChanges.empty());
        EXPECT_EQ (bandChanges.back().band, 1);
        editor.mouseUp (mouseAt (editor, { 470, 125 }, curvetest::leftButton()));
        EXPECT_EQ (editor.getDraggedBand(), -1);

        // A right-button press on a dot does not start a drag.
        bandChanges.clear();
        editor.mouseDown (mouseAt (editor, { 451, 150 }, curvetest::rightButton()));
        EXPECT_EQ (editor.getDraggedBand(), -1);
    }

    TEST_F (CurveGestures, DragEventsOutsideTheEditorChangeNothing)
    {
        editor.mouseDrag (mouseAt (editor, dotOf (1), curvetest::leftButton()));
        ASSERT_EQ (editor.getDraggedBand(), 1);
        const auto settingBefore = engine.getParams();
        const auto positionBefore = editor.getMousePosition();
        bandChanges.clear();

        for (const auto outside : { juce::Point<int> (-1, 100), juce::Point<int> (W + 1, 100),
                                    juce::Point<int> (100, -1), juce::Point<int> (100, H + 1) })
        {
            editor.mouseDrag (mouseAt (editor, outside, curvetest::leftButton()));
            EXPECT_EQ (editor.getMousePosition(), positionBefore) << outside.toString();
        }

        EXPECT_TRUE (bandChanges.empty());
        EXPECT_TRUE (engine.getParams().sameBytesAs (settingBefore));
        EXPECT_EQ (editor.getBandView (1).x, 451);
    }

    TEST_F (CurveGestures, DraggingABandWhileTheEqIsOffSwitchesTheEqOnAndReportsToTheHost)
    {
        ASSERT_EQ (engine.getParams().eqActive, 0);
        editor.mouseDrag (mouseAt (editor, dotOf (1), curvetest::leftButton()));
        editor.mouseDrag (mouseAt (editor, { 480, 100 }, curvetest::leftButton()));

        const auto p = engine.getParams();
        EXPECT_EQ (p.eqActive, 1);
        EXPECT_EQ (p.band[1].active, 1);
        EXPECT_NEAR (p.band[1].frequency, 1280.0f, 0.01f); // six octaves above 20 Hz
        EXPECT_NEAR (p.band[1].gain, 8.0f, 1.0e-4f);

        // Equaliser on, then band 2's frequency, gain and on-switch, as the host sees them.
        const std::vector<int> firstDrag{ 0, 3, 7, 17 };
        ASSERT_GE (reported.size(), 4u);
        EXPECT_EQ (std::vector<int> (reported.begin(), reported.begin() + 4), firstDrag);
        EXPECT_EQ (std::count (reported.begin(), reported.end(), 0), 1) << "switched on once";
    }

    //==============================================================================
    class CurveDoubleClick : public CurveGestures, public ::testing::WithParamInterface<int>
    {
    };

    TEST_P (CurveDoubleClick, ResetsFrequencyGainAndQAndSwitchesTheBandOffKeepingItsType)
    {
        const int band = GetParam();
        engine.setBandType (band, BandType::Peak);
        engine.setBandFrequency (band, 2500.0f);
        engine.setBandGain (band, 9.0f);
        engine.setBandQ (band, 3.0f);
        engine.setBandActive (band, true);
        hover (band);

        editor.mouseUp (mouseAt (editor, dotOf (band), curvetest::leftButton(), 2));

        const auto p = engine.getParams().band[band];
        const auto defaults = TrellaDSP::DefaultParameters.band[band];
        EXPECT_EQ (p.frequency, defaults.frequency);
        EXPECT_EQ (p.gain, 0.0f);
        EXPECT_EQ (p.q, 1.0f);
        EXPECT_EQ (p.active, 0);
        EXPECT_EQ (p.type, BandType::Peak) << "the type stays";
        EXPECT_EQ (engine.getParams().eqActive, 1) << "the reset goes through the owner, which switches the EQ on";
        ASSERT_EQ (bandChanges.size(), 1u);
        EXPECT_FALSE (bandChanges[0].active);
        ASSERT_EQ (qChanges.size(), 1u);
    }

    INSTANTIATE_TEST_SUITE_P (Bands, CurveDoubleClick, ::testing::Values (0, 1, 2, 3));

    TEST_F (CurveGestures, ClicksThatAreNotADoubleClickOnABandResetNothing)
    {
        editor.mouseMove (mouseAt (editor, { 100, 40 }));
        editor.mouseUp (mouseAt (editor, { 100, 40 }, curvetest::leftButton(), 2));
        hover (2);
        editor.mouseUp (mouseAt (editor, dotOf (2), curvetest::leftButton(), 1));
        editor.mouseUp (mouseAt (editor, dotOf (2), curvetest::leftButton(), 3));
        EXPECT_TRUE (bandChanges.empty());
        EXPECT_TRUE (qChanges.empty());
    }

    //==============================================================================
    struct WheelCase
    {
        float q, delta, expected;
    };

    std::ostream& operator<< (std::ostream& os, const WheelCase& c)
    {
        return os << "q " << c.q << " delta " << c.delta;
    }

    class CurveWheel : public CurveGestures, public ::testing::WithParamInterface<WheelCase>
    {
    };

    TEST_P (CurveWheel, AddsTheWheelDeltaToQWithinPointOneAndTen)
    {
        const auto c = GetParam();
        engine.setBandQ (2, c.q);
        hover (2);

        juce::MouseWheelDetails wheel{};
        wheel.deltaY = c.delta;
        editor.mouseWheelMove (mouseAt (editor, dotOf (2)), wheel);

        ASSERT_EQ (qChanges.size(), 1u);
        EXPECT_FLOAT_EQ (qChanges[0].second, c.expected);
        EXPECT_FLOAT_EQ (engine.getParams().band[2].q, c.expected);
        EXPECT_FLOAT_EQ (editor.getBandView (2).q, c.expected);
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveWheel,
                              ::testing::Values (WheelCase{ 0.15f, -0.2f, 0.1f }, WheelCase{ 1.0f, -5.0f, 0.1f },
                                                 WheelCase{ 9.8f, 0.5f, 10.0f }, WheelCase{ 1.0f, 0.25f, 1.25f },
                                                 WheelCase{ 4.0f, -1.5f, 2.5f }));

    TEST_F (CurveGestures, TheWheelOverEmptySpaceOrWithANonFiniteDeltaDoesNothing)
    {
        juce::MouseWheelDetails wheel{};
        wheel.deltaY = 0.5f;
        editor.mouseMove (mouseAt (editor, { 100, 40 }));
        editor.mouseWheelMove (mouseAt (editor, { 100, 40 }), wheel);

        hover (1);
        wheel.deltaY = std::numeric_limits<float>::quiet_NaN();
        editor.mouseWheelMove (mouseAt (editor, dotOf (1)), wheel);

        EXPECT_TRUE (qChanges.empty());
        EXPECT_EQ (engine.getParams().band[1].q, 1.0f);
    }

    //==============================================================================
    struct MenuItemSeen
    {
        int id;
        juce::String text;
        bool separator, enabled, ticked;
    };

    std::vector<MenuItemSeen> itemsOf (const juce::PopupMenu& menu)
    {
        std::vector<MenuItemSeen> items;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        {
            const auto& item = it.getItem();
            items.push_back ({ item.itemID, item.text, item.isSeparator, item.isEnabled, item.isTicked });
        }
        return items;
    }

    struct MenuCase
    {
        int band;
        bool soloed;
        std::vector<std::pair<int, const char*>> items; // id 0: separator
    };

    std::ostream& operator<< (std::ostream& os, const MenuCase& c)
    {
        return os << "band index " << c.band << (c.soloed ? " soloed" : "");
    }

    class CurveMenuItems : public CurveGestures, public ::testing::WithParamInterface<MenuCase>
    {
    };

    TEST_P (CurveMenuItems, OffersSoloOrUnSoloAndTheTypesOfTheShelfBands)
    {
        const auto c = GetParam();
        if (c.soloed)
            engine.setBandSolo (c.band, true);

        const auto items = itemsOf (editor.createBandMenu (c.band));
        ASSERT_EQ (items.size(), c.items.size());
        for (size_t i = 0; i < items.size(); ++i)
        {
            SCOPED_TRACE (i);
            EXPECT_EQ (items[i].separator, c.items[i].first == 0);
            if (c.items[i].first == 0)
                continue;
            EXPECT_EQ (items[i].id, c.items[i].first);
            EXPECT_EQ (items[i].text, juce::String (c.items[i].second));
            EXPECT_TRUE (items[i].enabled);
            EXPECT_FALSE (items[i].ticked);
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        Bands, CurveMenuItems,
        ::testing::Values (MenuCase{ 0, false, { { 1, "Solo" }, { 0, "" }, { 2, "Low Shelf" }, { 3, "Peak" } } },
                           MenuCase{ 0, true, { { 1, "UnSolo" }, { 0, "" }, { 2, "Low Shelf" }, { 3, "Peak" } } },
                           MenuCase{ 1, false, { { 1, "Solo" } } }, MenuCase{ 2, true, { { 1, "UnSolo" } } },
                           MenuCase{ 3, false, { { 1, "Solo" }, { 0, "" }, { 2, "High Shelf" }, { 3, "Peak" } } }));

    struct MenuResultCase
    {
        const char* label;
        int band, result;
        int expectedType; // -1: unchanged
        int expectedSolo; // band soloed afterwards, -1 for none
    };

    std::ostream& operator<< (std::ostream& os, const MenuResultCase& c)
    {
        return os << c.label;
    }

    class CurveMenuResults : public CurveGestures, public ::testing::WithParamInterface<MenuResultCase>
    {
    };

    TEST_P (CurveMenuResults, AppliesTheChoiceToTheBandAndForcesARecompute)
    {
        const auto c = GetParam();
        engine.setBandType (0, BandType::Peak); // band 1 starts as a peak so the shelf choice shows
        engine.setBandSolo (2, true);           // band 3 starts soloed
        editor.refreshFromEngine();
        const auto typesBefore = engine.getParams();

        editor.applyBandMenuResult (c.band, c.result);

        EXPECT_TRUE (editor.isRecomputePending());
        const auto p = engine.getParams();
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ (p.band[b].type, b == c.band && c.expectedType >= 0 ? c.expectedType : typesBefore.band[b].type)
                << "band " << b;
        EXPECT_EQ (engine.getSoloBand(), c.expectedSolo);
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveMenuResults,
                              ::testing::Values (MenuResultCase{ "band1_low_shelf", 0, 2, BandType::LowShelf, -1 },
                                                 MenuResultCase{ "band4_high_shelf", 3, 2, BandType::HighShelf, -1 },
                                                 MenuResultCase{ "band4_peak", 3, 3, BandType::Peak, -1 },
                                                 MenuResultCase{ "band2_solo", 1, 1, -1, 1 },
                                                 MenuResultCase{ "band3_unsolo", 2, 1, -1, -1 },
                                                 MenuResultCase{ "band2_stray_type_item", 1, 2, -1, 2 },
                                                 MenuResultCase{ "dismissed", 0, 0, -1, 2 }));

    TEST_F (CurveGestures, ARightClickOnABandOpensTheMenuAsynchronouslyAndDismissalForcesARecompute)
    {
        hover (1);
        editor.refreshFromEngine();
        ASSERT_FALSE (editor.isRecomputePending());
        const auto settingBefore = engine.getParams();

        editor.mouseUp (mouseAt (editor, dotOf (1), curvetest::rightButton(), 2));
        EXPECT_EQ (editor.getHoveredBand(), -1);
        EXPECT_TRUE (bandChanges.empty()) << "a right double-click is no reset";
        EXPECT_FALSE (editor.isRecomputePending()) << "nothing happens until the menu closes";

        ASSERT_TRUE (juce::PopupMenu::dismissAllActiveMenus()) << "the menu is open";
        EXPECT_TRUE (pumpMessagesUntil ([this] { return editor.isRecomputePending(); }));
        EXPECT_TRUE (engine.getParams().sameBytesAs (settingBefore));
        EXPECT_EQ (engine.getSoloBand(), -1);
    }

    TEST_F (CurveGestures, ARightClickOnEmptySpaceShowsNoMenu)
    {
        editor.mouseMove (mouseAt (editor, { 100, 40 }));
        editor.mouseUp (mouseAt (editor, { 100, 40 }, curvetest::rightButton()));
        EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());
        pumpMessages (20);
        EXPECT_FALSE (editor.isRecomputePending());
    }

    TEST_F (CurveGestures, DestroyingTheEditorWithItsMenuOpenIsSafe)
    {
        auto transient = std::make_unique<EQCurveEditor> (W, H, &engine);
        transient->refreshFromEngine();
        transient->mouseMove (mouseAt (*transient, { 451, 150 }));
        ASSERT_EQ (transient->getHoveredBand(), 1);
        transient->mouseUp (mouseAt (*transient, { 451, 150 }, curvetest::rightButton()));
        transient.reset();
        pumpMessages (50);
        EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());
        EXPECT_EQ (engine.getSoloBand(), -1);
    }

    //==============================================================================
    TEST_F (CurveGestures, LeavingTheEditorHidesTheGuidesButKeepsTheHoveredBand)
    {
        hover (3);
        editor.mouseExit (mouseAt (editor, { W + 5, 10 }));
        EXPECT_EQ (editor.getMousePosition(), juce::Point<int> (-1, -1));
        EXPECT_EQ (editor.getHoveredBand(), 3);

        editor.mouseMove (mouseAt (editor, { 10, 10 }));
        EXPECT_EQ (editor.getHoveredBand(), -1);
    }

    TEST_F (CurveGestures, WithoutAnEngineEveryGestureIsIgnored)
    {
        hover (1);
        editor.setEngine (nullptr);
        EXPECT_EQ (editor.getHoveredBand(), -1);

        juce::MouseWheelDetails wheel{};
        wheel.deltaY = 1.0f;
        editor.mouseMove (mouseAt (editor, { 451, 150 }));
        editor.mouseDrag (mouseAt (editor, { 451, 150 }, curvetest::leftButton()));
        editor.mouseWheelMove (mouseAt (editor, { 451, 150 }), wheel);
        editor.mouseUp (mouseAt (editor, { 451, 150 }, curvetest::leftButton(), 2));
        editor.mouseUp (mouseAt (editor, { 451, 150 }, curvetest::rightButton()));
        editor.applyBandMenuResult (1, EQCurveEditor::soloItem);

        EXPECT_TRUE (bandChanges.empty());
        EXPECT_TRUE (qChanges.empty());
        EXPECT_FALSE (juce::PopupMenu::dismissAllActiveMenus());
        EXPECT_EQ (engine.getSoloBand(), -1);
    }
} // namespace
