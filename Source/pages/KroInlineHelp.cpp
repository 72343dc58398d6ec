#include "KroInlineHelp.h"

// A checkout whose generated resources are missing builds without them; the viewer then finds no
// pages and stays empty instead of failing to build.
#if __has_include(<BinaryData.h>)
#include <BinaryData.h>
#define KRO_HAS_EMBEDDED_RESOURCES 1
#else
#define KRO_HAS_EMBEDDED_RESOURCES 0
#endif

namespace
{
    constexpr int fadeMs = 250;
    constexpr int buttonStripHeight = 40;
    const juce::String firstPage{ "help_0.htm" };
} // namespace

KroInlineHelp::KroInlineHelp()
{
    setOpaque (true);

    htmlView = std::make_unique<KroHtmlTextEdit>();
    htmlView->onLinkClicked = [this] (const juce::String& target) { followLink (target); };
    htmlView->getEditor().setScrollbarsShown (true);
    htmlView->setBaseFontSize (15.0f);
    htmlView->getEditor().setColour (juce::TextEditor::backgroundColourId, juce::Colour (0xff404050));
    addAndMakeVisible (*htmlView);

    closeButton = std::make_unique<SquareButton> ("CLOSE", SquareButton::pushType);
    closeButton->onMouseUp = [this] (const juce::MouseEvent&)
    { juce::Desktop::getInstance().getAnimator().fadeOut (this, fadeMs); };
    addAndMakeVisible (*closeButton);

    backButton = std::make_unique<SquareButton> ("<< BACK", SquareButton::pushType);
    backButton->onMouseUp = [this] (const juce::MouseEvent&) { goBack(); };
    backButton->setEnabled (false);
    addAndMakeVisible (*backButton);
}

KroInlineHelp::~KroInlineHelp() = default;

juce::String KroInlineHelp::embeddedPage (const juce::String& resourceName)
{
#if KRO_HAS_EMBEDDED_RESOURCES
    const auto name = resourceName.toStdString();

    // The lookup compares hashes only; asking for the name back rules out a different page that
    // happens to share the hash.
    if (BinaryData::getNamedResourceOriginalFilename (name.c_str()) == nullptr)
        return {};

    int size = 0;
    const auto* data = BinaryData::getNamedResource (name.c_str(), size);

    if (data == nullptr || size <= 0)
        return {};

    return juce::String::fromUTF8 (data, size);
#else
    juce::ignoreUnused (resourceName);
    return {};
#endif
}

void KroInlineHelp::Open()
{
    history.clear();
    history.add (firstPage);
    updateBackButton();
    loadPage (firstPage);
    juce::Desktop::getInstance().getAnimator().fadeIn (this, fadeMs);
}

void KroInlineHelp::loadPage (const juce::String& name)
{
    const auto text = pageSource != nullptr ? pageSource (name.replaceCharacter ('.', '_')) : juce::String();

    if (text.isEmpty())
        return;

    htmlView->clearHtml();
    htmlView->appendHtml (text);
    htmlView->getEditor().moveCaretToTop (false);
}

void KroInlineHelp::followLink (const juce::String& target)
{
    history.add (target);
    updateBackButton();
    loadPage (target);
}

void KroInlineHelp::goBack()
{
    if (history.size() == 1)
        return;

    if (history.size() > 1)
        history.remove (history.size() - 1);

    const auto page = history.isEmpty() ? juce::String() : history[history.size() - 1];
    updateBackButton();
    loadPage (page);
}

void KroInlineHelp::updateBackButton()
{
    backButton->setEnabled (history.size() > 1);
}

void KroInlineHelp::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void KroInlineHelp::resized()
{
    const int w = getWidth();
    const int h = getHeight();

    htmlView->setBounds (0, 0, w, h - buttonStripHeight);
    closeButton->setBounds (w - 140, h - 35, 120, 30);
    backButton->setBounds (w - 270, h - 35, 120, 30);
}
