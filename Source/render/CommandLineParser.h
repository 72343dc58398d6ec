#pragma once

#include "RenderOptions.h"

/** Reads the program's arguments (without the program name) into RenderOptions.

    Options may stand before, between or after the files; "--name=value" and "--name value" are the
    same; "--" ends the options. Every problem is a usage error, reported as one line that names the
    option or argument.
*/
class CommandLineParser
{
public:
    struct Result
    {
        RenderOptions options;
        juce::String error; // empty when the command line is usable
    };

    static Result parse (const juce::StringArray& arguments);

    /** The output format an extension stands for: "wav" or "flac" (any case), or nothing. */
    static bool isWritableExtension (const juce::String& fileExtension);
};
