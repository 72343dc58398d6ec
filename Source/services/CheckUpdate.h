#pragma once

// Update check, the blocking step: CheckUpdate asks the server and compares its answer with this
// version; the constants of the check (product id, addresses, result codes).

#include <juce_core/juce_core.h>

class VersionRequest;

/** What the version check asks and how it answers. */
namespace UpdateCheck
{
    /** The product's id on the maker's server. */
    constexpr const char* productId = "VQX9";

    /** This program's version, compared with the server's answer. */
    constexpr const char* currentVersion = "1.0.0";

    /** Appended to the base address, followed by the product id. */
    constexpr const char* requestPath = "verifyversion.asp?PID=";

    /** The maker's web site; the version request goes to a page below it. */
    constexpr const char* defaultBaseAddress = "https://www.palvenmark.com/";

    /** The support page, opened in the user's browser. */
    constexpr const char* supportSiteAddress = "https://www.palvenmark.com/?a=support";

    /** Result codes. */
    enum Result
    {
        noAnswer = 0,     // the request failed or the answer was empty
        newerVersion = 1, // the server knows a newer version than this one
        upToDate = 2      // the server's version is this one or an older one
    };

    /** The address of the version request below a base address that ends in "/". */
    juce::URL requestAddress (const juce::String& baseAddress);
} // namespace UpdateCheck

/** Asks the server at the base address for the latest version and compares it with this one.

    result becomes one of UpdateCheck::Result. For a newer version the message becomes
    "A new update is available (version: <answer>).", otherwise "You're up to date.\nVersion: <answer>";
    without an answer the message is left as it was. The answer is used as received.

    Blocks for as long as the request takes: never call it on the message thread.
*/
void CheckUpdate (int& result, juce::String& message,
                  const juce::String& baseAddress = UpdateCheck::defaultBaseAddress);

/** The same with a request that another thread may cancel (a cancelled request has no answer). */
void CheckUpdate (int& result, juce::String& message, VersionRequest& request);
