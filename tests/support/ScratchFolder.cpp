#include "ScratchFolder.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace
{
    juce::File makeUniqueFolder()
    {
        const auto temp = juce::File::getSpecialLocation (juce::File::tempDirectory);
        temp.createDirectory();

        auto pattern = temp.getChildFile ("kro-test-XXXXXX").getFullPathName().toStdString();
        if (mkdtemp (pattern.data()) == nullptr)
            throw std::runtime_error ("cannot create a scratch folder under " + temp.getFullPathName().toStdString());

        return juce::File (pattern);
    }

    std::unique_ptr<ScratchFolder>& processFolder()
    {
        static std::unique_ptr<ScratchFolder> folder;
        return folder;
    }
} // namespace

ScratchFolder::ScratchFolder()
    : folder (makeUniqueFolder())
{
}

ScratchFolder::~ScratchFolder()
{
    folder.deleteRecursively();
}

const juce::File& processScratchFolder()
{
    if (processFolder() == nullptr)
        processFolder() = std::make_unique<ScratchFolder>();

    return processFolder()->get();
}

void isolateTestProcessFiles()
{
    const auto config = processScratchFolder().getChildFile ("config");
    config.createDirectory();
    setenv ("XDG_CONFIG_HOME", config.getFullPathName().toRawUTF8(), 1);

    // The folder goes when the process ends normally.
    std::atexit ([] { processFolder().reset(); });
}
