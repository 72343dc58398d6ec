// Shows arbitrary markup in the mini-HTML view and checks that its runs and links describe the
// text it shows: in order, without gaps, and inside the text.

#include "FuzzSupport.h"
#include "pages/KroHtmlTextEdit.h"

namespace
{
    KroHtmlTextEdit* view = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fuzz::startFramework();
    view = new KroHtmlTextEdit(); // lives as long as the run, like the framework
    view->setSize (600, 400);
    view->openWebLink = [] (const juce::String&) {}; // never start a browser
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    view->clearHtml();
    view->appendHtml (juce::String::fromUTF8 (reinterpret_cast<const char*> (data), (int) size));

    const int length = view->getEditor().getTotalNumChars();
    int expectedStart = 0;
    for (const auto& run : view->getRuns())
    {
        fuzz::check (run.start == expectedStart && run.length >= 0, "runs that overlap or leave gaps");
        expectedStart += run.length;
    }
    fuzz::check (expectedStart == length, "runs that do not cover the text");

    for (const auto& link : view->getLinks())
        fuzz::check (0 <= link.start && link.start <= link.end && link.end <= length, "a link outside the text");

    fuzz::deliverPendingMessages();
    return 0;
}
