#pragma once
#include <string>

/// The programs the desktop operations start; tests point them at stand-ins.
struct DesktopTools {
    std::string opener = "xdg-open";
    std::string gdbus = "gdbus";
    std::string dbusSend = "dbus-send";
    std::string mime = "xdg-mime";
    std::string gio = "gio";
};

/// Moves a file to the desktop's trash (the freedesktop.org trash: `gio trash`, else the trash folders
/// written by hand), never deleting it; 1 when it is there.
int MoveToTrash(const std::string& path, const DesktopTools& tools = {});

/// "Open" of a file, folder or address with the user's default program; 1 when the opener
/// started and did not report failure. The target is one argument: no shell ever sees it.
int ShellOpen(const std::string& target, const DesktopTools& tools = {});

/// Opens a web address in the user's browser; 1/0 as ShellOpen.
int OpenInBrowser(const std::string& address, const DesktopTools& tools = {});

/// Shows the file selected in the file manager (D-Bus FileManager1.ShowItems); when no file
/// manager answers, opens the containing folder instead. 1 when either worked.
int SelectInExplorer(const std::string& path, const DesktopTools& tools = {});

/// Asks the file manager over D-Bus to show the file selected; 0 when there is no session bus or
/// no file manager answered. Nothing is printed either way.
int ShowInFileManager(const std::string& path, const DesktopTools& tools = {});

/// True when a session bus can be reached without starting one: its address is set, or the
/// per-user bus socket exists. Without one, D-Bus tools try to launch a bus and complain.
bool HaveSessionBus();

/// The desktop entry ("vlc.desktop") that "open" would start for a file or folder, asked as the
/// opener asks (xdg-mime); empty when none is set up or the type cannot be told.
std::string DefaultHandler(const std::string& fileOrFolder, const DesktopTools& tools = {});

/// Names of this program's desktop entry, the reverse-DNS one and the one of earlier versions.
inline constexpr const char* kOwnDesktopEntries[] = {"org.wavelorn.Wavelorn.desktop", "wavelorn.desktop"};

/// True when `entry` names a program other than this one; false for none.
bool IsOtherProgram(const std::string& entry);

/// "file://" URI of an absolute path, every byte outside the unreserved set and "/" escaped.
std::string FileUri(const std::string& absolutePath);
