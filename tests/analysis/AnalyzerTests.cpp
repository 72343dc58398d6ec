#include "engine/TrellaDSP.h"
#include "support/ImageDump.h"
#include "support/Signals.h"

#include <gtest/gtest.h>

namespace
{
    constexpr double fs = 44100.0;

    /** An engine with its analyser, as an engine shown in a window has it. */
    struct ShownEngine : TrellaDSP
    {
        ShownEngine (double rate, int maximumBlock)
            : TrellaDSP (rate, maximumBlock)
        {
            makeAnalyzer();
        }
    };

    /** Feeds a continuous sine to the engine, letting the analyser take a frame after every 2048 samples. */
    struct SineFeeder
    {
        double frequency;
        float amplitude;
        long long position = 0;

        void feed (TrellaDSP& engine, int numFrames)
        {
            for (int frame = 0; frame < numFrames; ++frame)
            {
                juce::AudioBuffer<float> buffer (2, Analyzer::fftSize);
                for (int i = 0; i < Analyzer::fftSize; ++i, ++position)
                {
                    const auto v = (float) (amplitude * std::sin (2.0 * juce::MathConstants<double>::pi * frequency *
                                                                  (double) position / fs));
                    buffer.setSample (0, i, v);
                    buffer.setSample (1, i, v);
                }
                engine.Process (buffer);
                engine.getAnalyzer()->update();
            }
        }
    };

    int loudestPoint (const Analyzer& analyzer)
    {
        int best = 1;
        for (int j = 1; j < Analyzer::numPoints; ++j)
            if (analyzer.getSpectrum (j) > analyzer.getSpectrum (best))
                best = j;
        return best;
    }

    float levelForDb (float dB)
    {
        return (dB + 72.0f) / 72.0f;
    }

    TEST (Analyzer, ASineShowsItsPeakAtItsFrequencyAndLevel)
    {
        ShownEngine engine (fs, 512);
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 6);

