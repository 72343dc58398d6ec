#pragma once

#include "FileIdentity.h"
#include "FileRenderer.h"

/** Renders every input of the command line to its output, one after the other. A file that fails
    is reported in one line and the batch goes on with the next; the result tells how many failed.

    Before a file is rendered its output is checked: not one of the inputs (however it is reached),
    not an output already written in this run, not an existing file unless replacing is allowed,
    and in a folder that exists.
*/
class RenderBatch
{
public:
    struct Job
    {
        juce::String inputName, outputName; // as the user wrote them, for messages
        juce::File input, output;
    };

    struct Summary
    {
        int rendered = 0, failed = 0;
        double audioSeconds = 0.0;
    };

    /** The jobs the options describe: INPUT OUTPUT, or each input into the output folder under its
        own name (a name that does not end in .wav or .flac gets ".wav").
    */
    static std::vector<Job> plan (const RenderOptions& options);

    RenderBatch (const RenderOptions& options, const ProcessorSettings& settings, ProgressDisplay& progress);

    /** Runs the jobs, printing a line for each file that fails (and each note, unless quiet). */
    Summary run (const std::vector<Job>& jobs);

private:
    juce::String checkOutput (const Job& job, const std::vector<Job>& jobs) const;
    void report (const juce::String& name, const juce::String& message, bool isError) const;

    const bool quiet, replaceExisting;
    FileRenderer renderer;
    std::vector<FileIdentity> written; // the outputs of this run so far
};
