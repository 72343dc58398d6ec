#include "RenderBatch.h"

#include "CommandLineParser.h"
#include "FileIdentity.h"

#include <cstdio>

namespace
{
    juce::File resolve (const juce::String& path)
    {
        return juce::File::getCurrentWorkingDirectory().getChildFile (path);
    }
} // namespace

std::vector<RenderBatch::Job> RenderBatch::plan (const RenderOptions& options)
{
    std::vector<Job> jobs;

    for (const auto& inputName : options.inputs)
    {
        auto outputName = options.output;
        if (options.outputDir.isNotEmpty())
        {
            auto fileName =
                juce::File::createFileWithoutCheckingPath (resolve (inputName).getFullPathName()).getFileName();
            if (! CommandLineParser::isWritableExtension (
                    juce::File::createFileWithoutCheckingPath (fileName).getFileExtension()))
                fileName = juce::File::createFileWithoutCheckingPath (fileName).getFileNameWithoutExtension() + ".wav";
            outputName = options.outputDir.trimCharactersAtEnd ("/") + "/" + fileName;
        }

        jobs.push_back ({ inputName, outputName, resolve (inputName), resolve (outputName) });
    }

    return jobs;
}

RenderBatch::RenderBatch (const RenderOptions& options, const ProcessorSettings& settings, ProgressDisplay& progress)
    : quiet (options.quiet)
    , replaceExisting (options.force)
    , renderer (settings, options.sampleFormat, options.force, progress)
{
}

void RenderBatch::report (const juce::String& name, const juce::String& message, bool isError) const
{
    if (! isError && quiet)
        return;

    std::fprintf (stderr, "krotrella-render: %s%s: %s\n", isError ? "" : "note: ", name.toRawUTF8(),
                  message.toRawUTF8());
    std::fflush (stderr);
}

juce::String RenderBatch::checkOutput (const Job& job, const std::vector<Job>& jobs) const
{
    const auto folder = job.output.getParentDirectory();
    if (! folder.isDirectory())
        return "folder " + folder.getFullPathName() + (folder.exists() ? " is not a folder" : " does not exist");

    if (const auto outputIdentity = FileIdentity::of (job.output))
    {
        for (const auto& other : jobs)
            if (FileIdentity::of (other.input) == outputIdentity)
                return "is the input file " + other.inputName + " (choose another output)";

        if (std::find (written.begin(), written.end(), *outputIdentity) != written.end())
            return "was already written in this run (two inputs with the same name?)";
        if (job.output.isDirectory())
            return "is a folder";
        if (! replaceExisting)
            return "exists (--force replaces it)";
    }

    return {};
}

RenderBatch::Summary RenderBatch::run (const std::vector<Job>& jobs)
{
    Summary summary;

    for (const auto& job : jobs)
    {
        FileRenderer::Outcome outcome;

        if (! job.input.exists())
            outcome = FileRenderer::Outcome::inputFailed ("no such file");
        else if (const auto problem = checkOutput (job, jobs); problem.isNotEmpty())
            outcome = FileRenderer::Outcome::outputFailed (problem);
        else
            outcome = renderer.render (job.input, job.output);

        if (outcome.error.isNotEmpty())
        {
            ++summary.failed;
            report (outcome.errorIsAboutOutput ? job.outputName : job.inputName, outcome.error, true);
            continue;
        }

        ++summary.rendered;
        if (const auto identity = FileIdentity::of (job.output))
            written.push_back (*identity);
        summary.audioSeconds += (double) outcome.frames / outcome.sampleRate;
        if (outcome.note.isNotEmpty())
            report (job.outputName, outcome.note, false);
    }

    return summary;
}
