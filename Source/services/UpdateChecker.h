#pragma once

// Update check, the checker the window talks to: starts checks and reports their outcome.

#include "AsyncCheckUpdate.h"
#include "CheckUpdate.h"

#include <functional>
#include <memory>

/** The checker the window talks to: starts version checks (the user's, and the weekly automatic
    one) and reports what the user should read, under the title "Version check", to onOutcome.

    The processor owns one checker for its whole life, so it serves every editor the processor
    creates; each editor sets onOutcome to show the outcome in its message dialog and empties it
    before it goes. An outcome that arrives while onOutcome is empty is dropped. At most one check
    reports at a time: a new check replaces a running one, which then never reports.

    Nothing here waits for the network: a check that is cancelled, replaced or outlived by the
    checker ends on its own thread soon after, and its result is dropped (see AsyncCheckUpdate).

    Message thread only.
*/
class UpdateChecker
{
public:
    static constexpr const char* defaultBaseAddress = UpdateCheck::defaultBaseAddress;
    static constexpr const char* supportSiteAddress = UpdateCheck::supportSiteAddress;
    static constexpr const char* dialogTitle = "Version check";
    static constexpr const char* failureMessage = "The version check failed. Please try again later.";

    explicit UpdateChecker (juce::String baseAddress = defaultBaseAddress);

    /** Cancels a running check; returns at once. */
    ~UpdateChecker();

    /** Where the checks that start from now on ask (the maker's site unless given otherwise). */
    void setBaseAddress (const juce::String& address) { baseAddress = address; }

    /** Receives (title, message) of every outcome the user should see. */
    std::function<void (const juce::String& title, const juce::String& message)> onOutcome;

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

    /** Stops the running check, if any; it never reports. Returns at once. */
    void cancel();

    /** True while a started check has not yet delivered its result. */
    bool isCheckPending() const noexcept;

private:
    enum class Kind
    {
        user,
        automatic
    };

    void start (Kind kind);
    void report (Kind kind, int result, const juce::String& message);

    juce::String baseAddress;
    std::unique_ptr<AsyncCheckUpdate> current;
    bool automaticChecksEnabled = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateChecker)
};
