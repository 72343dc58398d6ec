// Cost of the curve editor: one recompute of the response (600 probes through up to six
// sections, the curve path and its rounding), and one paint when nothing changed, which strokes
// the cached curve and draws the dots, the bubble and the guides without recomputing.
// Run: build/bench/KroTrellaBench --benchmark_filter=Curve

#include "engine/TrellaDSP.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQCurveGrid.h"

#include <benchmark/benchmark.h>

namespace
{
    constexpr int width = 800, height = 300;

    /** High-pass, four active bands and low-pass: every section contributes to the curve. */
    void configureFullCurve (TrellaDSP& engine)
    {
        engine.setHiPass (40.0f);
        engine.setLoPass (16000.0f);
        const float gains[4] = { 4.0f, -6.0f, 3.0f, 5.0f };
        for (int b = 0; b < 4; ++b)
        {
            engine.setBandGain (b, gains[b]);
            engine.setBandActive (b, true);
        }
    }

    void CurveRecompute (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        configureFullCurve (engine);
        EQCurveEditor editor (width, height, &engine);

        for (auto _ : state)
        {
            editor.requestRecompute();
            benchmark::DoNotOptimize (editor.refreshFromEngine());
        }
    }
    BENCHMARK (CurveRecompute)->Unit (benchmark::kMicrosecond);

    void CurvePaintUnchanged (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        configureFullCurve (engine);
        EQCurveEditor editor (width, height, &engine);
        editor.refreshFromEngine();

        const bool hovering = state.range (0) != 0;
        const juce::Point<float> dot ((float) editor.getBandView (1).x, (float) editor.getBandView (1).y);
        const auto where = hovering ? dot : juce::Point<float> (200.0f, 100.0f);
        const auto now = juce::Time::getCurrentTime();
        editor.mouseMove (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), where, {}, 0.0f, 0.0f,
                                            0.0f, 0.0f, 0.0f, &editor, &editor, now, where, now, 1, false));

        juce::Image image (juce::Image::ARGB, width, height, true);
        const int recomputesBefore = editor.getRecomputeCount();

        for (auto _ : state)
        {
            juce::Graphics g (image);
            editor.paint (g);
            benchmark::ClobberMemory();
        }

        if (editor.getRecomputeCount() != recomputesBefore)
            state.SkipWithError ("an unchanged paint recomputed the curve");
    }
    BENCHMARK (CurvePaintUnchanged)->ArgName ("hoveredWithBubble")->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);
} // namespace

namespace
{
    /** Fills the engine's analyser with the spectrum of noise, as while audio flows. */
    void feedNoise (TrellaDSP& engine)
    {
        juce::Random random (7);
        juce::AudioBuffer<float> block (2, Analyzer::fftSize);
        for (int frame = 0; frame < 4; ++frame)
        {
            for (int i = 0; i < block.getNumSamples(); ++i)
            {
                const auto v = (random.nextFloat() - 0.5f) * 0.2f;
                block.setSample (0, i, v);
                block.setSample (1, i, v);
            }
            engine.Process (block);
            engine.makeAnalyzer().update();
        }
    }

    /** One frame of the curve area while the spectrum moves: the grid, the analyser and the curve
        editor stacked as in the window, the analyser's path rebuilt, everything composed into
        one image. Argument: the curve editor drawn from its cached image (1) or stroked anew (0).
    */
    void CurveAreaFrameWithMovingSpectrum (benchmark::State& state)
    {
        const juce::ScopedJuceInitialiser_GUI gui;
        TrellaDSP engine (48000.0, 256);
        configureFullCurve (engine);
        engine.setEqActive (true);
        feedNoise (engine);

        juce::Component area;
        area.setSize (width, height);
        EQCurveGrid grid (width, height);
        EQCurveEditor editor (width, height, &engine);
        editor.setBufferedToImage (state.range (0) != 0);
        auto& analyzer = engine.makeAnalyzer();
        analyzer.fillSpectrum = false;
        analyzer.roundedSpectrum = false;
        analyzer.setBounds (0, 0, width, height);
        area.addAndMakeVisible (grid);
        area.addAndMakeVisible (analyzer);
        area.addAndMakeVisible (editor);

        juce::Image image (juce::Image::RGB, width, height, true);
        float wobble = 0.0f;

        for (auto _ : state)
        {
            // A new spectrum each frame: a path rebuild, as with audio flowing.
            state.PauseTiming();
            wobble = wobble > 0.5f ? 0.0f : wobble + 0.01f;
            analyzer.decay = Analyzer::defaultDecay + wobble * 0.01f;
            feedNoise (engine);
            state.ResumeTiming();
            juce::Graphics g (image);
            area.paintEntireComponent (g, false);
            benchmark::ClobberMemory();
        }

        area.removeAllChildren();
    }
    BENCHMARK (CurveAreaFrameWithMovingSpectrum)
        ->ArgName ("curveCached")
        ->Arg (0)
        ->Arg (1)
        ->Unit (benchmark::kMicrosecond);
} // namespace
