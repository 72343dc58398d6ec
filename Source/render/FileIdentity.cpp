#include "FileIdentity.h"

#include <sys/stat.h>

std::optional<FileIdentity> FileIdentity::of (const juce::File& file)
{
    struct stat info
    {
    };
    if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
        return std::nullopt;

    return FileIdentity{ info.st_dev, info.st_ino };
}