        // Left + right of a -6 dBFS sine reads -6 dB after the 2048-point normalisation (a point
        // between two bins loses up to 1.5 dB to the Hann window).
        const auto& analyzer = *engine.getAnalyzer();
        const int peak = loudestPoint (analyzer);
        EXPECT_NEAR ((float) peak * analyzer.getBinWidth(), 1000.0f, 25.0f);
        EXPECT_LE (analyzer.getSpectrum (peak), levelForDb (-6.0f) + 0.002f);
        EXPECT_GE (analyzer.getSpectrum (peak), levelForDb (-7.5f));
        EXPECT_LT (analyzer.getSpectrum (peak * 3), levelForDb (-60.0f)); // far from the tone: near the floor
    }

    TEST (Analyzer, PreTapIgnoresTheEqualiserAndPostTapShowsIt)
    {
        float levels[2]{};
        for (const bool pre : { true, false })
        {
            ShownEngine engine (fs, 512);
            engine.setEqActive (true);
            engine.setBandGain (1, 12.0f);
            engine.setBandActive (1, true);
            engine.analyzerPreEQ = pre;
            SineFeeder{ 1000.0, 0.05f }.feed (engine, 6);
            levels[pre ? 0 : 1] = engine.getAnalyzer()->getSpectrum (loudestPoint (*engine.getAnalyzer()));
        }
        EXPECT_NEAR ((levels[1] - levels[0]) * 72.0f, 12.0f, 0.5f);
    }

    TEST (Analyzer, WithTheAnalyserOffNothingIsFed)
    {
        ShownEngine engine (fs, 512);
        engine.showAnalyzer = false;
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 4);
        EXPECT_EQ (engine.getAnalyzer()->getSpectrum (loudestPoint (*engine.getAnalyzer())), 0.0f);
    }

    TEST (Analyzer, SilenceDecaysByTheDecayFactorPerFrame)
    {
        ShownEngine engine (fs, 512);
        SineFeeder tone{ 1000.0, 0.5f };
        tone.feed (engine, 4);
        const int peak = loudestPoint (*engine.getAnalyzer());
        const float start = engine.getAnalyzer()->getSpectrum (peak);

        // A frame is handed over with the first sample after it, so the first silent block still
        // delivers the tone's last frame; from then on each frame keeps `decay` of the level.
        SineFeeder silence{ 1000.0, 0.0f };
        silence.feed (engine, 1);
        EXPECT_NEAR (engine.getAnalyzer()->getSpectrum (peak), start, 1.0e-3f);
        silence.feed (engine, 2);
        EXPECT_NEAR (engine.getAnalyzer()->getSpectrum (peak), start * Analyzer::defaultDecay * Analyzer::defaultDecay,
                     1.0e-4f);

        silence.feed (engine, 80);
        for (int j = 1; j < Analyzer::numPoints; ++j)
            ASSERT_LT (engine.getAnalyzer()->getSpectrum (j), 0.01f) << j;
    }

    TEST (Analyzer, AtMostOneFrameIsAnalysedPerUpdate)
    {
        ShownEngine engine (fs, 8192);
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 0);

        // Many frames gathered without an update: only the first completed one waits, the rest are dropped.
        juce::AudioBuffer<float> loud (2, 8 * Analyzer::fftSize);
        for (int i = 0; i < loud.getNumSamples(); ++i)
            loud.setSample (0, i, (float) std::sin (0.1 * i));
        loud.copyFrom (1, 0, loud, 0, 0, loud.getNumSamples());
        engine.Process (loud);

        engine.getAnalyzer()->update();
        const int peak = loudestPoint (*engine.getAnalyzer());
        const float first = engine.getAnalyzer()->getSpectrum (peak);
        engine.getAnalyzer()->update(); // nothing waits: the display only decays
        EXPECT_NEAR (engine.getAnalyzer()->getSpectrum (peak), first, 1.0e-6f);
    }

    TEST (Analyzer, ResetWithTheAnalyserClearsTheDisplay)
    {
        ShownEngine engine (fs, 512);
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 3);
        engine.Reset (true);
        engine.getAnalyzer()->update();
        for (int j = 0; j < Analyzer::numPoints; ++j)
            ASSERT_EQ (engine.getAnalyzer()->getSpectrum (j), 0.0f);
    }

    //==============================================================================
    juce::Image render (Analyzer& analyzer)
    {
        analyzer.setBounds (0, 0, 800, 300);
        return analyzer.createComponentSnapshot (analyzer.getLocalBounds(), false, 1.0f);
    }

    int xOf (float frequency)
    {
        return (int) (800.0f * std::log2 (frequency / 20.0f) / 10.0f);
    }

    /** Yellow (marker-coloured) pixels in columns left..right-1 of the rows beside the held peak. */
    int markerPixels (const juce::Image& image, const Analyzer& analyzer, int left, int right)
    {
        int count = 0;
        for (int px = juce::jmax (0, left); px < juce::jmin (image.getWidth(), right); ++px)
            for (int py = juce::jmax (0, analyzer.peakY - 10); py < juce::jmin (image.getHeight(), analyzer.peakY + 10);
                 ++py)
                if (image.getPixelAt (px, py).getRed() > 200 && image.getPixelAt (px, py).getBlue() < 80)
                    ++count;
        return count;
    }

    TEST (AnalyzerImage, CurveFillAndPeakLabelSitWhereTheyBelong)
    {
        ShownEngine engine (fs, 512);
        auto& analyzer = *engine.getAnalyzer();
        analyzer.showPeak = true;
        analyzer.markerColour = juce::Colours::yellow;
        analyzer.lineColour = juce::Colours::white;
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 4);

        const auto image = render (analyzer);
        dumpImage ("analyzer-1kHz", image);
        const int x = xOf (1000.0f);
        const int peakTop = (int) (300.0f - 300.0f * analyzer.getSpectrum (loudestPoint (analyzer)));

        // Above the curve: nothing drawn. Just below the peak: the translucent fill.
        EXPECT_EQ (image.getPixelAt (x, juce::jmax (0, peakTop - 30)).getAlpha(), 0);
        const auto fill = image.getPixelAt (x, peakTop + 40);
        EXPECT_GT (fill.getAlpha(), 100);
        EXPECT_GT (fill.getRed(), 60);
        // Near the bottom the gradient turns green.
        const auto bottom = image.getPixelAt (x, 292);
        EXPECT_GT (bottom.getGreen(), bottom.getRed());

        // The peak marker and its label to the right of it.
        ASSERT_GT (analyzer.peakLevel, 0.9f);
        EXPECT_TRUE (analyzer.peakText.startsWith ("-"));
        EXPECT_TRUE (analyzer.peakText.contains (" dB @ "));
        EXPECT_GT (markerPixels (image, analyzer, analyzer.peakX + 12, analyzer.peakX + 170), 20);
        EXPECT_EQ (markerPixels (image, analyzer, analyzer.peakX - 160, analyzer.peakX - 2), 0);
    }

    TEST (AnalyzerImage, LabelFlipsLeftNearTheRightEdge)
    {
        ShownEngine engine (fs, 512);
        auto& analyzer = *engine.getAnalyzer();
        analyzer.showPeak = true;
        analyzer.markerColour = juce::Colours::yellow;
        SineFeeder{ 15000.0, 0.5f }.feed (engine, 4);
        const auto image = render (analyzer);
        dumpImage ("analyzer-15kHz", image);

        ASSERT_GE (analyzer.peakX + 10, 800 - 169);
        EXPECT_GT (markerPixels (image, analyzer, analyzer.peakX - 160, analyzer.peakX - 2), 20);
        EXPECT_EQ (markerPixels (image, analyzer, analyzer.peakX + 12, image.getWidth()), 0);
    }

    TEST (AnalyzerImage, PeakIsHeldForTheHoldTimeThenSearchedAnew)
    {
        ShownEngine engine (fs, 512);
        auto& analyzer = *engine.getAnalyzer();
        analyzer.peakHoldFrames = 5;
        SineFeeder{ 1000.0, 0.5f }.feed (engine, 4);
        analyzer.showPeak = true;

        // The hold counts the timer's ticks (25 a second), however often the area is painted.
        std::vector<float> held;
        for (int tick = 0; tick < 7; ++tick)
        {
            analyzer.update();
            render (analyzer);
            render (analyzer);
            held.push_back (analyzer.peakLevel);
        }
        // Caught by the first tick, held by the next ones, dropped on the fifth, caught again after.
        EXPECT_GT (held[0], 0.9f);
        EXPECT_EQ (held[3], held[0]);
        EXPECT_EQ (held[4], 0.0f);
        EXPECT_GT (held[5], 0.9f);
    }
} // namespace
