#include "ValueLaws.h"

#include "ParameterIndex.h"

#include <algorithm>

namespace
{
    /** Keeps a huge normalised value from overflowing the conversion to a whole number. */
    float wholeNumberRange (float x) noexcept
    {
        return std::clamp (x, -1.0e6f, 1.0e6f);
    }
} // namespace

ValueLaws::Law ValueLaws::lawOf (int index) noexcept
{
    if (index < 0 || index >= ParameterIndex::count)
        return Law::none;
    if (index == ParameterIndex::eqActive)
        return Law::onOff;
    if (index == ParameterIndex::level)
        return Law::level;
    if (index == ParameterIndex::loPass || index == ParameterIndex::hiPass)
        return Law::frequency;
    if (index == ParameterIndex::preampType)
        return Law::preamp;

    for (int band = 0; band < 4; ++band)
    {
        if (index == ParameterIndex::bandFrequency (band))
            return Law::frequency;
        if (index == ParameterIndex::bandGain (band))
            return Law::gain;
        if (index == ParameterIndex::bandQ (band))
            return Law::q;
        if (index == ParameterIndex::bandActive (band))
            return Law::onOff;
        if (index == ParameterIndex::bandType (band))
            return Law::bandType;
    }

    return Law::none;
}

int ValueLaws::bandTypeFromNormalised (float v) noexcept
{
    return (int) wholeNumberRange (2.0f * v);
}

int ValueLaws::preampIndexFromNormalised (float v) noexcept
{
    return (int) wholeNumberRange (8.0f * v);
}

float ValueLaws::unitsFromNormalised (int index, float v) noexcept
{
    switch (lawOf (index))
    {
        case Law::frequency:
            return frequencyFromNormalised (v);
        case Law::gain:
            return gainFromNormalised (v);
        case Law::q:
            return qFromNormalised (v);
        case Law::level:
            return levelFromNormalised (v);
        case Law::bandType:
            return (float) bandTypeFromNormalised (v);
        case Law::preamp:
            return (float) preampIndexFromNormalised (v);
        case Law::onOff:
            return switchFromNormalised (v) ? 1.0f : 0.0f;
        case Law::none:
            break;
    }
    return 0.0f;
}

float ValueLaws::normalisedFromUnits (int index, float units) noexcept
{
    switch (lawOf (index))
    {
        case Law::frequency:
            return normalisedFromFrequency (units);
        case Law::gain:
            return normalisedFromGain (units);
        case Law::q:
            return normalisedFromQ (units);
        case Law::level:
            return normalisedFromLevel (units);
        case Law::bandType:
            return normalisedFromBandType ((int) wholeNumberRange (units));
        case Law::preamp:
            return normalisedFromPreampIndex ((int) wholeNumberRange (units));
        case Law::onOff:
            return normalisedFromSwitch (units != 0.0f);
        case Law::none:
            break;
    }
    return 0.0f;
}

float ValueLaws::unitsOf (const EQParameters& p, int index) noexcept
{
    if (index < 0 || index >= ParameterIndex::count)
        return 0.0f;
    if (index == ParameterIndex::eqActive)
        return (float) p.eqActive;
    if (index == ParameterIndex::level)
        return p.level;
    if (index == ParameterIndex::loPass)
        return p.loPassFreq;
    if (index == ParameterIndex::hiPass)
        return p.hiPassFreq;
    if (index == ParameterIndex::preampType)
        return (float) p.preampType;

    for (int band = 0; band < 4; ++band)
    {
        const auto& b = p.band[band];
        if (index == ParameterIndex::bandFrequency (band))
            return b.frequency;
        if (index == ParameterIndex::bandGain (band))
            return b.gain;
        if (index == ParameterIndex::bandQ (band))
            return b.q;
        if (index == ParameterIndex::bandActive (band))
            return (float) b.active;
        if (index == ParameterIndex::bandType (band))
            return (float) b.type;
    }

    return 0.0f;
}
