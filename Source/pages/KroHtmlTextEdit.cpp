#include "KroHtmlTextEdit.h"

#include "text/NumberText.h"

#include <cmath>

namespace
{
    constexpr int tooltipHeight = 25;
    constexpr float smallestFontSize = 1.0f;
    constexpr float largestFontSize = 200.0f;
    constexpr int longestWebAddress = 4096;

    // Layout work allowed for styling the runs of one fragment, in characters laid out: a fixed part
    // that covers any help page many times over, plus a part that grows with the fragment.
    constexpr juce::int64 layoutBudgetBase = 4000000;
    constexpr juce::int64 layoutBudgetPerChar = 16;
    constexpr juce::int64 layoutCostPerRun = 64;

    /** The value of an attribute such as size="24": the text between the quotes that follow the
        name, or up to the next space when the value is not quoted.
    */
    juce::String attributeValue (const juce::String& tag, const char* nameWithEquals)
    {
        const auto rest = tag.fromFirstOccurrenceOf (nameWithEquals, false, true).trimStart();

        if (rest.startsWithChar ('"'))
            return rest.substring (1).upToFirstOccurrenceOf ("\"", false, false);

        return rest.upToFirstOccurrenceOf (" ", false, false);
    }

    /** A size from a font tag, kept within readable limits; nonsense leaves the size unchanged. */
    float sanitisedFontSize (float requested, float current)
    {
        if (! std::isfinite (requested) || requested <= 0.0f)
            return current;

        return juce::jlimit (smallestFontSize, largestFontSize, requested);
    }

    /** The typeface families installed on this system, looked up once. */
    const juce::StringArray& installedTypefaces()
    {
        static const juce::StringArray names = []
        {
            auto found = juce::Font::findAllTypefaceNames();
            found.sort (true);
            return found;
        }();
        return names;
    }

    juce::String toJuceString (const std::basic_string<juce::juce_wchar>& text)
    {
        return juce::String (juce::CharPointer_UTF32 (text.c_str()), text.size());
    }
} // namespace

juce::String KroHtmlTextEdit::resolveTypefaceName (const juce::String& name)
{
    const auto& installed = installedTypefaces();

    // Empty names and JUCE's own placeholders ("<Sans-Serif>" and the like) are left to JUCE.
    if (name.isEmpty() || name.startsWithChar ('<') || installed.isEmpty())
        return name;

    const auto index = installed.indexOf (name, true);
    return index >= 0 ? installed[index] : juce::Font::getDefaultSansSerifFontName();
}

juce::Font KroHtmlTextEdit::makeFont (const juce::String& name, float height, int style)
{
    return juce::Font (resolveTypefaceName (name), height, style);
}

KroHtmlTextEdit::KroHtmlTextEdit()
{
    openWebLink = [] (const juce::String& address) { juce::URL (address).launchInDefaultBrowser(); };
    tooltipFont = makeFont ("Arial", 14.0f, juce::Font::plain);

    editor = std::make_unique<juce::TextEditor> (juce::String(), (juce::juce_wchar) 0);
    editor->setScrollbarsShown (false);
    editor->setMultiLine (true, true);
    editor->setReadOnly (true);
    editor->setPopupMenuEnabled (false);
    editor->setLineSpacing (1.1f);
    editor->setIndents (5, 20);
    editor->setColour (juce::TextEditor::outlineColourId, juce::Colour (0x00000000));
    editor->setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0x00000000));
    addAndMakeVisible (*editor);

    clearHtml();

    editor->setFont (makeFont (fontName, fontSize, fontStyle));
    editor->setColour (juce::TextEditor::textColourId, insertColour);
    editor->setColour (juce::TextEditor::backgroundColourId, juce::Colours::black);

    // Moves and releases over the editor and its inner viewport come to mouseMove and mouseUp.
    // (Listening to the view itself would deliver the view's own events twice.)
    editor->addMouseListener (this, true);
}

KroHtmlTextEdit::~KroHtmlTextEdit()
{
    editor->removeMouseListener (this);
}

void KroHtmlTextEdit::clearHtml()
{
    links.clear();
    runs.clear();
    firstLineFont.reset();
    firstLineComplete = false;
    linkOpen = false;
    insertionIndex = 0;
    editor->clear();
    editor->setCaretPosition (0);
}

void KroHtmlTextEdit::doSetFont()
{
    editor->setFont (makeFont (fontName, fontSize, fontStyle));
}

void KroHtmlTextEdit::setBaseFontSize (float newSize)
{
    fontSize = sanitisedFontSize (newSize, fontSize);
    savedFontSize = fontSize;
    doSetFont();
}

