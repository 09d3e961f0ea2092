#include "app/DesktopActions.h"

#include <filesystem>

#include "app/AppTexts.h"
#include "app/Dialogs.h"
#include "platform/Desktop.h"
#include "platform/StringPrintf.h"

int SystemDesktop::Open(const std::string& fileOrFolder) {
    return ShellOpen(fileOrFolder);
}
int SystemDesktop::OpenInBrowser(const std::string& address) {
    return ::OpenInBrowser(address);
}
int SystemDesktop::ShowInFileManager(const std::string& path) {
    return ::ShowInFileManager(path);
}
std::string SystemDesktop::HandlerOf(const std::string& fileOrFolder) {
    return DefaultHandler(fileOrFolder);
}

namespace {

int OpenWithOtherProgram(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& target,
                         const char* noProgramText) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) {
        dialogs.Message(owner, MessageIcon::Warning, StringPrintf(kCannotOpen, target.c_str()));
        return 0;
    }
    // Where no other program claims the type the desktop falls back to any entry that lists it,
    // ours included.
    if (!IsOtherProgram(desktop.HandlerOf(target))) {
        dialogs.Message(owner, MessageIcon::Warning, StringPrintf(noProgramText, target.c_str()));
        return 0;
    }
    if (desktop.Open(target)) return 1;
    dialogs.Message(owner, MessageIcon::Warning, StringPrintf(kCannotOpen, target.c_str()));
    return 0;
}

}  // namespace

int PlayFile(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& path) {
    return OpenWithOtherProgram(desktop, dialogs, owner, path, kNoPlayer);
}

int OpenFolder(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& folder) {
    return OpenWithOtherProgram(desktop, dialogs, owner, folder, kNoFileManager);
}

int BrowseToFile(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& path) {
    if (desktop.ShowInFileManager(path)) return 1;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return OpenFolder(desktop, dialogs, owner, absolute.lexically_normal().parent_path().string());
}

int OpenAddress(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& address) {
    if (desktop.OpenInBrowser(address)) return 1;
    dialogs.Message(owner, MessageIcon::Warning, StringPrintf(kNoBrowser, address.c_str()));
    return 0;
}
