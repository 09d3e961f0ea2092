#pragma once
#include <cstdint>
#include <string>

class StoreKey;

/// Reads a value as four bytes straight into field, whatever its stored type (a shorter value
/// replaces only the low bytes); a missing or longer value leaves field as it was.
void ReadDwordInto(const StoreKey& key, const std::string& name, std::int32_t& field);

/// Reads a value through a buffer of capacity bytes and takes the text up to its first zero.
/// False (text unchanged) when the value is missing or does not fit.
bool ReadTextInto(const StoreKey& key, const std::string& name, std::uint32_t capacity, std::string& text);
