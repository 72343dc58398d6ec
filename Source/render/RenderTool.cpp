#include "RenderTool.h"

#include "AtomicOutputFile.h"
#include "CommandLineParser.h"
#include "PipeWireFilter.h"
#include "ProcessorSettings.h"
#include "RenderBatch.h"

#include <cstdio>

namespace
{
    void print (FILE* stream, const juce::String& text)
    {
        std::fputs (text.toRawUTF8(), stream);
        std::fflush (stream);
    }

    juce::String describeDuration (double seconds)
    {
        const auto whole = (juce::int64) std::floor (seconds);
        return juce::String (whole / 60) + ":" + juce::String (whole % 60).paddedLeft ('0', 2);
    }
} // namespace

juce::String RenderTool::helpText()
{
    return R"(NAME
    krotrella-render - render audio files through the Kro Trella equaliser

SYNOPSIS
    krotrella-render [OPTIONS] INPUT OUTPUT
    krotrella-render [OPTIONS] INPUT... --out-dir DIR
    krotrella-render [--import-eq FILE] [--preset PRESET] [--set ID=VALUE]... --list
    krotrella-render [--import-eq FILE] [--preset PRESET] [--set ID=VALUE]...
        --pipewire-filter FILE.conf
    krotrella-render --list-presets

DESCRIPTION
    Runs the Kro Trella plug-in's own processor (preamp, high-pass filter, four
    bands, output level, low-pass filter) over audio files, so that a file sounds
    exactly as it does through the plug-in with the same setting.

    Reads WAV, AIFF, FLAC and Ogg Vorbis files, mono or stereo, at 8 kHz to
    768 kHz. Writes WAV or FLAC, chosen by the extension of the output (.wav,
    .flac), with the input's sample rate, channel count and number of frames.

    The setting starts from the plug-in's defaults, in which the equaliser is
    switched off (master_active), then takes the equaliser file (--import-eq),
    then the preset, then every --set in the order given.

    Inputs are only read. Each output is written to a hidden temporary file in
    its folder and renamed when it is complete, so that a failure or an
    interrupt leaves no partial file behind.

OPTIONS
    --preset PRESET
        A saved state: the plug-in's KroPRESET document (XML), or a file saved
        with "Save current state" in the standalone app's options menu; or,
        when no file has that name, a factory preset ("Vocal Presence") or one
        of the presets saved in the plug-in's window, by name, ignoring case.

    --import-eq FILE
        Takes over an equaliser file in Equalizer APO's text format, as AutoEQ
        ("ParametricEQ.txt") and REW write it: Preamp, and Filter lines of the
        types PK/PEQ, LS/LSC, HS/HSC (with a Q or a slope), LP/LPQ and HP/HPQ,
        with Fc, Gain and Q or BW Oct; a point or a comma as decimal mark.
        When the filters fit the equaliser (a low shelf or peak, two peaks, a
        high shelf or peak, a high-pass and a low-pass with Q 0.5, the preamp
        within +-12 dB) they are taken over one to one; otherwise the four bands,
        the level and the pass filters are fitted to the file's response from
        20 Hz to 20 kHz. The equaliser is switched on and the preamp set to
        Neutral. Every line that is not used is named on stderr; one line says
        how far the result lies from the file (largest and RMS deviation in dB).

    --set ID=VALUE
        Sets one parameter after the preset; may be repeated. VALUE is read as
        the plug-in reads a value typed into a host: with its unit ("1kHz",
        "120 Hz", "+6dB"), a Q as a plain number ("0.71"), a name ("On",
        "Lo-Shelf", a preamp name), or a bare normalised number from 0 to 1.
        Case does not matter; a value beyond the parameter's range is limited
        to it. --list shows every id and its value in these terms.

    --list
        Prints every parameter's id, name and value (after --preset and --set)
        and the preamp choices, and renders nothing.

    --list-presets
        Prints the factory presets and the user's presets (the data folder's
        "Presets" folder), naming any file there that cannot be read.

    --pipewire-filter FILE.conf
        Writes a PipeWire filter-chain drop-in instead of rendering: the Kro
        Trella LV2 with the setting (preamp included) behind a stereo output
        device called "Kro Trella EQ", for everything the desktop plays. Copy
        it into ~/.config/pipewire/pipewire.conf.d/ and restart PipeWire
        (0.3.65 or later); the file's first lines say how to make it the
        default output and how to remove it. The LV2 must be installed.

    --bits 16|24|32f
        Sample format of the outputs: 16-bit or 24-bit integer, or 32-bit float
        (WAV only). By default the input's: 16 for inputs of up to 16 bits, 24
        for 24-bit inputs, 32f for floating-point and 32-bit inputs (24 when the
        output is FLAC). Integer outputs are rounded to the nearest step and
        clipped at full scale; clipped samples are reported.

    --out-dir DIR
        Writes one output per input into DIR (which must exist), under the
        input's file name; a name that does not end in .wav or .flac gets .wav
        in place of its extension.

    --force
        Replaces outputs that exist. An output may never be one of the inputs,
        whatever path or link leads to it.

    --quiet
        No progress bar, notes or summary. Errors are still printed.

    -h, --help
        Prints this page.

    Options and files may come in any order, "--name=value" is the same as
    "--name value", and "--" ends the options.

