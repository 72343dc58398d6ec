// Draws the four embedded images and writes them as PNG files into the folder given on the command
// line. With "--preview <folder>" it also writes each image composited on the colours it is shown
// on (the panel, the two faces of the freeze button), enlarged, for a person to look at.

#include "AppIcon.h"
#include "ArtworkColours.h"
#include "LogoFonts.h"
#include "MakerLogo.h"
#include "ProductLogo.h"
#include "SnowflakeIcon.h"

#include <iostream>

namespace
{
    bool writePng (const juce::Image& image, const juce::File& file)
    {
        juce::MemoryOutputStream out;
        if (! juce::PNGImageFormat().writeImageToStream (image, out))
            return false;
        return file.replaceWithData (out.getData(), out.getDataSize());
    }

    juce::Image onBackground (const juce::Image& image, juce::Colour background, int zoom)
    {
        juce::Image preview (juce::Image::RGB, image.getWidth() * zoom, image.getHeight() * zoom, false);
        juce::Graphics g (preview);
        g.fillAll (background);
        g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
        g.drawImageTransformed (image, juce::AffineTransform::scale ((float) zoom));
        return preview;
    }

    struct Artwork
    {
        const char* fileName;
        juce::Image image;
        std::vector<juce::Colour> previewBackgrounds;
        int previewZoom;
    };
} // namespace

int main (int argc, char* argv[])
{
    const bool withPreview = argc == 4 && juce::String (argv[2]) == "--preview";
    if (argc != 2 && ! withPreview)
    {
        std::cerr << "usage: KroImageGen <output folder> [--preview <folder>]\n";
        return 2;
    }

    if (const auto missing = LogoFonts::findMissingFace(); missing.isNotEmpty())
    {
        std::cerr << "the font \"" << missing << "\" is not installed (Debian: fonts-dejavu-core)\n";
        return 1;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto folder = cwd.getChildFile (argv[1]);
    const auto previewFolder = withPreview ? cwd.getChildFile (argv[3]) : juce::File();

    const juce::Colour buttonOff (0xff404244), buttonOn (0xfffffafa);
    const Artwork artworks[] = {
        { "Trella_logo_180x48.png", ProductLogo::render(), { ArtworkColours::panel }, 4 },
        { "logo_Kro_150x48.png", MakerLogo::render(), { ArtworkColours::panel }, 4 },
        { "snow.png", SnowflakeIcon::render(), { buttonOff, buttonOn, ArtworkColours::panel }, 8 },
        { "Trella_icon.png", AppIcon::render(), { ArtworkColours::panel, juce::Colours::white }, 2 },
    };

    for (const auto& artwork : artworks)
    {
        if (! folder.createDirectory() || ! writePng (artwork.image, folder.getChildFile (artwork.fileName)))
        {
            std::cerr << "cannot write " << artwork.fileName << "\n";
            return 1;
        }

        if (! withPreview)
            continue;

        previewFolder.createDirectory();
        for (const auto background : artwork.previewBackgrounds)
        {
            const auto name = juce::File (artwork.fileName).getFileNameWithoutExtension() + "_on_" +
                              background.toDisplayString (false) + ".png";
            writePng (onBackground (artwork.image, background, artwork.previewZoom), previewFolder.getChildFile (name));
        }
    }

    return 0;
}
