#pragma once

#include "PresetDocument.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

/** The user's own presets: one "KroPRESET" document per preset in a folder (the data folder's
    "Presets"), the same document the renderer reads with --preset.

    A preset's name may hold any characters. It is kept in the document ("NAME" on the root, which
    older readers ignore) and, made safe, in the file name: characters a file name cannot hold or
    that would hide it ('/', '\\', control characters, '%', a leading '.') are written as %XX.
    Files are written to a hidden temporary file beside the target and renamed over it, so a
    failure leaves the previous file as it was. Nothing here deletes a file it could not read.
*/
class PresetLibrary
{
public:
    using Values = PresetDocument::Values;

    explicit PresetLibrary (juce::File folder);

    const juce::File& getFolder() const noexcept { return folder; }

    struct Entry
    {
        juce::String name; // the preset's name, or the file's name when it is unreadable
        juce::File file;
        juce::String problem; // empty for a preset that was read
        Values values{};

        bool isReadable() const noexcept { return problem.isEmpty(); }
    };

    /** Every ".xml" file of the folder, sorted by name (ignoring case); damaged or foreign files
        are listed with their problem and never touched.
    */
    std::vector<Entry> scan() const;

    /** The readable preset of that name (ignoring case), if there is one. */
    std::optional<Entry> find (const juce::String& name) const;

    /** Writes a preset, replacing one of the same name. An error message, or empty on success. */
    juce::String save (const juce::String& name, const Values& values) const;

    /** Gives a preset a new name (replacing a preset that has it). An error message, or empty. */
    juce::String rename (const juce::String& from, const juce::String& to) const;

    /** Deletes a preset's file. An error message, or empty. */
    juce::String remove (const juce::String& name) const;

    /** Whether the name is one a preset can have: not empty after trimming, not too long for a file name. */
    static juce::String problemWithName (const juce::String& name);

    /** The file a preset of that name is kept in. */
    juce::File fileFor (const juce::String& name) const;

    /** The file name part for a preset name (without ".xml"). */
    static juce::String fileStemFor (const juce::String& name);

    /** The name a file name part stands for (the reverse of fileStemFor). */
    static juce::String nameForFileStem (const juce::String& stem);

    static constexpr const char* folderName = "Presets"; // in the data folder
    static constexpr const char* extension = ".xml";
    static constexpr const char* nameAttribute = "NAME";
    static constexpr int maximumFileStemBytes = 200;

private:
    Entry read (const juce::File& file) const;

    juce::File folder;
};
