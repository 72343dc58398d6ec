#include "KroAnimatedAboutScreen.h"

#include <cmath>

namespace
{
    constexpr int boxWidth = 400;
    constexpr int boxHeight = 200;
    constexpr int fadeMs = 250;

    // One move plus 49 lines, each stored as a type marker and two coordinates, plus the close
    // marker a stroke may add: reserved once so that the animation never allocates.
    constexpr int reservedPathElements = 153;
} // namespace

KroAnimatedAboutScreen::KroAnimatedAboutScreen()
{
    wave.preallocateSpace (reservedPathElements);
    setOpaque (true);
}

KroAnimatedAboutScreen::~KroAnimatedAboutScreen()
{
    stopTimer();
}

void KroAnimatedAboutScreen::resetPhases()
{
    phases[0] = 0.0f;
    float x = 0.16f;

    for (int k = 1; k < numPoints; ++k)
    {
        phases[(size_t) k] = x;
        x += 0.16f;

        if (x > 1.0f)
            x -= 2.0f;
    }
}

void KroAnimatedAboutScreen::timerCallback()
{
    const float step = speed / 50.0f;
    const int w = getWidth();
    const int middle = getHeight() / 2;

    wave.clear();

    for (int j = 0; j < numPoints; ++j)
    {
        auto& phase = phases[(size_t) j];
        float p = phase + step;

        if (p > 1.0f)
            p -= 2.0f;

        phase = p;

        // A parabola standing in for a sine: 0 at p = 0 and +-1, +-0.5 at p = +-0.5.
        const auto s = (float) (2.0 * (double) p * (1.0 - std::abs ((double) p)));
        const float top = (float) (middle + 100);
        const float bottom = (float) (middle - 100);
        const float y = top + (s * amplitude + 0.5f) * (bottom - top);
        const float x = (float) w * (float) j / (float) numPoints;

        if (j == 0)
            wave.startNewSubPath (x, y);
        else
            wave.lineTo (x, y);
    }

    repaint();
}

void KroAnimatedAboutScreen::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();

    g.fillAll (juce::Colour (0xff000000));

    g.setGradientFill (
        juce::ColourGradient::vertical (juce::Colour (0xff206084), 0.0f, juce::Colour (0xff6c0a68), (float) h));
    g.strokePath (wave.createPathWithRoundedCorners (10.0f), juce::PathStrokeType (10.0f));

    const juce::Rectangle<int> box ((w - boxWidth) / 2, (h - boxHeight) / 2, boxWidth, boxHeight);
    g.setColour (juce::Colour (0xf0606666));
    g.fillRoundedRectangle (box.toFloat(), 10.0f);

    g.setColour (juce::Colour (0xfff0f0fa));
    g.setFont (18.0f);
    g.drawFittedText (text, box, juce::Justification::centred, 0, 0.0f);
}

void KroAnimatedAboutScreen::mouseMove (const juce::MouseEvent& e)
{
    const auto w = (float) juce::jmax (1, getWidth());
    const auto h = (float) juce::jmax (1, getHeight());

    speed = (float) e.x * 9.0f / w + 1.0f;
    amplitude = (float) e.y * -1.9f / h + 2.0f;
}

void KroAnimatedAboutScreen::mouseDown (const juce::MouseEvent&)
{
    stopTimer();
    juce::Desktop::getInstance().getAnimator().fadeOut (this, fadeMs);
}
