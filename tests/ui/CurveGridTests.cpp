// The pixel laws of the curve area, and the grid painted from them: gradient, A-note lines with
// their labels, the EQ scale with its 0 dB line and the analyser scale.

#include "CurveTestSupport.h"
#include "ui/CurveAxes.h"
#include "ui/EQCurveGrid.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    constexpr int W = 800, H = 300;

    //==============================================================================
    struct FrequencyCase
    {
        float frequency;
        float x;
    };

    std::ostream& operator<< (std::ostream& os, const FrequencyCase& c)
    {
        return os << c.frequency << " Hz";
    }

    class CurveAxesFrequency : public ::testing::TestWithParam<FrequencyCase>
    {
    };

    TEST_P (CurveAxesFrequency, MapsTenOctavesFrom20HzAcrossTheWidthBothWays)
    {
        const auto c = GetParam();
        EXPECT_NEAR (CurveAxes::xForFrequency (c.frequency, (float) W), c.x, 1.0e-3f * (float) W);
        EXPECT_NEAR (CurveAxes::frequencyForX (c.x, (float) W), c.frequency, 1.0e-4f * c.frequency);
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveAxesFrequency,
                              ::testing::Values (FrequencyCase{ 20.0f, 0.0f }, FrequencyCase{ 40.0f, 80.0f },
                                                 FrequencyCase{ 640.0f, 400.0f }, FrequencyCase{ 1000.0f, 451.508f },
                                                 FrequencyCase{ 20480.0f, 800.0f }, FrequencyCase{ 10.0f, -80.0f }));

    struct GainCase
    {
        float gainDb;
        float y;
    };

    std::ostream& operator<< (std::ostream& os, const GainCase& c)
    {
        return os << c.gainDb << " dB";
    }

    class CurveAxesGain : public ::testing::TestWithParam<GainCase>
    {
    };

    TEST_P (CurveAxesGain, PutsPlus24AtTheTopZeroInTheMiddleMinus24AtTheBottom)
    {
        const auto c = GetParam();
        EXPECT_FLOAT_EQ (CurveAxes::yForGain (c.gainDb, (float) H), c.y);
        EXPECT_FLOAT_EQ (CurveAxes::gainForY (c.y, (float) H), c.gainDb);
    }

    INSTANTIATE_TEST_SUITE_P (Table, CurveAxesGain,
                              ::testing::Values (GainCase{ 24.0f, 0.0f }, GainCase{ 12.0f, 75.0f },
                                                 GainCase{ 0.0f, 150.0f }, GainCase{ -6.0f, 187.5f },
                                                 GainCase{ -24.0f, 300.0f }, GainCase{ -124.0f, 925.0f }));

    TEST (CurveAxes, AnalyserLevelRunsFrom0dBAtTheTopToMinus72AtTheBottom)
    {
        EXPECT_FLOAT_EQ (CurveAxes::yForAnalyserLevel (0.0f, (float) H), 0.0f);
        EXPECT_FLOAT_EQ (CurveAxes::yForAnalyserLevel (-36.0f, (float) H), 150.0f);
        EXPECT_FLOAT_EQ (CurveAxes::yForAnalyserLevel (-72.0f, (float) H), 300.0f);
    }

    TEST (CurveAxes, PixelsOfImpossibleValuesStayFiniteAndFarOff)
    {
        EXPECT_EQ (CurveAxes::toPixel (451.9f), 451);
        EXPECT_EQ (CurveAxes::toPixel (-3.7f), -3); // toward zero, like a C cast
        EXPECT_LT (CurveAxes::toPixel (CurveAxes::xForFrequency (0.0f, (float) W)), -10000);
        EXPECT_LT (CurveAxes::toPixel (CurveAxes::xForFrequency (-5.0f, (float) W)), -10000); // NaN
        EXPECT_GT (CurveAxes::toPixel (CurveAxes::yForGain (-INFINITY, (float) H)), 10000);
    }

    //==============================================================================
    class CurveGridRendering : public ::testing::Test
    {
    protected:
        EQCurveGrid grid{ W, H };
        juce::Image image = curvetest::snapshot (grid, "grid");

        juce::Colour at (int x, int y) const { return image.getPixelAt (x, y); }

        /** A scale mark: the scale colour blended over the gradient next to it. */
        void expectMark (int x, int y, juce::Colour background) const
        {
            const auto expected = background.overlaidWith (juce::Colour (EQCurveGrid::scaleColour));
            EXPECT_LE (curvetest::rgbDistance (at (x, y), expected), 3) << "no mark at " << x << ", " << y;
        }

        void expectBackground (int x, int y, juce::Colour background) const
        {
            EXPECT_LE (curvetest::rgbDistance (at (x, y), background), 2) << "unexpected mark at " << x << ", " << y;
        }

        /** Columns of a box that hold label ink (pixels clearly brighter than the gradient there). */
        juce::Range<int> inkColumns (juce::Rectangle<int> box, juce::Colour background) const
        {
            int first = -1, last = -1;
            for (int x = box.getX(); x < box.getRight(); ++x)
                for (int y = box.getY(); y < box.getBottom(); ++y)
                    if (isInk (x, y, background))
                    {
                        first = first < 0 ? x : first;
                        last = x;
                    }
            return first < 0 ? juce::Range<int>() : juce::Range<int> (first, last + 1);
        }

        /** The middle rows of the runs of rows holding label ink within a band of columns; one run
            per label. The row of the 0 dB line neither starts nor ends a run.
        */
        juce::Array<int> labelRows (juce::Range<int> columns, int top) const
        {
            juce::Array<int> middles;
            int runStart = -1;
            for (int y = top; y <= H; ++y)
            {
                if (y == H / 2)
                    continue;

                bool ink = false;
                for (int x = columns.getStart(); y < H && x < columns.getEnd() && ! ink; ++x)
                    ink = isInk (x, y, at (columns.getEnd() + 2, y));

                if (ink && runStart < 0)
                    runStart = y;
                if (! ink && runStart >= 0)
                {
                    middles.add ((runStart + y - 1) / 2);
                    runStart = -1;
                }
            }
            return middles;
        }

        bool isInk (int x, int y, juce::Colour background) const
        {
            return at (x, y).getBrightness() > background.getBrightness() + 0.08f;
        }
    };

    TEST_F (CurveGridRendering, FillsAVerticalGradientFromBlueToPurple)
    {
        EXPECT_LE (curvetest::rgbDistance (at (420, 0), juce::Colour (EQCurveGrid::topColour)), 2);
        EXPECT_LE (curvetest::rgbDistance (at (420, H - 1), juce::Colour (EQCurveGrid::bottomColour)), 2);
        EXPECT_EQ (at (420, 0), at (20, 0).withAlpha ((juce::uint8) 255)) << "the gradient is vertical";
    }

    TEST_F (CurveGridRendering, DrawsCrispLinesAndLabelsOnTheANotes)
    {
        const char* labels[] = { "28 Hz",  "55 Hz",   "110 Hz",  "220 Hz",  "440 Hz",
                                 "880 Hz", "1760 Hz", "3520 Hz", "7040 Hz", "14080 Hz" };
        const juce::Font labelFont (10.0f);

        for (int i = 0; i < EQCurveGrid::numNoteLines; ++i)
        {
            const double frequency = 27.5 * std::pow (2.0, i);
            const int x = (int) (W * std::log2 (frequency / 20.0) / 10.0);
            SCOPED_TRACE (labels[i]);

            for (int y : { 20, 150 - 7, 280, H - 2 })
            {
                const auto background = at (x - 2, y);
                expectMark (x, y, background);
                expectBackground (x - 1, y, background);
                expectBackground (x + 1, y, background);
            }

            // The label starts right of the line; its ink is as wide as its text.
            // The box ends before the next line and the analyser scale, whose marks are not ink.
            const int boxWidth = juce::jmin (100, 78, W - 10 - x);
            const auto ink = inkColumns ({ x + 1, 0, boxWidth, 11 }, at (x - 2, 13));
            ASSERT_FALSE (ink.isEmpty());
            EXPECT_LE (ink.getStart(), x + 3);
            EXPECT_NEAR (ink.getLength(), juce::jmin ((float) boxWidth, labelFont.getStringWidthFloat (labels[i])),
                         3.0);
        }
    }

    TEST_F (CurveGridRendering, DrawsTheEqScaleAtTheLeftWithAFullWidthZeroLine)
    {
        for (int dB = 23; dB >= -23; --dB)
        {
            SCOPED_TRACE (dB);
            const int y = (int) (H * (dB - 24) / -48.0);
            const auto background = at (7, dB == 0 ? y + 2 : y);

            if (dB == 0)
            {
                for (int x : { 2, 300, 640 })
                    expectMark (x, H / 2, at (x, H / 2 + 2));
                continue;
            }

            expectMark (2, y, background);
            expectBackground (7, y, background);
        }

        // Labels +20, +16, ... -20 beside every fourth tick, none at 0 dB.
        const auto rows = labelRows ({ 10, 30 }, 14);
        ASSERT_EQ (rows.size(), 10);
        for (int i = 0; i < rows.size(); ++i)
        {
            const int dB = 20 - 4 * (i < 5 ? i : i + 1);
            EXPECT_NEAR (rows[i], (int) (H * (dB - 24) / -48.0), 3) << dB;
        }
        EXPECT_LE (curvetest::rgbDistance (at (300, H / 2 - 1), at (300, H / 2 + 2)), 3)
            << "the 0 dB line is one pixel";
    }

    TEST_F (CurveGridRendering, DrawsTheAnalyserScaleAtTheRight)
    {
        for (int dB = -1; dB >= -71; --dB)
        {
            SCOPED_TRACE (dB);
            const int y = (int) (H * dB / -72.0);
            const auto background = at (W - 8, y);

            expectMark (W - 3, y, background);
            expectMark (W - 1, y, background);
            if (y > 12) // below the top row of frequency labels
                expectBackground (W - 7, y, background);
        }

        // Labels -4 ... -68 beside every fourth tick, right-justified against x = W - 10 (the band
        // scanned starts right of the 14080 Hz line and below its label).
        const auto rows = labelRows ({ W - 38, W - 10 }, 11);
        ASSERT_EQ (rows.size(), 17);
        for (int i = 0; i < rows.size(); ++i)
        {
            const int dB = -4 * (i + 1);
            EXPECT_NEAR (rows[i], (int) (H * dB / -72.0), 3) << dB;
            const auto ink = inkColumns ({ W - 50, rows[i] - 2, 40, 5 }, at (W - 8, rows[i]));
            EXPECT_GE (ink.getEnd(), W - 13) << dB;
        }
    }
} // namespace
