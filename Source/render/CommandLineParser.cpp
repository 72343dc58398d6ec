#include "CommandLineParser.h"

namespace
{
    std::optional<SampleFormat> sampleFormatFor (const juce::String& text)
    {
        if (text == "16")
            return SampleFormat::int16;
        if (text == "24")
            return SampleFormat::int24;
        if (text == "32f")
            return SampleFormat::float32;
        return std::nullopt;
    }

    bool takesValue (const juce::String& name)
    {
        return name == "--preset" || name == "--import-eq" || name == "--set" || name == "--bits" ||
               name == "--out-dir" || name == "--pipewire-filter";
    }

    bool isFlag (const juce::String& name)
    {
        return name == "--list" || name == "--list-presets" || name == "--force" || name == "--quiet";
    }

    /** Applies one option to the options; returns the problem, or an empty text. */
    juce::String applyOption (RenderOptions& options, const juce::String& name, const juce::String& value)
    {
        if (name == "--preset")
        {
            if (options.presetFile.isNotEmpty())
                return "--preset is given twice";
            if (value.isEmpty())
                return "--preset needs a file or preset name";
            options.presetFile = value;
        }
        else if (name == "--import-eq")
        {
            if (options.equaliserFile.isNotEmpty())
                return "--import-eq is given twice";
            if (value.isEmpty())
                return "--import-eq needs a file name";
            options.equaliserFile = value;
        }
        else if (name == "--pipewire-filter")
        {
            if (options.pipewireFilter.isNotEmpty())
                return "--pipewire-filter is given twice";
            if (! value.endsWithIgnoreCase (".conf") || value.length() <= 5)
                return "--pipewire-filter needs a file name ending in .conf (PipeWire reads no other), not '" + value +
                       "'";
            options.pipewireFilter = value;
        }
        else if (name == "--set")
        {
            const int equals = value.indexOfChar ('=');
            const auto id = value.substring (0, equals).trim();
            if (equals < 0 || id.isEmpty())
                return "--set takes ID=VALUE, not '" + value + "'";
            options.assignments.add ({ id, value.substring (equals + 1).trim() });
        }
        else if (name == "--bits")
        {
            options.sampleFormat = sampleFormatFor (value);
            if (! options.sampleFormat.has_value())
                return "--bits takes 16, 24 or 32f, not '" + value + "'";
        }
        else if (name == "--out-dir")
        {
            if (options.outputDir.isNotEmpty())
                return "--out-dir is given twice";
            if (value.isEmpty())
                return "--out-dir needs a folder name";
            options.outputDir = value;
        }
        else if (name == "--list")
            options.list = true;
        else if (name == "--list-presets")
            options.listPresets = true;
        else if (name == "--force")
            options.force = true;
        else
            options.quiet = true;

        return {};
    }

    /** Checks that the files given fit one of the two forms of the command. */
    juce::String checkFiles (RenderOptions& options, const juce::StringArray& files)
    {
        if (options.listPresets)
            return files.isEmpty() && options.outputDir.isEmpty() ? juce::String() : "--list-presets takes no files";
        if (options.list && options.pipewireFilter.isNotEmpty())
            return "--list and --pipewire-filter cannot be given together";
        if (options.list || options.pipewireFilter.isNotEmpty())
            return files.isEmpty() && options.outputDir.isEmpty()
                       ? juce::String()
                       : (options.list ? "--list" : "--pipewire-filter") + juce::String (" takes no files");

        if (options.outputDir.isNotEmpty())
        {
            if (files.isEmpty())
                return "--out-dir needs at least one INPUT";
            options.inputs = files;
            return {};
        }

        if (files.size() != 2)
            return "expected INPUT OUTPUT, or INPUT... --out-dir DIR";

        options.inputs.add (files[0]);
        options.output = files[1];

        const auto extension = juce::File::createFileWithoutCheckingPath (options.output).getFileExtension();
        if (! CommandLineParser::isWritableExtension (extension))
            return "OUTPUT '" + options.output + "' must end in .wav or .flac";

        if (extension.equalsIgnoreCase (".flac") && options.sampleFormat == SampleFormat::float32)
            return "--bits 32f needs a .wav OUTPUT (FLAC holds 16 or 24 bits)";

        return {};
    }
} // namespace

CommandLineParser::Result CommandLineParser::parse (const juce::StringArray& arguments)
{
    Result result;

    // A call for help is answered whatever else the command line holds.
    for (const auto& argument : arguments)
    {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "-h")
        {
            result.options.help = true;
            return result;
        }
    }

    juce::StringArray files;
    bool optionsEnded = false;

    for (int i = 0; i < arguments.size() && result.error.isEmpty(); ++i)
    {
        const auto& argument = arguments[i];

        if (optionsEnded || ! argument.startsWith ("-") || argument == "-")
        {
            files.add (argument);
            continue;
        }

        if (argument == "--")
        {
            optionsEnded = true;
            continue;
        }

        const int equals = argument.indexOfChar ('=');
        const auto name = equals < 0 ? argument : argument.substring (0, equals);

        if (isFlag (name) && equals < 0)
        {
            result.error = applyOption (result.options, name, {});
        }
        else if (takesValue (name))
        {
            if (equals >= 0)
                result.error = applyOption (result.options, name, argument.substring (equals + 1));
            else if (i + 1 < arguments.size())
                result.error = applyOption (result.options, name, arguments[++i]);
            else
                result.error = name + " needs a value";
        }
        else
        {
            result.error = "unknown option '" + argument + "'";
        }
    }

    if (result.error.isEmpty())
        result.error = checkFiles (result.options, files);

    return result;
}

bool CommandLineParser::isWritableExtension (const juce::String& fileExtension)
{
    return fileExtension.equalsIgnoreCase (".wav") || fileExtension.equalsIgnoreCase (".flac");
}