OUTPUT
    While it renders, a progress bar (file name, percent, speed as a multiple of
    real time) is drawn on stderr if stderr is a terminal; one summary line
    follows at the end. Every failure is one line on stderr naming the file or
    the option at fault.

EXIT STATUS
    0   every file was rendered
    1   at least one file failed; all the others were rendered
    2   usage error (options, equaliser file, preset, parameter values,
        output folder);
        nothing was rendered
    Ended by a signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT and any other that ends
    a program), it removes the output it was writing and ends by that signal.
    SIGPIPE and SIGXFSZ are ignored: a closed pipe on stdout or stderr does not
    stop the batch, and an output past the file size limit (ulimit -f) fails
    with "File too large" while the others are rendered.

EXAMPLES
    Apply a preset saved in the plug-in to one file:
        krotrella-render --preset vocal.xml take1.wav take1-eq.wav

    Cut 4 dB at 1 kHz, as 24-bit FLAC:
        krotrella-render --set master_active=On --set band2_active=On \
            --set band2_freq=1kHz --set band2_gain=-4dB --bits 24 mix.wav mix-eq.flac

    Apply a headphone correction published by AutoEQ, and see what it became:
        krotrella-render --import-eq ParametricEQ.txt song.flac song-corrected.flac
        krotrella-render --import-eq ParametricEQ.txt --list

    Put the same correction on everything the desktop plays:
        krotrella-render --import-eq ParametricEQ.txt --pipewire-filter kro-trella-eq.conf
        cp kro-trella-eq.conf ~/.config/pipewire/pipewire.conf.d/
        systemctl --user restart pipewire pipewire-pulse wireplumber

    Render every stem with the same setting into a folder:
        krotrella-render --preset master.state stems/*.wav --out-dir rendered
)";
}

int RenderTool::usageError (const juce::String& message)
{
    print (stderr, "krotrella-render: " + message + " (see --help)\n");
    return exitUsageError;
}

void RenderTool::printSummary (int rendered, int total, double audioSeconds, double elapsedSeconds)
{
    juce::String line;
    line << "krotrella-render: " << rendered << " of " << total << (total == 1 ? " file" : " files") << " rendered";
    if (rendered > 0)
    {
        line << " (" << describeDuration (audioSeconds) << " of audio in " << juce::String (elapsedSeconds, 1) << " s";
        if (elapsedSeconds > 0.0)
            line << ", " << juce::roundToInt (audioSeconds / elapsedSeconds) << "x real time";
        line << ")";
    }
    print (stderr, line + "\n");
}

int RenderTool::writePipeWireFilter (const RenderOptions& options, const ProcessorSettings& settings,
                                     const juce::StringArray& arguments)
{
    const auto name = options.pipewireFilter;
    KroTrellaAudioProcessor processor;
    settings.applyTo (processor);
    std::array<float, ParameterIndex::count> values{};
    for (int i = 0; i < (int) values.size(); ++i)
        values[(size_t) i] = processor.getKroParameter (i)->getValue();

    juce::String problem;
    const auto controls = PipeWireFilter::controlsFor (values, problem);
    if (problem.isNotEmpty())
        return usageError ("--pipewire-filter " + name + ": the setting cannot be given to the LV2: " + problem);

    juce::StringArray quoted;
    for (const auto& argument : arguments)
        quoted.add (argument.containsAnyOf (" \t'\"") ? argument.quoted ('\'') : argument);
    const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (name);
    const auto text = PipeWireFilter::create (controls, target.getFileName(), KRO_LV2_URI, quoted.joinIntoString (" "));

    const auto fail = [&name] (const juce::String& why)
    {
        print (stderr, "krotrella-render: " + name + ": " + why + "\n");
        return exitFileFailed;
    };
    if (target.isDirectory())
        return fail ("is a folder");
    if (target.exists() && ! options.force)
        return fail ("exists (--force replaces it)");

    AtomicOutputFile file (target);
    if (file.isOk())
    {
        auto stream = file.createStream();
        stream->writeText (text, false, false, nullptr);
    }
    if (! file.commit (options.force))
        return fail (file.getError().isNotEmpty() ? file.getError() : juce::String ("cannot be written"));

    if (! options.quiet)
        print (stderr, "krotrella-render: wrote " + name + "; copy it into ~/.config/pipewire/pipewire.conf.d/ and " +
                           "restart PipeWire to get the output \"" + PipeWireFilter::sinkDescription +
                           "\" (the file's first lines say how)\n");
    return exitSuccess;
}

int RenderTool::run (const juce::StringArray& arguments)
{
    const auto parsed = CommandLineParser::parse (arguments);
    if (parsed.error.isNotEmpty())
        return usageError (parsed.error);

    const auto& options = parsed.options;
    if (options.help)
    {
        print (stdout, helpText());
        return exitSuccess;
    }

    if (options.listPresets)
    {
        print (stdout, ProcessorSettings::describePresets());
        return exitSuccess;
    }

    juce::String settingsError;
    const auto settings = ProcessorSettings::fromOptions (options, settingsError);
    for (const auto& note : settings.getEqualiserFileNotes())
        print (stderr, "krotrella-render: " + note + "\n");
    if (settingsError.isNotEmpty())
        return usageError (settingsError);
    if (! options.quiet && settings.getEqualiserFileSummary().isNotEmpty())
        print (stderr, "krotrella-render: " + settings.getEqualiserFileSummary() + "\n");

    if (options.list)
    {
        KroTrellaAudioProcessor processor;
        settings.applyTo (processor);
        print (stdout, ProcessorSettings::describeParameters (processor));
        return exitSuccess;
    }

    if (options.pipewireFilter.isNotEmpty())
        return writePipeWireFilter (options, settings, arguments);

    if (options.outputDir.isNotEmpty())
    {
        const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (options.outputDir);
        if (! folder.isDirectory())
            return usageError ("--out-dir " + options.outputDir +
                               (folder.exists() ? ": is not a folder" : ": no such folder"));
    }

    if (! options.quiet && ! settings.switchesEqualiserOn())
        print (stderr, "krotrella-render: note: the equaliser is switched off (master_active), so only the "
                       "preamp acts on the sound\n");

    ProgressDisplay progress (! options.quiet && ProgressDisplay::stderrIsTerminal());
    RenderBatch batch (options, settings, progress);

    const auto jobs = RenderBatch::plan (options);
    const double started = juce::Time::getMillisecondCounterHiRes();
    const auto summary = batch.run (jobs);
    const double elapsed = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;

    if (! options.quiet)
        printSummary (summary.rendered, (int) jobs.size(), summary.audioSeconds, elapsed);

    return summary.failed > 0 ? exitFileFailed : exitSuccess;
}
