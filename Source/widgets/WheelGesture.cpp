#include "WheelGesture.h"

WheelGesture::~WheelGesture()
{
    stopTimer();
}

void WheelGesture::touch()
{
    if (! open)
    {
        open = true;
        if (onStart)
            onStart();
    }

    startTimer (pauseMs);
}

void WheelGesture::finish()
{
    stopTimer();

    if (! open)
        return;

    open = false;
    if (onEnd)
        onEnd();
}

void WheelGesture::forget()
{
    stopTimer();
    open = false;
}
