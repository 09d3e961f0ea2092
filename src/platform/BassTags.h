#pragma once
// The tags add-on's one operation, stood in for by TagLib.
#include <cstdint>

/// Formats the channel's tags: %TITL %ARTI %ALBM %GNRE %YEAR %CMNT %TRCK %COMP %COPY are
/// replaced, everything else is copied. Texts of MPEG streams are in the system code page,
/// all others UTF-8. Empty when the file has no tags. The text stays valid until the next call.
const char* TAGS_Read(std::uint32_t handle, const char* format);
