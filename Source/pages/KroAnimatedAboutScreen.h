#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

/** The about page: a black screen with a thick, colour-graded wave across its middle and a
    translucent box with the credits. Moving the mouse right speeds the wave up, moving it up makes
    it taller; any click closes the page.
*/
class KroAnimatedAboutScreen : public juce::Component, public juce::Timer
{
public:
    static constexpr int numPoints = 50;

    KroAnimatedAboutScreen();
    ~KroAnimatedAboutScreen() override;

    /** Puts the wave back to its starting pattern: a ramp of 0.16 per point, wrapped into [-1, 1]. */
    void resetPhases();

    void mouseMove (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void timerCallback() override;

    const std::array<float, numPoints>& getPhases() const noexcept { return phases; }
    const juce::Path& getWave() const noexcept { return wave; }
    float getSpeed() const noexcept { return speed; }
    float getAmplitude() const noexcept { return amplitude; }

    /** The credits, version and build date drawn in the box; set by the main screen. */
    juce::String text;

    /** Appended by the main screen after the build date. */
    juce::String secondaryText;

private:
    juce::Path wave;
    std::array<float, numPoints> phases{};
    float speed = 3.0f;
    float amplitude = 1.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroAnimatedAboutScreen)
};