//==============================================================================
void KroHtmlTextEdit::appendHtml (const juce::String& fragment)
{
    Walk walk{ makeFont (fontName, fontSize, fontStyle), insertColour, {} };
    const int firstIndex = insertionIndex;

    Text pendingText;
    Text tagText;
    bool insideTag = false;

    for (auto p = fragment.getCharPointer();;)
    {
        auto c = p.getAndAdvance();

        if (c == 0)
            break;

        // Line breaks in the source have no effect: CR LF pairs and lone LFs disappear.
        if (c == '\n' || (c == '\r' && *p == '\n'))
            continue;

        // A lone CR is a line break in the editor too, but the editor would merge it with a line
        // break a tag inserts right after it, and the runs and links would count one character
        // too many from there on. As an LF it shows the same and is never merged.
        if (c == '\r')
            c = '\n';

        if (c == '<')
        {
            appendRunText (walk, std::move (pendingText));
            pendingText.clear();
            insideTag = true;
            continue;
        }

        if (insideTag)
        {
            if (c != '>')
            {
                tagText.push_back (c);
                continue;
            }

            insideTag = false;

            if (! tagText.empty())
            {
                handleTag (toJuceString (tagText), walk);
                tagText.clear();
                continue;
            }
            // "<>": the '>' is ordinary text.
        }

        appendCharacter (walk, pendingText, c);
    }

    // A tag still open at the end is dropped.
    appendRunText (walk, std::move (pendingText));

    insertRuns (walk, firstIndex);
}

void KroHtmlTextEdit::appendCharacter (Walk& walk, Text& pendingText, juce::juce_wchar c)
{
    auto& stretch = juce::CharacterFunctions::isWhitespace (c) ? walk.spaceLength : walk.wordLength;
    auto& other = &stretch == &walk.spaceLength ? walk.wordLength : walk.spaceLength;

    if (stretch >= longestUnbrokenStretch)
    {
        pendingText.push_back (&stretch == &walk.spaceLength ? '\n' : ' ');
        ++insertionIndex;
        stretch = 0;
    }

    pendingText.push_back (c);
    ++insertionIndex;
    ++stretch;
    other = 0;
}

void KroHtmlTextEdit::appendRunText (Walk& walk, Text text)
{
    if (text.empty())
        return;

    if (! walk.runs.empty() && walk.runs.back().font == walk.font && walk.runs.back().colour == walk.colour)
        walk.runs.back().text += text;
    else
        walk.runs.push_back ({ std::move (text), walk.font, walk.colour });
}

void KroHtmlTextEdit::appendRunText (Walk& walk, const juce::String& text)
{
    Text converted;
    for (auto p = text.getCharPointer(); ! p.isEmpty();)
        converted.push_back (p.getAndAdvance());

    appendRunText (walk, std::move (converted));
}

void KroHtmlTextEdit::insertRuns (const Walk& walk, int firstIndex)
{
    // Every insertion makes the editor lay out its whole text again, so styling each run of a long,
    // densely tagged fragment would take time growing with the square of its length. Runs keep their
    // own style while that layout work stays within a budget proportional to the fragment; whatever
    // is left then goes in at once, in the style of its first run. The text itself is always complete.
    // Each run already in the editor counts extra, because a word that runs on across style changes
    // costs the layout more than plain text.
    juce::int64 newChars = 0;
    for (const auto& run : walk.runs)
        newChars += (juce::int64) run.text.size();

    const juce::int64 budget = layoutBudgetBase + layoutBudgetPerChar * newChars;
    juce::int64 work = 0;
    int position = juce::jlimit (0, editor->getTotalNumChars(), firstIndex);

    for (size_t r = 0; r < walk.runs.size(); ++r)
    {
        const auto& run = walk.runs[r];
        work += editor->getTotalNumChars() + (juce::int64) run.text.size() + layoutCostPerRun * (juce::int64) r;

        if (work > budget && r + 1 < walk.runs.size())
        {
            Text rest;
            for (auto later = r; later < walk.runs.size(); ++later)
                rest += walk.runs[later].text;

            insertRun (toJuceString (rest), run.font, run.colour, position);
            break;
        }

        insertRun (toJuceString (run.text), run.font, run.colour, position);
    }

    insertColour = walk.colour;
    editor->setColour (juce::TextEditor::textColourId, insertColour);

    // The editor measures its first line with the height of its current font, whatever the line
    // holds, so it is given the font of the first line: a heading at the top of a page then gets
    // the room it needs instead of running into the top margin.
    if (firstLineFont.has_value())
        editor->setFont (*firstLineFont);
}

