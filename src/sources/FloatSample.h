#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

/// A float sample scaled to the 32-bit range, upper 16 bits kept. Values beyond ±1.0 clip
/// instead of wrapping; NaN becomes silence.
inline std::int16_t FloatToSample(double value) {
    if (std::isnan(value)) return 0;
    const double scaled = std::clamp(value * 2147483647.0, -2147483648.0, 2147483647.0);
    const auto wide = static_cast<std::int32_t>(static_cast<std::int64_t>(scaled));
    return static_cast<std::int16_t>(wide >> 16);
}
