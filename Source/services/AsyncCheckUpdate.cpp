#include "AsyncCheckUpdate.h"

AsyncCheckUpdate::AsyncCheckUpdate (const juce::String& baseAddress)
    : juce::Thread ("AsyncCheckUpdate")
    , request (UpdateCheck::requestAddress (baseAddress))
{
}

AsyncCheckUpdate::~AsyncCheckUpdate()
{
    abandon();
    stopThread (100);
    stopTimer();
}

void AsyncCheckUpdate::abandon()
{
    onFinished = nullptr;
    pending = false;
    signalThreadShouldExit();
    request.cancel();
}

void AsyncCheckUpdate::run()
{
    CheckUpdate (result, message, request);
    answeredAtMs = juce::Time::getMillisecondCounterHiRes();

    if (! threadShouldExit())
        startTimer (deliveryDelayMs);
}

void AsyncCheckUpdate::timerCallback()
{
    // The framework's timers may fire a little early; the result is never shown sooner than the delay.
    const auto waitedMs = juce::Time::getMillisecondCounterHiRes() - answeredAtMs;
    if (waitedMs < deliveryDelayMs)
    {
        startTimer (juce::jmax (1, (int) std::ceil (deliveryDelayMs - waitedMs)));
        return;
    }

    stopTimer();
    pending = false;

    if (const auto callback = onFinished; callback != nullptr)
        callback (result, message);
}
