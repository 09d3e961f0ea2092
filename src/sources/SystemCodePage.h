#pragma once
#include <optional>
#include <string>

/// UTF-8 text (not validated; a truncated sequence ends the text) to the codeset of the
/// current locale. Characters the codeset lacks become '?'. Empty when no converter exists.
/// Stand-in used by the Ogg and FFmpeg readers until the shared conversion is in place.
std::optional<std::string> Utf8ToSystemCodePage(const std::string& utf8);