void KroHtmlTextEdit::insertRun (const juce::String& text, const juce::Font& font, juce::Colour colour, int& position)
{
    editor->setFont (font);
    editor->setColour (juce::TextEditor::textColourId, colour);
    editor->setCaretPosition (position);
    editor->insertTextAtCaret (text);

    if (! firstLineComplete)
    {
        const auto lineBreak = text.indexOfChar ('\n');

        if (lineBreak != 0 && (! firstLineFont.has_value() || font.getHeight() > firstLineFont->getHeight()))
            firstLineFont = font;

        firstLineComplete = lineBreak >= 0;
    }

    const int length = text.length();
    runs.push_back ({ position, length, font, colour });
    position += length;
}

const KroHtmlTextEdit::Run* KroHtmlTextEdit::findRunAt (int index) const
{
    const auto after =
        std::upper_bound (runs.begin(), runs.end(), index, [] (int i, const Run& run) { return i < run.start; });

    if (after == runs.begin())
        return nullptr;

    const auto& run = *std::prev (after);
    return index < run.start + run.length ? &run : nullptr;
}

//==============================================================================
void KroHtmlTextEdit::handleTag (const juce::String& tag, Walk& walk)
{
    if (tag == "br")
        insertTagText ("\n", walk);
    else if (tag == "i")
        setStyleBit (walk, juce::Font::italic);
    else if (tag == "/i")
        clearStyleBit (walk, juce::Font::italic);
    else if (tag == "b")
        setStyleBit (walk, juce::Font::bold);
    else if (tag == "/b")
        clearStyleBit (walk, juce::Font::bold);
    else if (tag == "u")
        setStyleBit (walk, juce::Font::underlined);
    else if (tag == "/u")
        clearStyleBit (walk, juce::Font::underlined);
    else if (tag.startsWithIgnoreCase ("a "))
        openLink (tag, walk);
    else if (tag == "/a")
        closeLink (walk);
    else if (tag.startsWithIgnoreCase ("font "))
        applyFontTag (tag, walk);
    else if (tag == "/font")
        closeFontTag (walk);
    else if (tag.startsWithIgnoreCase ("li"))
        insertTagText ("\n  - ", walk);
    else if (tag.startsWithIgnoreCase ("/ul"))
        insertTagText ("\n", walk);
    else if (tag.startsWithIgnoreCase ("h") && tag.containsAnyOf ("1234"))
        openHeading (tag, walk);
    else if (tag.startsWithIgnoreCase ("/h") && tag.containsAnyOf ("1234"))
        closeHeading (walk);
    // Anything else (p, ul, h5, "br/", ...) is ignored.
}

void KroHtmlTextEdit::updateFont (Walk& walk) const
{
    walk.font = makeFont (fontName, fontSize, fontStyle);
}

void KroHtmlTextEdit::setStyleBit (Walk& walk, int bit)
{
    fontStyle |= bit;
    updateFont (walk);
}

// A closing tag switches its style off; it never switches it on, even without its opening tag.
void KroHtmlTextEdit::clearStyleBit (Walk& walk, int bit)
{
    fontStyle &= ~bit;
    updateFont (walk);
}

void KroHtmlTextEdit::insertTagText (const juce::String& text, Walk& walk)
{
    appendRunText (walk, text);
    insertionIndex += text.length();
    walk.wordLength = 0;
    walk.spaceLength = 0;
}

void KroHtmlTextEdit::openLink (const juce::String& tag, Walk& walk)
{
    // Link text is underlined only: bold and italic are dropped.
    savedTextColour = textColour;
    fontStyle = juce::Font::underlined;
    updateFont (walk);
    walk.colour = linkColour;

    if (! tag.containsIgnoreCase ("href"))
        return;

    const auto target = attributeValue (tag, "href=").removeCharacters ("\"");

    if (target.isEmpty())
        return;

    currentLinkTarget = target;
    currentLinkStart = insertionIndex;
    currentLinkEnd = juce::jmax (currentLinkEnd, currentLinkStart);
    linkOpen = true;
}

void KroHtmlTextEdit::closeLink (Walk& walk)
{
    clearStyleBit (walk, juce::Font::underlined);
    walk.colour = savedTextColour;

    // Only a link that was opened with a target is recorded; a stray "/a" makes no link.
    if (! linkOpen)
        return;

    currentLinkEnd = insertionIndex;
    currentLinkStart = juce::jmin (currentLinkStart, currentLinkEnd);
    links.add ({ currentLinkTarget, currentLinkStart, currentLinkEnd });
    linkOpen = false;
}

void KroHtmlTextEdit::applyFontTag (const juce::String& tag, Walk& walk)
{
    if (tag.containsIgnoreCase ("size"))
    {
        savedFontSize = fontSize;
        fontSize = sanitisedFontSize ((float) NumberText::toDouble (attributeValue (tag, "size=")), fontSize);
        updateFont (walk);
    }

    if (tag.containsIgnoreCase ("color"))
    {
        // Six digits RRGGBB give an opaque colour; no digits at all give opaque black.
        savedTextColour = textColour;
        const auto digits = attributeValue (tag, "color=").removeCharacters ("#");
        textColour = juce::Colour ((juce::uint32) digits.getHexValue32() + 0xff000000u);
        walk.colour = textColour;
    }

    if (tag.containsIgnoreCase ("face"))
    {
        savedFontName = fontName;
        const auto face = attributeValue (tag, "face=");

        if (face.isNotEmpty())
            fontName = face;

        updateFont (walk);
    }
}

