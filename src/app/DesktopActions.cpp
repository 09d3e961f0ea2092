#include "app/DesktopActions.h"

#include "platform/Desktop.h"

int SystemDesktop::Open(const std::string& fileOrFolder) {
    return ShellOpen(fileOrFolder);
}
int SystemDesktop::OpenInBrowser(const std::string& address) {
    return ::OpenInBrowser(address);
}
int SystemDesktop::SelectInExplorer(const std::string& path) {
    return ::SelectInExplorer(path);
}
