#pragma once

#include "AsyncCheckUpdate.h"
#include "CheckUpdate.h"
#include "pages/KroDialogWindow.h"

#include <memory>
#include <vector>

/** Starts version checks and shows their outcome in the message dialog under "Version check".

    The processor owns one checker for its whole life, so it serves every editor the processor
    creates; each editor hands it its dialog and takes it back (nullptr) before the dialog goes.
    A result that arrives without a dialog is dropped. At most one check reports at a time: a new
    check replaces a running one, which then never reports.

    Message thread only.
*/
class UpdateChecker
{
public:
    static constexpr const char* defaultBaseAddress = UpdateCheck::defaultBaseAddress;
    static constexpr const char* supportSiteAddress = UpdateCheck::supportSiteAddress;
    static constexpr const char* dialogTitle = "Version check";
    static constexpr const char* failureMessage = "The version check failed. Please try again later.";

    /** How long the destructor waits for running requests to end after cancelling them. */
    static constexpr int shutdownWaitMs = 4000;

    explicit UpdateChecker (juce::String baseAddress = defaultBaseAddress);
    ~UpdateChecker();

    /** The dialog results are shown in; nullptr when the editor that owns it goes. */
    void setDialog (KroDialogWindow* dialog);

    /** The user's check: its outcome is always shown, a failure included. */
    void doAsyncUpdateCheck();

    /** A background check, at most once a week (UpdateCheckSchedule) and only when automatic
        checks are enabled; it speaks only to announce a newer version and never replaces a running
        check.
    */
    void checkAutomaticallyIfDue();

    /** Off until enabled; the processor enables automatic checks in the standalone application only. */
    void setAutomaticChecksEnabled (bool shouldBeEnabled) noexcept { automaticChecksEnabled = shouldBeEnabled; }
    bool areAutomaticChecksEnabled() const noexcept { return automaticChecksEnabled; }

    /** True while a started check has not yet delivered its result. */
    bool isCheckPending() const noexcept;

private:
    enum class Kind
    {
        user,
        automatic
    };

    void start (Kind kind);
    void show (Kind kind, int result, const juce::String& message);
    void retire (std::unique_ptr<AsyncCheckUpdate> check);
    void disposeFinishedChecks();

    const juce::String baseAddress;
    juce::Component::SafePointer<KroDialogWindow> dialog;
    std::unique_ptr<AsyncCheckUpdate> current;
    std::vector<std::unique_ptr<AsyncCheckUpdate>> abandoned; // replaced checks whose threads still run
    bool automaticChecksEnabled = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateChecker)
};
