#include "Lv2EditForwarder.h"

Lv2EditForwarder::Lv2EditForwarder (juce::AudioProcessor& p, Lv2ControlInputs& c, LV2UI_Write_Function w,
                                    LV2UI_Controller hostController, const LV2UI_Touch* t)
    : processor (p)
    , controls (c)
    , write (w)
    , controller (hostController)
    , touch (t)
{
    processor.addListener (this);
}

Lv2EditForwarder::~Lv2EditForwarder()
{
    processor.removeListener (this);

    // Edits still open when the window closes end now, so the host's touch is never left held.
    for (int i = 0; i < (int) open.size(); ++i)
        if (open[(size_t) i])
            endEdit (i);
}

void Lv2EditForwarder::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value)
{
    if (! isParameter (index) || write == nullptr)
        return;

    const auto portValue = Lv2PortLayout::portValueFromNormalised (index, value);
    lastWritten[(size_t) index] = portValue;
    write (controller, Lv2PortLayout::portOf (index), sizeof (float), 0, &portValue);
}

void Lv2EditForwarder::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    if (! isParameter (index))
        return;

    // An edit that starts again before the previous one was passed on continues it.
    endAskedAt[(size_t) index] = 0;
    if (std::exchange (open[(size_t) index], true))
        return;

    // An edit that ends without a value ends at once.
    lastWritten[(size_t) index] = controls.lastTaken (index);
    controls.setHeldByWindow (index, true);
    if (touch != nullptr && touch->touch != nullptr)
        touch->touch (touch->handle, Lv2PortLayout::portOf (index), true);
}

void Lv2EditForwarder::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    if (! isParameter (index) || ! open[(size_t) index])
        return;

    endAskedAt[(size_t) index] = juce::jmax ((juce::uint32) 1, juce::Time::getMillisecondCounter());
    timerCallback();
    if (endAskedAt[(size_t) index] != 0)
        startTimer (10);
}

void Lv2EditForwarder::timerCallback()
{
    const auto now = juce::Time::getMillisecondCounter();
    bool waiting = false;

    for (int i = 0; i < (int) endAskedAt.size(); ++i)
    {
        const auto askedAt = endAskedAt[(size_t) i];
        if (askedAt == 0)
            continue;

        if (controls.lastTaken (i) == lastWritten[(size_t) i] || now - askedAt >= (juce::uint32) endTimeoutMs)
            endEdit (i);
        else
            waiting = true;
    }

    if (! waiting)
        stopTimer();
}

void Lv2EditForwarder::endEdit (int index)
{
    endAskedAt[(size_t) index] = 0;
    open[(size_t) index] = false;
    controls.setHeldByWindow (index, false);

    if (touch != nullptr && touch->touch != nullptr)
        touch->touch (touch->handle, Lv2PortLayout::portOf (index), false);
}
