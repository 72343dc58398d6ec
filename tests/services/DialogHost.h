#pragma once

#include "pages/KroDialogWindow.h"

#include <vector>

/** The editor's stand-in for the version-check tests: a window holding the hidden message dialog.
    Every Open brings the dialog to the front, so each opening is recorded with its time and texts.
*/
class DialogHost : private juce::ComponentListener
{
public:
    struct Opening
    {
        double timeMs;
        juce::String title, message;
    };

    DialogHost()
    {
        window.setSize (800, 580);
        window.addChildComponent (dialog);
        dialog.addComponentListener (this);
    }

    ~DialogHost() override { dialog.removeComponentListener (this); }

    juce::Component window;
    KroDialogWindow dialog;
    std::vector<Opening> openings;

private:
    void componentBroughtToFront (juce::Component&) override
    {
        openings.push_back ({ juce::Time::getMillisecondCounterHiRes(), dialog.getTitle(), dialog.getMessage() });
    }
};
