#pragma once
#include <span>
#include <string>
#include <vector>

/// One option of the window program `wavelorn`; its --help and manual page are made from these.
struct WindowOptionInfo {
    const char* name;      // "--version"
    const char* argument;  // null for a switch
    const char* help;
};
std::span<const WindowOptionInfo> WindowOptionTable();

/// What the window's command line asks for before any window opens.
enum class WindowRequest { Run, Help, Version };

/// --help or --version anywhere before "--" answers instead of opening the window; files and
/// folders (and Qt's own options) leave it to the window.
WindowRequest WindowRequestOf(const std::vector<std::string>& args);

/// The window's --help text.
std::string WindowUsage();
