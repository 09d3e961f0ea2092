#pragma once
#include <string>

/// Converts zero-terminated UTF-8 text into the system code page. Characters the code page
/// lacks become '?'; a sequence cut short by the end of the text becomes U+FFFD. 0 on success,
/// -1 when the code page cannot be used.
int Utf8ToAnsi(const char* utf8, std::string& ansi);

/// Converts zero-terminated text in the system code page into UTF-8. 0 on success, -1 for an
/// empty text or an unusable code page.
int AnsiToUtf8(const char* ansi, std::string& utf8);
