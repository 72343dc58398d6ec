#pragma once

#include "KroHtmlTextEdit.h"
#include "widgets/SquareButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The built-in help browser: shows the embedded help pages, follows links between them, keeps a
    history for the Back button and hides itself with the Close button. Web links are opened in the
    system's browser by the page view itself and never enter the history.
*/
class KroInlineHelp : public juce::Component
{
public:
    /** The text of the embedded page with this resource name ("help_1_htm"); empty when missing. */
    using PageSource = std::function<juce::String (const juce::String& resourceName)>;

    KroInlineHelp();
    ~KroInlineHelp() override;

    /** Shows the viewer at "help_0.htm" with a fresh history, fading in. */
    void Open();

    /** Shows the page with this name ("help_1.htm") from its top, if it is among the embedded
        pages; otherwise the page on show stays.
    */
    void loadPage (const juce::String& name);

    /** The embedded help pages, looked up in the program's resources. */
    static juce::String embeddedPage (const juce::String& resourceName);

    /** Where pages come from; the embedded resources unless replaced (tests replace it). */
    PageSource pageSource{ embeddedPage };

    KroHtmlTextEdit& getHtmlView() noexcept { return *htmlView; }
    SquareButton& getCloseButton() noexcept { return *closeButton; }
    SquareButton& getBackButton() noexcept { return *backButton; }
    const juce::StringArray& getHistory() const noexcept { return history; }

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    void followLink (const juce::String& target);
    void goBack();
    void updateBackButton();

    std::unique_ptr<KroHtmlTextEdit> htmlView;
    std::unique_ptr<SquareButton> closeButton;
    std::unique_ptr<SquareButton> backButton;
    juce::StringArray history;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KroInlineHelp)
};
