// The response curve: what it shows for the engine's settings (checked against audio processed by
// the engine and against independent textbook responses), when it is recomputed, and how the
// curve, dots, bubble and guides are drawn.

#include "../support/Signals.h"
#include "CurveTestSupport.h"
#include "engine/TrellaDSP.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQCurveGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
    constexpr int W = 800, H = 300;
    constexpr double defaultRate = 44100.0;

    /** The points of the curve path, in order: the start at the left edge, then one per probe. */
    std::vector<juce::Point<float>> pointsOf (const juce::Path& path)
    {
        std::vector<juce::Point<float>> points;
        juce::Path::Iterator it (path);
        while (it.next())
            if (it.elementType == juce::Path::Iterator::startNewSubPath ||
                it.elementType == juce::Path::Iterator::lineTo)
                points.push_back ({ it.x1, it.y1 });
        return points;
    }

    /** The probe closest to a frequency. */
    int probeNear (double frequency)
    {
        const auto& probes = EQCurveEditor::getProbeFrequencies();
        int best = 0;
        for (int j = 1; j < EQCurveEditor::numProbes; ++j)
            if (std::abs (probes[(size_t) j] - frequency) < std::abs (probes[(size_t) best] - frequency))
                best = j;
        return best;
    }

    void setBand (TrellaDSP& engine, int band, int type, float frequency, float gainDb, float q, bool active)
    {
        engine.setBandType (band, type);
        engine.setBandFrequency (band, frequency);
        engine.setBandGain (band, gainDb);
        engine.setBandQ (band, q);
        engine.setBandActive (band, active);
    }

    class CurveResponse : public ::testing::Test
    {
    protected:
        std::unique_ptr<TrellaDSP> engine = std::make_unique<TrellaDSP> (defaultRate, 256);
        EQCurveEditor editor{ W, H, engine.get() };

        double magnitudeDbAt (int probe) const { return signals::toDb (editor.getMagnitudes()[(size_t) probe]); }
    };

    //==============================================================================
    TEST_F (CurveResponse, FlatSettingsGiveAStraightLineAtZeroDbShiftedFivePixelsRight)
    {
        ASSERT_TRUE (editor.refreshFromEngine());

        const auto points = pointsOf (editor.getCurvePath());
        ASSERT_EQ (points.size(), (size_t) EQCurveEditor::numProbes + 1);
        EXPECT_EQ (points[0], juce::Point<float> (0.0f, H / 2));

        for (size_t j = 0; j < editor.getMagnitudes().size(); ++j)
        {
            EXPECT_FLOAT_EQ (editor.getMagnitudes()[j], 1.0f);
            EXPECT_FLOAT_EQ (points[j + 1].y, H / 2);
        }

        // The curve's points run from 1 Hz in steps of 100/3 Hz, drawn 5 pixels right of the axis.
        for (int j : { 0, 29, 300, 599 })
        {
            const double frequency = 1.0 + j * 100.0 / 3.0;
            EXPECT_NEAR (points[(size_t) j + 1].x, W * std::log2 (frequency / 20.0) / 10.0 + 5.0, 0.02) << j;
        }
    }

    TEST_F (CurveResponse, ABoostReachesItsGainAtTheBandFrequency)
    {
        setBand (*engine, 1, BandType::Peak, 1000.0f, 12.0f, 1.0f, true);
        editor.refreshFromEngine();

        const int probe = probeNear (1000.0);
        EXPECT_NEAR (magnitudeDbAt (probe), 12.0, 0.05);
        EXPECT_NEAR (pointsOf (editor.getCurvePath())[(size_t) probe + 1].y, 75.0f, 0.4f); // +12 dB is a quarter down
    }

    TEST (CurveResponseFloor, SilenceIsDrawnFarBelowTheBottomEdge)
    {
        // At a rate whose Nyquist frequency is the last probe, a low-pass has its double zero there.
        const double rate = 2.0 * EQCurveEditor::getProbeFrequencies().back();
        TrellaDSP engine (rate, 256);
        engine.setLoPass (15000.0f);
        EQCurveEditor editor (W, H, &engine);
        editor.refreshFromEngine();

        const auto last = (size_t) EQCurveEditor::numProbes - 1;
        ASSERT_LT (editor.getMagnitudes()[last], 1.0e-5f);
        EXPECT_FLOAT_EQ (pointsOf (editor.getCurvePath())[last + 1].y, 148.0f * H / 48.0f); // drawn at -124 dB
        EXPECT_GT (editor.getMagnitudes()[last - 100], 1.0e-3f) << "only the zero itself falls to the floor";
    }

    struct PassFilterCase
    {
        const char* label;
        float hiPass, loPass;
        bool hiPassShown, loPassShown;
    };

    std::ostream& operator<< (std::ostream& os, const PassFilterCase& c)
    {
        return os << c.label;
    }

    class CurvePassFilters : public ::testing::TestWithParam<PassFilterCase>
    {
    };

    TEST_P (CurvePassFilters, InertCornersAreLeftOutOfTheCurve)
    {
        const auto c = GetParam();
        TrellaDSP engine (defaultRate, 256);
        engine.setHiPass (c.hiPass);
        engine.setLoPass (c.loPass);
        EQCurveEditor editor (W, H, &engine);
        editor.refreshFromEngine();

        const auto& m = editor.getMagnitudes();
        // A 12 dB/octave high-pass at 20.01 Hz is some 52 dB down at 1 Hz; a low-pass at 19999 Hz
        // is about 6 dB down at the last probe (19968 Hz).
        EXPECT_EQ (m.front() < 0.01f, c.hiPassShown);
        EXPECT_EQ (m.back() < 0.6f, c.loPassShown);
        if (! c.hiPassShown)
        {
            EXPECT_FLOAT_EQ (m.front(), 1.0f);
        }
        if (! c.loPassShown)
        {
            EXPECT_FLOAT_EQ (m.back(), 1.0f);
        }
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurvePassFilters,
                              ::testing::Values (PassFilterCase{ "both_inert", 20.0f, 20000.0f, false, false },
                                                 PassFilterCase{ "hipass_20_01", 20.01f, 20000.0f, true, false },
                                                 PassFilterCase{ "hipass_below_20", 19.0f, 20000.0f, false, false },
                                                 PassFilterCase{ "lopass_19999", 20.0f, 19999.0f, false, true },
                                                 PassFilterCase{ "lopass_above", 20.0f, 20500.0f, false, false },
                                                 PassFilterCase{ "both", 20.01f, 19999.0f, true, true }));

    TEST_F (CurveResponse, SoloShowsTheBandAloneEvenWhenItIsOffAndUnsoloRestoresTheCurve)
    {
        engine->setHiPass (100.0f);
        setBand (*engine, 0, BandType::LowShelf, 120.0f, 6.0f, 1.0f, true);
        setBand (*engine, 1, BandType::Peak, 1000.0f, 12.0f, 1.0f, false);
        setBand (*engine, 2, BandType::Peak, 4200.0f, -6.0f, 2.0f, true);
        editor.refreshFromEngine();
        const auto before = editor.getMagnitudes();

        editor.applyBandMenuResult (1, EQCurveEditor::soloItem);
        ASSERT_TRUE (engine->isBandSoloed (1));
        ASSERT_TRUE (editor.refreshFromEngine());

        // A band-pass at the band's frequency and Q with unity gain, and nothing else.
        const auto reference = textbook::bandPass (defaultRate, 1000.0, 1.0);
        for (int j : { 3, 15, 30, 60, 126, 300, 599 })
        {
            const double f = EQCurveEditor::getProbeFrequencies()[(size_t) j];
            EXPECT_NEAR (magnitudeDbAt (j), signals::toDb (reference.magnitudeAt (f, defaultRate)), 0.05) << f << " Hz";
        }

        editor.applyBandMenuResult (1, EQCurveEditor::soloItem);
        ASSERT_FALSE (engine->isBandSoloed (1));
        editor.refreshFromEngine();
        for (size_t j = 0; j < before.size(); ++j)
            ASSERT_FLOAT_EQ (editor.getMagnitudes()[j], before[j]) << j;
    }

    //==============================================================================
    struct ProcessedCase
    {
        const char* label;
        double sampleRate;
        int soloBand;
    };

    std::ostream& operator<< (std::ostream& os, const ProcessedCase& c)
    {
        return os << c.label;
    }

    class CurveMatchesAudio : public ::testing::TestWithParam<ProcessedCase>
    {
    };

    TEST_P (CurveMatchesAudio, MagnitudesEqualTheResponseOfTheProcessedImpulse)
    {
        const auto c = GetParam();
        TrellaDSP engine (c.sampleRate, 512);
        engine.setEqActive (true);
        setBand (engine, 0, BandType::LowShelf, 150.0f, 5.0f, 0.8f, true);
        setBand (engine, 1, BandType::Peak, 700.0f, -7.5f, 2.0f, true);
        setBand (engine, 2, BandType::Peak, 3000.0f, 4.0f, 0.7f, true);
        setBand (engine, 3, BandType::HighShelf, 9000.0f, -6.0f, 1.0f, true);
        if (c.soloBand >= 0)
            engine.setBandSolo (c.soloBand, true); // the pass filters stay inert: the audio keeps them in solo
        else
        {
            engine.setHiPass (40.0f);
            engine.setLoPass (16000.0f);
        }

        EQCurveEditor editor (W, H, &engine);
        editor.refreshFromEngine();

        const auto response =
            signals::impulseResponse ([&] (juce::AudioBuffer<float>& b) { engine.Process (b); }, 1 << 16);
        for (int j : { 1, 3, 5, 20, 90, 200, 270, 400, 470, 599 })
        {
            const double f = EQCurveEditor::getProbeFrequencies()[(size_t) j];
            const double measured = signals::magnitudeAt (response.left, f, c.sampleRate);
            EXPECT_NEAR (signals::toDb (editor.getMagnitudes()[(size_t) j]), signals::toDb (measured), 0.05)
                << f << " Hz";
        }
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveMatchesAudio,
                              ::testing::Values (ProcessedCase{ "full_chain_44k", 44100.0, -1 },
                                                 ProcessedCase{ "full_chain_96k", 96000.0, -1 },
                                                 ProcessedCase{ "solo_high_shelf_48k", 48000.0, 3 },
                                                 ProcessedCase{ "solo_peak_44k", 44100.0, 1 }));

    //==============================================================================
    TEST_F (CurveResponse, RecomputesOnlyWhenTheSettingOrSoloChanges)
    {
        curvetest::snapshot (editor, "recompute");
        ASSERT_EQ (editor.getRecomputeCount(), 1);

        curvetest::snapshot (editor, "recompute");
        EXPECT_EQ (editor.getRecomputeCount(), 1) << "an unchanged setting is not recomputed";

        engine->setBandGain (2, 3.0f);
        curvetest::snapshot (editor, "recompute");
        EXPECT_EQ (editor.getRecomputeCount(), 2);

        engine->setBandGain (2, 3.0f); // the same value again
        curvetest::snapshot (editor, "recompute");
        EXPECT_EQ (editor.getRecomputeCount(), 2);

        engine->setBandSolo (2, true); // solo is not in the parameter record
        curvetest::snapshot (editor, "recompute");
        EXPECT_EQ (editor.getRecomputeCount(), 3);

        editor.applyBandMenuResult (2, 0); // a dismissed menu
        EXPECT_TRUE (editor.isRecomputePending());
        curvetest::snapshot (editor, "recompute");
        EXPECT_EQ (editor.getRecomputeCount(), 4);
    }

    TEST_F (CurveResponse, FollowsAnEngineRebuildAndDrawsNothingWithoutAnEngine)
    {
        setBand (*engine, 1, BandType::Peak, 1000.0f, 12.0f, 1.0f, true);
        editor.refreshFromEngine();

        // A rebuilt engine at another rate with the same parameters: the curve is recomputed.
        auto rebuilt = std::make_unique<TrellaDSP> (22050.0, 256);
        setBand (*rebuilt, 1, BandType::Peak, 1000.0f, 12.0f, 1.0f, true);
        editor.setEngine (rebuilt.get());
        engine.reset();
        ASSERT_TRUE (editor.refreshFromEngine());
        const auto cramped = textbook::peak (22050.0, 1000.0, 1.0, 12.0);
        const double f = EQCurveEditor::getProbeFrequencies()[300];
        EXPECT_NEAR (signals::toDb (editor.getMagnitudes()[300]), signals::toDb (cramped.magnitudeAt (f, 22050.0)),
                     0.05);

        editor.setEngine (nullptr);
        EXPECT_FALSE (editor.refreshFromEngine());
        editor.mouseMove (curvetest::mouseAt (editor, { 451, 75 }));
        const auto image = curvetest::snapshot (editor, "no_engine");
        for (int x = 1; x < W; x += 7)
            for (int y = 1; y < H; y += 3)
                ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << "drawn at " << x << ", " << y;
        EXPECT_EQ (editor.getHoveredBand(), -1);
    }

    //==============================================================================
    class CurveRendering : public CurveResponse
    {
    protected:
        const juce::Colour inactiveDot = juce::Colours::lightblue.brighter (0.4f);

        juce::Point<int> dotOf (int band) const
        {
            const auto& view = editor.getBandView (band);
            return { view.x, view.y };
        }

        void hover (int band)
        {
            editor.refreshFromEngine();
            editor.mouseMove (curvetest::mouseAt (editor, dotOf (band)));
            ASSERT_EQ (editor.getHoveredBand(), band);
        }
    };

    TEST_F (CurveRendering, DotsAreRedWhenSoloedWhiteWhenActiveElsePaleBlue)
    {
        setBand (*engine, 0, BandType::LowShelf, 100.0f, 6.0f, 1.0f, true);
        setBand (*engine, 1, BandType::Peak, 500.0f, -6.0f, 1.0f, false);
        setBand (*engine, 2, BandType::Peak, 2000.0f, 0.0f, 1.0f, false);
        engine->setBandSolo (2, true);
        editor.mouseExit (curvetest::mouseAt (editor, { -1, -1 }));
        const auto image = curvetest::snapshot (editor, "dots");

        const std::pair<int, juce::Colour> expected[] = {
            { 0, juce::Colours::white }, { 1, inactiveDot }, { 2, juce::Colours::red }, { 3, inactiveDot }
        };
        for (const auto& [band, colour] : expected)
        {
            const auto dot = dotOf (band);
            EXPECT_LE (curvetest::rgbDistance (image.getPixelAt (dot.x, dot.y), colour), 8) << "band " << band;
            EXPECT_EQ (image.getPixelAt (dot.x, dot.y).getAlpha(), 255);
            EXPECT_EQ (image.getPixelAt (dot.x + 7, dot.y + 7).getAlpha() < 255, true) << "the dot is 10 pixels wide";
        }
    }

    TEST_F (CurveRendering, TheCurvePassesThroughTheDotOfABoostedBand)
    {
        setBand (*engine, 1, BandType::Peak, 1000.0f, 12.0f, 1.0f, true);
        editor.refreshFromEngine();
        const auto dot = dotOf (1);
        ASSERT_EQ (dot, juce::Point<int> (451, 75));

        const auto image = curvetest::snapshot (editor, "boost");
        const auto curve = juce::Colours::lightblue;
        for (int dx : { -9, -7, 7, 9 })
            EXPECT_TRUE (curvetest::columnHasColour (image, dot.x + dx, dot.y - 3, dot.y + 4, curve, 12))
                << "no curve beside the dot at dx " << dx;

        // Far from the band the curve is back at the 0 dB line.
        EXPECT_TRUE (curvetest::columnHasColour (image, 60, H / 2 - 2, H / 2 + 2, curve, 12));
        EXPECT_FALSE (curvetest::columnHasColour (image, dot.x, 0, dot.y - 8, curve, 40)) << "nothing above the peak";
    }

    TEST_F (CurveRendering, TheHoveredDotGetsARingAndABubbleHeldInsideTheEdges)
    {
        setBand (*engine, 3, BandType::HighShelf, 19000.0f, -20.0f, 1.0f, true);
        hover (3);
        const auto dot = dotOf (3);
        ASSERT_EQ (dot, juce::Point<int> (791, 275));

        const auto image = curvetest::snapshot (editor, "bubble_clamped");
        EXPECT_EQ (editor.getBubbleBounds(), juce::Rectangle<float> (W - 131.0f, H - 63.0f, 128.0f, 60.0f));

        // Inside the bubble, clear of its outline and text: mint cream at 0.8.
        const auto fill = image.getPixelAt (W - 131 + 4, H - 63 + 30);
        EXPECT_LE (curvetest::rgbDistance (fill, juce::Colours::mintcream), 3);
        EXPECT_NEAR (fill.getAlpha(), 0.8 * 255, 3);
        EXPECT_FLOAT_EQ (editor.getBubbleAlpha(), 0.8f);

        // Some black text in the middle of the bubble.
        EXPECT_TRUE (curvetest::columnHasColour (image, W - 131 + 64, H - 63, H - 4, juce::Colours::black, 60, 200));
    }

    TEST_F (CurveRendering, ABubbleCoveringTheDraggedDotLetsItShowThrough)
    {
        setBand (*engine, 3, BandType::HighShelf, 19000.0f, -20.0f, 1.0f, true);
        editor.onBandChanged = [this] (int band, float frequency, float gain, bool active)
        {
            engine->setBandFrequency (band, frequency);
            engine->setBandGain (band, gain);
            engine->setBandActive (band, active);
        };
        hover (3);
        curvetest::snapshot (editor, "before_drag"); // places the bubble

        // Drag the dot under the bubble, beside its text.
        const juce::Point<int> covered (690, 292);
        editor.mouseDrag (curvetest::mouseAt (editor, dotOf (3), curvetest::leftButton()));
        editor.mouseDrag (curvetest::mouseAt (editor, covered, curvetest::leftButton()));
        ASSERT_EQ (editor.getDraggedBand(), 3);
        EXPECT_FLOAT_EQ (editor.getBubbleAlpha(), 0.25f);

        const auto image = curvetest::snapshot (editor, "bubble_covering_dot");
        EXPECT_LE (dotOf (3).getDistanceFrom (covered), 1.5f);
        EXPECT_EQ (editor.getBubbleBounds().getPosition(), juce::Point<float> (669.0f, 237.0f));
        EXPECT_NEAR (image.getPixelAt (W - 131 + 4, H - 63 + 30).getAlpha(), 0.25 * 255, 3);
        EXPECT_EQ (image.getPixelAt (covered.x, covered.y).getAlpha(), 255) << "the opaque dot lies under the fill";

        // Over the grid the white dot stands out from the faint fill around it.
        juce::Component area;
        area.setSize (W, H);
        EQCurveGrid grid (W, H);
        area.addAndMakeVisible (grid);
        area.addAndMakeVisible (editor);
        const auto onGrid = curvetest::snapshot (area, "bubble_covering_dot_on_grid");
        area.removeAllChildren();
        // (sampled beside the guide lines that cross at the pointer)
        EXPECT_LE (curvetest::rgbDistance (onGrid.getPixelAt (covered.x + 2, covered.y + 2), juce::Colours::white), 12);
        EXPECT_GT (curvetest::rgbDistance (onGrid.getPixelAt (W - 131 + 4, H - 63 + 30), juce::Colours::white), 100);

        // Dragged clear of the bubble, the fill is opaque again.
        editor.mouseDrag (curvetest::mouseAt (editor, { 600, 200 }, curvetest::leftButton()));
        EXPECT_FLOAT_EQ (editor.getBubbleAlpha(), 0.8f);
    }

    TEST_F (CurveRendering, GuidesFollowTheMouseAndVanishWhenItLeavesWhileTheBubbleStays)
    {
        const juce::Colour guide (0x80a0a0afu);
        setBand (*engine, 1, BandType::Peak, 1000.0f, 6.0f, 1.0f, true);
        hover (1);
        const auto dot = dotOf (1);

        auto image = curvetest::snapshot (editor, "guides");
        // The hover ring lies just outside the dot, 3.5 to 6.5 pixels from its centre.
        EXPECT_LE (curvetest::rgbDistance (image.getPixelAt (dot.x - 4, dot.y - 4), juce::Colours::white), 12);
        EXPECT_GT (image.getPixelAt (dot.x - 4, dot.y - 4).getAlpha(), 200);

        EXPECT_LE (curvetest::rgbDistance (image.getPixelAt (100, dot.y), guide), 3);
        EXPECT_NEAR (image.getPixelAt (100, dot.y).getAlpha(), 0x80, 3);
        EXPECT_LE (curvetest::rgbDistance (image.getPixelAt (dot.x, 20), guide), 3);
        EXPECT_EQ (image.getPixelAt (100, dot.y + 1).getAlpha(), 0) << "guides are one pixel";

        editor.mouseExit (curvetest::mouseAt (editor, { W + 10, 40 }));
        EXPECT_EQ (editor.getMousePosition(), juce::Point<int> (-1, -1));
        EXPECT_EQ (editor.getHoveredBand(), 1);
        image = curvetest::snapshot (editor, "after_exit");
        EXPECT_EQ (image.getPixelAt (100, dot.y).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (dot.x, 20).getAlpha(), 0);
        EXPECT_GT (image.getPixelAt (dot.x + 14, dot.y + 30).getAlpha(), 150) << "the bubble stays";

        editor.showBandInfo = false;
        editor.showGuides = false;
        editor.mouseMove (curvetest::mouseAt (editor, dot));
        image = curvetest::snapshot (editor, "options_off");
        EXPECT_EQ (image.getPixelAt (100, dot.y).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (dot.x + 14, dot.y + 30).getAlpha(), 0);
    }

    TEST_F (CurveRendering, TheCurveAreaShowsTheCurveOverTheGrid)
    {
        setBand (*engine, 0, BandType::LowShelf, 120.0f, 6.0f, 1.0f, true);
        setBand (*engine, 1, BandType::Peak, 1000.0f, -9.0f, 2.0f, true);
        setBand (*engine, 2, BandType::Peak, 4200.0f, 4.0f, 1.0f, false);
        setBand (*engine, 3, BandType::HighShelf, 8500.0f, 8.0f, 0.7f, true);
        engine->setHiPass (30.0f);
        engine->setLoPass (18000.0f);
        hover (1);

        juce::Component area;
        area.setSize (W, H);
        EQCurveGrid grid (W, H);
        area.addAndMakeVisible (grid);
        area.addAndMakeVisible (editor);
        const auto image = curvetest::snapshot (area, "curve_area");
        area.removeAllChildren();

        for (int x : { 20, 300, 451 + 5, 700 })
        {
            const auto rows = curvetest::rowsWithColour (image, x, juce::Colours::lightblue, 40);
            EXPECT_FALSE (rows.isEmpty()) << "no curve over the grid at x " << x;
        }
        EXPECT_EQ (image.getPixelAt (5, 5).getAlpha(), 255);
    }
} // namespace
