#pragma once

#include <juce_core/juce_core.h>

/** The one-line progress bar on stderr: file name, bar, percent and speed (times real time).
    Drawn only when enabled (stderr is a terminal and --quiet is off), at most ten times a second,
    and wiped when the file is done so that error lines and the summary start on a clean line.
*/
class ProgressDisplay
{
public:
    explicit ProgressDisplay (bool enabled);

    /** Whether stderr is a terminal. */
    static bool stderrIsTerminal();

    void start (const juce::String& fileName, juce::int64 totalFrames, double sampleRate);
    void update (juce::int64 framesDone);
    void finish();

    /** The text of the bar line for a given state, fitted into `width` columns. */
    static juce::String formatLine (const juce::String& fileName, double fraction, double speed, int width);

private:
    void draw (juce::int64 framesDone);
    static int terminalWidth();

    const bool enabled;
    juce::String name;
    juce::int64 total = 0;
    double rate = 44100.0;
    double startTime = 0.0, lastDrawTime = 0.0;
};
