#pragma once
#include <cstdint>
#include <string>

/// Whether `value` is one the numeric option `name` may hold: loading keeps the default instead of a
/// stored value outside it, and --set refuses one. `name` is a stored value name ("WAVSampleRate"), or a
/// tag template's number ("CustomTrackNum"); an option without a range here takes any value.
bool OptionInRange(const std::string& name, std::int32_t value);

/// The values `name` may hold in words ("from 0 to 255", "one of 0, 8000, 11025"); "" without a range.
std::string OptionRangeText(const std::string& name);
