#include "CheckUpdate.h"

#include "VersionRequest.h"

juce::URL UpdateCheck::requestAddress (const juce::String& baseAddress)
{
    return juce::URL (baseAddress + requestPath + productId);
}

void CheckUpdate (int& result, juce::String& message, const juce::String& baseAddress)
{
    VersionRequest request (UpdateCheck::requestAddress (baseAddress));
    CheckUpdate (result, message, request);
}

void CheckUpdate (int& result, juce::String& message, VersionRequest& request)
{
    const auto answer = request.fetchAnswer();
    result = UpdateCheck::noAnswer;

    if (answer.isEmpty())
        return;

    if (answer.compareNatural (UpdateCheck::currentVersion) > 0)
    {
        result = UpdateCheck::newerVersion;
        message = "A new update is available (version: " + answer + ").";
    }
    else
    {
        result = UpdateCheck::upToDate;
        message = "You're up to date.\nVersion: " + answer;
    }
}
