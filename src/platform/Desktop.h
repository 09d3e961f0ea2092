#pragma once
#include <string>

/// The programs the desktop operations start; tests point them at stand-ins.
struct DesktopTools {
    std::string opener = "xdg-open";
    std::string gdbus = "gdbus";
    std::string dbusSend = "dbus-send";
};

/// "Open" of a file, folder or address with the user's default program; 1 when the opener
/// started and did not report failure. The target is one argument: no shell ever sees it.
int ShellOpen(const std::string& target, const DesktopTools& tools = {});

/// Opens a web address in the user's browser; 1/0 as ShellOpen.
int OpenInBrowser(const std::string& address, const DesktopTools& tools = {});

/// Shows the file selected in the file manager (D-Bus FileManager1.ShowItems); when no file
/// manager answers, opens the containing folder instead. 1 when either worked.
int SelectInExplorer(const std::string& path, const DesktopTools& tools = {});

/// "file://" URI of an absolute path, every byte outside the unreserved set and "/" escaped.
std::string FileUri(const std::string& absolutePath);
