#pragma once
#include <memory>
#include <string>

class Dialogs;
class OptionsDialogs;
class QWidget;

/// What the window asks of the desktop: open a file, folder or address, show a file in the file
/// manager, tell which program opens a file. 1 when the desktop took the request. Tests record
/// the requests instead.
class DesktopActions {
public:
    virtual ~DesktopActions() = default;
    virtual int Open(const std::string& fileOrFolder) = 0;
    virtual int OpenInBrowser(const std::string& address) = 0;
    /// The file manager on the session bus, asked to show the file selected; 0 when none answers.
    virtual int ShowInFileManager(const std::string& path) = 0;
    /// The desktop entry that Open would start for the file or folder; empty for none.
    virtual std::string HandlerOf(const std::string& fileOrFolder) = 0;

    /// Held while the system must not suspend; releases its lock when destroyed.
    class SleepLock {
    public:
        virtual ~SleepLock() = default;
    };
    /// A desktop notification; nothing where there is no notification service.
    virtual void Notify(const std::string& summary, const std::string& body) {
        (void)summary;
        (void)body;
    }
    /// Keeps the system from suspending until the lock is destroyed; null where nobody grants one.
    virtual std::unique_ptr<SleepLock> InhibitSleep(const std::string& why) {
        (void)why;
        return nullptr;
    }
};

/// The desktop of the running session, through xdg-open, xdg-mime and the file manager's D-Bus
/// service.
class SystemDesktop final : public DesktopActions {
public:
    int Open(const std::string& fileOrFolder) override;
    int OpenInBrowser(const std::string& address) override;
    int ShowInFileManager(const std::string& path) override;
    std::string HandlerOf(const std::string& fileOrFolder) override;
    /// Over the session bus's freedesktop Notifications service.
    void Notify(const std::string& summary, const std::string& body) override;
    /// logind's "sleep" inhibitor lock, over the system bus.
    std::unique_ptr<SleepLock> InhibitSleep(const std::string& why) override;
};

// The window's requests to the desktop. None of them lets the desktop start this program (a
// second window with the file listed): where the desktop would, or has no program at all, a
// message says so. A request the desktop took returns 1; a message follows every 0.

/// Opens a file with the player the desktop has for its type.
int PlayFile(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& path);
/// Opens a folder in the file manager.
int OpenFolder(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& folder);
/// Shows a file selected in the file manager, or else opens its folder.
int BrowseToFile(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& path);
/// Opens a web address in the browser.
int OpenAddress(DesktopActions& desktop, Dialogs& dialogs, QWidget* owner, const std::string& address);

/// The Options sheet's dialogs, its folders opening through OpenFolder above (messages over the
/// active window).
std::unique_ptr<OptionsDialogs> MakeOptionsDialogs(DesktopActions& desktop, Dialogs& dialogs);
