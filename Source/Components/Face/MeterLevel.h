#pragma once

#include <algorithm>
#include <cmath>

namespace MeterLevel
{
// A level threshold from its exponent (dB / 20), in single precision.
inline float fromExponent (float exponent)
{
    return std::pow (10.0f, exponent);
}

// A peak as the meters take it: a negative value means that no new peak came,
// and so does a value that is not a number; anything above full scale,
// infinity included, reads as full scale.
inline float sanitisePeak (float peak)
{
    if (! (peak >= 0.0f))
        return -1.0f;
    return std::min (peak, 1.0f);
}
} // namespace MeterLevel
