#pragma once

#include "ProcessorSettings.h"
#include "RenderOptions.h"

#include <juce_core/juce_core.h>

/** The krotrella-render command: reads the command line, prints help or the parameter list, or
    renders the files, and gives the exit status.
*/
class RenderTool
{
public:
    static constexpr int exitSuccess = 0;
    static constexpr int exitFileFailed = 1; // at least one file failed; the others were rendered
    static constexpr int exitUsageError = 2; // nothing was rendered

    /** Runs the command with its arguments (without the program name). */
    static int run (const juce::StringArray& arguments);

    /** The manual page printed by --help. */
    static juce::String helpText();

private:
    static int usageError (const juce::String& message);
    static int writePipeWireFilter (const RenderOptions& options, const ProcessorSettings& settings,
                                    const juce::StringArray& arguments);
    static void printSummary (int rendered, int total, double audioSeconds, double elapsedSeconds);
};
