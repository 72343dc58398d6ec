#pragma once

#include <juce_core/juce_core.h>

/** A folder of the test process's own under the system temp folder, created atomically with a
    unique name (mkdtemp), so that tests running in parallel processes can never share or delete
    each other's files. It is removed with its content when the object goes.
*/
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();

    const juce::File& get() const noexcept { return folder; }

private:
    juce::File folder;

    JUCE_DECLARE_NON_COPYABLE (ScratchFolder)
};

/** The scratch folder of the whole test process, made by the test main before any test runs. The
    data folder of the program (XDG_CONFIG_HOME) points into it, so that no test reads or writes the
    user's real settings, and no two test processes share a settings file.
*/
const juce::File& processScratchFolder();

/** Called once by the test main: creates the process's scratch folder and points XDG_CONFIG_HOME
    at a "config" folder inside it.
*/
void isolateTestProcessFiles();
