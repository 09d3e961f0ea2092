#pragma once
#include <string>

/// What the window asks of the desktop: open a file, folder or address, show a file in the file
/// manager. 1 when the desktop took the request. Tests record the requests instead.
class DesktopActions {
public:
    virtual ~DesktopActions() = default;
    virtual int Open(const std::string& fileOrFolder) = 0;
    virtual int OpenInBrowser(const std::string& address) = 0;
    virtual int SelectInExplorer(const std::string& path) = 0;
};

/// The desktop of the running session, through xdg-open and the file manager's D-Bus service.
class SystemDesktop final : public DesktopActions {
public:
    int Open(const std::string& fileOrFolder) override;
    int OpenInBrowser(const std::string& address) override;
    int SelectInExplorer(const std::string& path) override;
};