void KroHtmlTextEdit::closeFontTag (Walk& walk)
{
    fontName = savedFontName;
    fontSize = savedFontSize;
    updateFont (walk);
    textColour = savedTextColour;
    walk.colour = textColour;
}

void KroHtmlTextEdit::openHeading (const juce::String& tag, Walk& walk)
{
    // h1 36, h2 32, h3 28, h4 24; a last character that is no digit counts as 0.
    const auto last = tag.getLastCharacter();
    const int level = (last >= '0' && last <= '9') ? (int) (last - '0') : 0;

    savedFontSize = fontSize;
    fontSize = (float) ((10 - level) * 4);
    updateFont (walk);
}

void KroHtmlTextEdit::closeHeading (Walk& walk)
{
    fontSize = savedFontSize;
    updateFont (walk);
    insertTagText ("\n", walk);
}

//==============================================================================
void KroHtmlTextEdit::resized()
{
    editor->setBounds (getLocalBounds());
}

const KroHtmlTextEdit::Link* KroHtmlTextEdit::findLinkAt (const juce::MouseEvent& e) const
{
    const auto position = e.getEventRelativeTo (editor.get()).getPosition();
    const int index = editor->getTextIndexAt (position.x, position.y);

    for (const auto& link : links)
        if (link.start <= index && index < link.end)
            return &link;

    return nullptr;
}

void KroHtmlTextEdit::mouseMove (const juce::MouseEvent& e)
{
    if (editor->getMouseCursor() != juce::MouseCursor::NormalCursor)
    {
        editor->setMouseCursor (juce::MouseCursor::NormalCursor);
        tooltipShown = false;
        repaint();
    }

    const auto* link = findLinkAt (e);

    if (link == nullptr)
        return;

    editor->setMouseCursor (juce::MouseCursor::PointingHandCursor);

    if (! link->target.startsWithIgnoreCase ("http"))
        return;

    if (tooltipText != link->target || ! tooltipShown)
    {
        tooltipText = link->target;
        const int fullWidth = juce::roundToInt (tooltipFont.getStringWidthFloat (tooltipText)) + 10;
        // A very long address is cut with an ellipsis rather than drawn wider than the view.
        tooltipWidth = getWidth() > 0 ? juce::jmin (fullWidth, getWidth()) : fullWidth;
    }

    tooltipShown = true;
    const auto position = e.getEventRelativeTo (this).getPosition() + juce::Point<int> (15, 15);
    tooltipX = position.x;
    tooltipY = position.y;
    repaint();
}

void KroHtmlTextEdit::mouseUp (const juce::MouseEvent& e)
{
    const auto* link = findLinkAt (e);

    if (link == nullptr)
        return;

    // A copy: the handler usually loads another page, which clears the links.
    const auto target = link->target;

    if (target.startsWithIgnoreCase ("http"))
    {
        if (openWebLink != nullptr && isSafeWebAddress (target))
            openWebLink (target);
    }
    else if (onLinkClicked != nullptr)
    {
        onLinkClicked (target);
    }
}

juce::Rectangle<int> KroHtmlTextEdit::getTooltipBounds() const
{
    const int x = tooltipX < 0 ? 0 : juce::jmin (tooltipX, getWidth() - tooltipWidth);
    const int y = tooltipY < 0 ? 0 : juce::jmin (tooltipY, getHeight() - tooltipHeight);
    return { x, y, tooltipWidth, tooltipHeight };
}

void KroHtmlTextEdit::paintOverChildren (juce::Graphics& g)
{
    if (! tooltipShown)
        return;

    const auto area = getTooltipBounds();
    tooltipX = area.getX();
    tooltipY = area.getY();

    g.setColour (juce::Colours::beige);
    g.fillRoundedRectangle (area.toFloat(), 5.0f);
    g.setColour (juce::Colours::black);
    g.setFont (tooltipFont);
    g.drawText (tooltipText, area, juce::Justification::centred, true);
}

bool KroHtmlTextEdit::isSafeWebAddress (const juce::String& address)
{
    if (! (address.startsWithIgnoreCase ("http://") || address.startsWithIgnoreCase ("https://")))
        return false;

    if (address.length() > longestWebAddress)
        return false;

    for (auto p = address.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c <= ' ' || c >= 0x7f || c == '"' || c == '\\' || c == '$' || c == '`')
            return false;
    }

    return true;
}
