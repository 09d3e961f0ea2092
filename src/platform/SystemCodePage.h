#pragma once
#include <optional>
#include <string>
#include <string_view>

/// The process-wide system code page: an iconv codeset name, by default the codeset of the
/// user's locale. Tests switch it to a single-byte code page such as ISO-8859-1 or CP1252.
std::string SystemCodePage();
void SetSystemCodePage(const std::string& codeset);

/// UTF-16 text into the system code page; a character the code page lacks becomes '?'.
/// Empty when the code page cannot be used.
std::optional<std::string> Utf16ToSystemCodePage(std::u16string_view text);

/// Text in the system code page into UTF-16; bytes that do not decode become U+FFFD.
/// Empty when the code page cannot be used.
std::optional<std::u16string> SystemCodePageToUtf16(std::string_view text);

/// UTF-8 text into the system code page, like Utf16ToSystemCodePage.
std::optional<std::string> Utf8ToSystemCodePage(std::string_view text);
