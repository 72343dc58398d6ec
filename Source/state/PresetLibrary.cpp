#include "PresetLibrary.h"

#include "FactoryPresets.h"
#include "text/GuardedXml.h"

namespace
{
    constexpr juce::int64 maximumPresetFileSize = 1 << 20;

    bool needsEscape (juce::juce_wchar c, bool first)
    {
        return c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == '%' || (first && c == '.');
    }

    juce::String hexByte (int byte)
    {
        return "%" + juce::String::toHexString (byte).paddedLeft ('0', 2).toUpperCase();
    }

    // Writes the text to a hidden temporary file beside the target, then renames it over the target.
    juce::String writeAtomically (const juce::File& target, const juce::String& text)
    {
        const juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);
        {
            juce::FileOutputStream out (temporary.getFile());
            if (! out.openedOk())
                return "cannot write in " + target.getParentDirectory().getFullPathName() + " (" +
                       out.getStatus().getErrorMessage() + ")";
            out.writeText (text, false, false, "\n");
            out.flush();
            if (out.getStatus().failed())
                return "cannot write " + target.getFullPathName() + " (" + out.getStatus().getErrorMessage() + ")";
        }

        if (! temporary.overwriteTargetFileWithTemporary())
            return "cannot replace " + target.getFullPathName();
        return {};
    }
} // namespace

PresetLibrary::PresetLibrary (juce::File presetFolder)
    : folder (std::move (presetFolder))
{
}

juce::String PresetLibrary::fileStemFor (const juce::String& name)
{
    juce::String stem;
    bool first = true;

    for (auto c : name.trim())
    {
        if (needsEscape (c, first))
            stem << hexByte ((int) c);
        else
            stem << juce::String::charToString (c);
        first = false;
    }

    return stem;
}

juce::String PresetLibrary::nameForFileStem (const juce::String& stem)
{
    juce::String name;
    for (int i = 0; i < stem.length(); ++i)
    {
        const auto hex = stem.substring (i + 1, i + 3);
        if (stem[i] == '%' && hex.length() == 2 && hex.containsOnly ("0123456789abcdefABCDEF"))
        {
            name << juce::String::charToString ((juce::juce_wchar) hex.getHexValue32());
            i += 2;
        }
        else
        {
            name << juce::String::charToString (stem[i]);
        }
    }
    return name;
}

juce::String PresetLibrary::problemWithName (const juce::String& name)
{
    if (name.trim().isEmpty())
        return "A preset needs a name.";
    if (fileStemFor (name).getNumBytesAsUTF8() > (size_t) maximumFileStemBytes)
        return "The name is too long for a file name; please choose a shorter one.";
    return {};
}

juce::File PresetLibrary::fileFor (const juce::String& name) const
{
    return folder.getChildFile (fileStemFor (name) + extension);
}

PresetLibrary::Entry PresetLibrary::read (const juce::File& file) const
{
    Entry entry;
    entry.file = file;
    entry.name = nameForFileStem (file.getFileNameWithoutExtension());

    if (file.getSize() > maximumPresetFileSize)
    {
        entry.problem = "too large";
        return entry;
    }

    const auto document = GuardedXml::parse (file);
    if (document == nullptr)
    {
        entry.problem = "not a readable XML document";
        return entry;
    }

    if (const auto problem = PresetDocument::problemWith (*document); problem.isNotEmpty())
    {
        entry.problem = problem;
        return entry;
    }

    if (const auto stored = document->getStringAttribute (nameAttribute).trim(); stored.isNotEmpty())
        entry.name = stored;
    entry.values = PresetDocument::read (*document, FactoryPresets::initialValues());
    return entry;
}

std::vector<PresetLibrary::Entry> PresetLibrary::scan() const
{
    std::vector<Entry> entries;

    for (const auto& item :
         juce::RangedDirectoryIterator (folder, false, juce::String ("*") + extension, juce::File::findFiles))
        entries.push_back (read (item.getFile()));

    std::sort (entries.begin(), entries.end(),
               [] (const Entry& a, const Entry& b) { return a.name.compareNatural (b.name) < 0; });
    return entries;
}

std::optional<PresetLibrary::Entry> PresetLibrary::find (const juce::String& name) const
{
    const auto wanted = name.trim();

    // The file the name gives comes first; a preset whose stored name differs from its file's is
    // still found by a scan.
    if (const auto file = fileFor (wanted); file.existsAsFile())
        if (auto entry = read (file); entry.isReadable() && entry.name.equalsIgnoreCase (wanted))
            return entry;

    for (auto& entry : scan())
        if (entry.isReadable() && entry.name.equalsIgnoreCase (wanted))
            return entry;

    return std::nullopt;
}

juce::String PresetLibrary::save (const juce::String& name, const Values& values) const
{
    if (const auto problem = problemWithName (name); problem.isNotEmpty())
        return problem;

    if (! folder.isDirectory())
        if (const auto created = folder.createDirectory(); created.failed())
            return "cannot create the folder " + folder.getFullPathName() + " (" + created.getErrorMessage() + ")";

    const auto document = PresetDocument::create (values);
    document->setAttribute (nameAttribute, name.trim());
    return writeAtomically (fileFor (name), document->toString());
}

juce::String PresetLibrary::rename (const juce::String& from, const juce::String& to) const
{
    const auto entry = find (from);
    if (! entry.has_value())
        return "There is no preset called \"" + from + "\".";

    if (const auto problem = save (to, entry->values); problem.isNotEmpty())
        return problem;

    // The new file is complete before the old one goes; a rename that only changes the case of
    // the name keeps the same file.
    if (entry->file != fileFor (to) && ! entry->file.deleteFile())
        return "The preset was copied to \"" + to.trim() + "\", but " + entry->file.getFullPathName() +
               " could not be deleted.";
    return {};
}

juce::String PresetLibrary::remove (const juce::String& name) const
{
    const auto entry = find (name);
    if (! entry.has_value())
        return "There is no preset called \"" + name + "\".";
    if (! entry->file.deleteFile())
        return "cannot delete " + entry->file.getFullPathName();
    return {};
}
