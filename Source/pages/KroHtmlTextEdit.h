#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

/** Shows small HTML fragments (the help pages) as styled, read-only text with clickable links.

    This is not an HTML renderer: one pass over the markup turns a handful of tags into changes of
    the current font, size, style and colour, into inserted line breaks and list bullets, and into
    link ranges. The text goes into a juce::TextEditor in runs, each with the font and colour that
    were current when the run was written.
*/
class KroHtmlTextEdit : public juce::Component
{
public:
    /** A link covers the editor characters start <= i < end. */
    struct Link
    {
        juce::String target;
        int start = 0;
        int end = 0;
    };

    /** A stretch of text that was inserted with one font and colour. */
    struct Run
    {
        int start = 0;
        int length = 0;
        juce::Font font;
        juce::Colour colour;
    };

    KroHtmlTextEdit();
    ~KroHtmlTextEdit() override;

    /** Parses the fragment and appends its text after the current content. */
    void appendHtml (const juce::String& fragment);

    /** Empties the view before a new page. Font, size, style and colours stay as they are. */
    void clearHtml();

    /** Gives the editor the current font (name, size, style). */
    void doSetFont();

    /** Sets the body text size (current and saved size) and applies it to the editor. */
    void setBaseFontSize (float newSize);

    /** Run for a clicked link whose target does not begin with "http". */
    std::function<void (const juce::String& href)> onLinkClicked;

    /** Opens a web address; launches the system browser unless replaced (tests replace it). Only
        plain http and https addresses that are safe to hand to the browser launcher reach it.
    */
    std::function<void (const juce::String& address)> openWebLink;

    juce::TextEditor& getEditor() noexcept { return *editor; }
    const juce::Array<Link>& getLinks() const noexcept { return links; }
    const std::vector<Run>& getRuns() const noexcept { return runs; }

    /** The run that holds the character at `index`, or nullptr when there is none. */
    const Run* findRunAt (int index) const;

    juce::String getFontName() const { return fontName; }
    float getFontSize() const noexcept { return fontSize; }
    int getFontStyle() const noexcept { return fontStyle; }

    bool isTooltipShown() const noexcept { return tooltipShown; }
    juce::String getTooltipText() const { return tooltipText; }

    /** Where the address tooltip is drawn: its position held inside the view. */
    juce::Rectangle<int> getTooltipBounds() const;

    /** The typeface to draw a requested family with: the family itself when it is installed, else
        the system's default sans-serif. A family that is missing (Verdana and Arial often are on
        Linux) would otherwise be drawn by a fallback that loses bold, italic and underlining.
    */
    static juce::String resolveTypefaceName (const juce::String& name);
    static juce::Font makeFont (const juce::String& name, float height, int style);

    /** The longest stretch of non-space (or of space) characters handed to the editor in one piece.
        The editor lays out a longer word in time growing with the square of its length, and cannot
        index words beyond 65535 characters at all, so a longer stretch gets a space (a line break
        for spaces) inserted after this many characters.
    */
    static constexpr int longestUnbrokenStretch = 200;

    /** True for http(s) addresses that contain only characters a shell-based launcher cannot
        misread (no quotes, backslashes, dollar signs, backticks, spaces or control characters).
    */
    static bool isSafeWebAddress (const juce::String& address);

    void resized() override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void paintOverChildren (juce::Graphics& g) override;

private:
    using Text = std::basic_string<juce::juce_wchar>;

    struct PendingRun
    {
        Text text;
        juce::Font font;
        juce::Colour colour;
    };

    // State of one appendHtml call: the editor's current font and colour while the tags are read,
    // and the runs collected so far. The editor itself is touched once per run at the end, since
    // every change to it lays out its whole text again.
    struct Walk
    {
        juce::Font font;
        juce::Colour colour;
        std::vector<PendingRun> runs;
        int wordLength = 0;
        int spaceLength = 0;
    };

    void appendCharacter (Walk& walk, Text& pendingText, juce::juce_wchar c);

    void handleTag (const juce::String& tag, Walk& walk);
    void appendRunText (Walk& walk, Text text);
    void appendRunText (Walk& walk, const juce::String& text);
    void insertRuns (const Walk& walk, int firstIndex);
    void insertRun (const juce::String& text, const juce::Font& font, juce::Colour colour, int& position);
    void updateFont (Walk& walk) const;
    void setStyleBit (Walk& walk, int bit);
    void clearStyleBit (Walk& walk, int bit);
    void openLink (const juce::String& tag, Walk& walk);
    void closeLink (Walk& walk);
    void applyFontTag (const juce::String& tag, Walk& walk);
    void closeFontTag (Walk& walk);
    void openHeading (const juce::String& tag, Walk& walk);
    void closeHeading (Walk& walk);
    void insertTagText (const juce::String& text, Walk& walk);

    const Link* findLinkAt (const juce::MouseEvent& e) const;

    std::unique_ptr<juce::TextEditor> editor;
    int insertionIndex = 0;
    juce::String fontName{ "Verdana" };
    juce::String savedFontName{ "Verdana" };
    float fontSize = 18.0f;
    float savedFontSize = 18.0f;
    int fontStyle = juce::Font::plain;
    juce::Colour textColour{ juce::Colours::white };
    juce::Colour savedTextColour{ juce::Colours::white };
    juce::Colour linkColour{ juce::Colours::yellow };
    juce::Colour insertColour{ juce::Colours::white }; // the editor's text colour for new text
    std::optional<juce::Font> firstLineFont;
    bool firstLineComplete = false;

    bool tooltipShown = false;
    juce::String tooltipText;
    int tooltipX = 0;
    int tooltipY = 0;
    juce::Font tooltipFont{ "Arial", 14.0f, juce::Font::plain };
    int tooltipWidth = 100;

    juce::String currentLinkTarget;
    int currentLinkStart = 0;
    int currentLinkEnd = 0;
    bool linkOpen = false;
    juce::Array<Link> links;
    std::vector<Run> runs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroHtmlTextEdit)
};
