#pragma once

#include <juce_graphics/juce_graphics.h>

/** Writes a rendered image as <name>.png into the folder named by KRO_TEST_IMAGE_DIR, when that
    variable is set, so that a person can look at what a test saw. Does nothing otherwise.
*/
inline void dumpImage (const juce::String& name, const juce::Image& image)
{
    const auto folder = juce::SystemStats::getEnvironmentVariable ("KRO_TEST_IMAGE_DIR", {});
    if (folder.isEmpty() || ! image.isValid())
        return;

    const juce::File file = juce::File (folder).getChildFile (name + ".png");
    file.deleteFile();
    if (juce::FileOutputStream out (file); out.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, out);
}
