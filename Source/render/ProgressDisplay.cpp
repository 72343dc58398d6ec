#include "ProgressDisplay.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
    constexpr double redrawIntervalMs = 100.0;
    constexpr int barWidth = 24;
} // namespace

ProgressDisplay::ProgressDisplay (bool shouldDraw)
    : enabled (shouldDraw)
{
}

bool ProgressDisplay::stderrIsTerminal()
{
    return isatty (STDERR_FILENO) != 0;
}

int ProgressDisplay::terminalWidth()
{
    winsize size{};
    if (ioctl (STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

juce::String ProgressDisplay::formatLine (const juce::String& fileName, double fraction, double speed, int width)
{
    fraction = juce::jlimit (0.0, 1.0, fraction);
    const int filled = juce::roundToInt (fraction * barWidth);

    juce::String tail;
    tail << " [" << juce::String::repeatedString ("#", filled) << juce::String::repeatedString ("-", barWidth - filled)
         << "] " << juce::String (juce::roundToInt (fraction * 100.0)).paddedLeft (' ', 3) << "%";
    if (speed > 0.0)
        tail << "  " << juce::String (speed, speed < 10.0 ? 1 : 0) << "x";

    // The name gives way first: its end is kept, where names usually differ.
    const int room = juce::jmax (8, width - 1 - tail.length());
    auto shownName = fileName;
    if (shownName.length() > room)
        shownName = "..." + shownName.getLastCharacters (room - 3);

    return shownName + tail;
}

void ProgressDisplay::start (const juce::String& fileName, juce::int64 totalFrames, double sampleRate)
{
    name = fileName;
    total = totalFrames;
    rate = sampleRate;
    startTime = lastDrawTime = juce::Time::getMillisecondCounterHiRes();

    if (enabled)
        draw (0);
}

void ProgressDisplay::update (juce::int64 framesDone)
{
    if (! enabled || juce::Time::getMillisecondCounterHiRes() - lastDrawTime < redrawIntervalMs)
        return;

    draw (framesDone);
}

void ProgressDisplay::draw (juce::int64 framesDone)
{
    const double now = juce::Time::getMillisecondCounterHiRes();
    const double seconds = (now - startTime) / 1000.0;
    const double speed = seconds > 0.0 ? (double) framesDone / rate / seconds : 0.0;
    const double fraction = total > 0 ? (double) framesDone / (double) total : 1.0;

    const auto line = formatLine (name, fraction, speed, terminalWidth());
    std::fprintf (stderr, "\r\033[K%s", line.toRawUTF8());
    std::fflush (stderr);

    lastDrawTime = now;
}

void ProgressDisplay::finish()
{
    if (! enabled)
        return;

    // Wipe the line: what follows (an error, the next file, the summary) starts clean.
    std::fputs ("\r\033[K", stderr);
    std::fflush (stderr);
}
