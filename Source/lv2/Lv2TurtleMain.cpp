// krotrella-lv2-turtle: writes the LV2 bundle's Turtle files at build time.
//
//   krotrella-lv2-turtle <bundle folder> <plug-in URI> <binary file name> <version>

#include "Lv2TurtleWriter.h"

#include <iostream>

int main (int argc, char** argv)
{
    if (argc != 5)
    {
        std::cerr << "usage: krotrella-lv2-turtle <bundle folder> <plug-in URI> <binary file name> <version>\n";
        return 2;
    }

    const auto version = juce::StringArray::fromTokens (argv[4], ".", "");

    Lv2TurtleWriter::Identity identity;
    identity.uri = argv[2];
    identity.binaryName = argv[3];
    identity.name = "KroTrella";
    identity.maker = "Palvenmark";
    identity.homepage = "https://www.palvenmark.com";
    identity.minorVersion = version[1].getIntValue();
    identity.microVersion = version[2].getIntValue();

    const auto bundle = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    if (const auto error = Lv2TurtleWriter::writeBundle (identity, bundle); error.isNotEmpty())
    {
        std::cerr << "krotrella-lv2-turtle: " << error << "\n";
        return 1;
    }

    return 0;
}
