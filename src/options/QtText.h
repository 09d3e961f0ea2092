#pragma once
#include <QString>
#include <string>

/// Text in the system code page for a widget.
QString FromSystemText(const std::string& text);
/// A widget's text in the system code page; characters the code page lacks become '?'.
std::string ToSystemText(const QString& text);
/// A label text without its mnemonic markers, for accessible names.
QString WithoutMnemonic(const char* text);
