#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <sys/types.h>

/** What makes a file the same file, however it is reached (relative path, symbolic or hard link):
    its device and inode.
*/
struct FileIdentity
{
    dev_t device;
    ino_t inode;

    /** The identity of the file a path leads to (following links), or nothing if there is none. */
    static std::optional<FileIdentity> of (const juce::File& file);

    bool operator== (const FileIdentity& other) const noexcept
    {
        return device == other.device && inode == other.inode;
    }
};
