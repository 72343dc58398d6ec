#include "Lv2ControlInputs.h"

Lv2ControlInputs::Lv2ControlInputs()
{
    // The processor starts at the defaults, which are what the ports start with.
    for (size_t i = 0; i < taken.size(); ++i)
    {
        taken[i].store (Lv2PortLayout::controls()[i].defaultValue);
        heldByWindow[i].store (false);
    }
}

void Lv2ControlInputs::connect (int parameterIndex, const float* port) noexcept
{
    if (parameterIndex >= 0 && parameterIndex < (int) ports.size())
        ports[(size_t) parameterIndex] = port;
}

void Lv2ControlInputs::takeRestored (int parameterIndex, float portValue) noexcept
{
    if (parameterIndex >= 0 && parameterIndex < (int) taken.size())
        taken[(size_t) parameterIndex].store (portValue, std::memory_order_relaxed);
}

float Lv2ControlInputs::lastTaken (int parameterIndex) const noexcept
{
    return parameterIndex >= 0 && parameterIndex < (int) taken.size()
               ? taken[(size_t) parameterIndex].load (std::memory_order_relaxed)
               : 0.0f;
}

void Lv2ControlInputs::setHeldByWindow (int parameterIndex, bool held) noexcept
{
    if (parameterIndex >= 0 && parameterIndex < (int) heldByWindow.size())
        heldByWindow[(size_t) parameterIndex].store (held, std::memory_order_release);
}
