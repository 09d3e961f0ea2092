#include "app/DesktopActions.h"

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>
#include <filesystem>

#include "app/AppTexts.h"
#include "app/Dialogs.h"
#include "options/QtOptionsDialogs.h"
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

// logind keeps the system awake while the descriptor it handed out stays open.
class InhibitorLock final : public DesktopActions::SleepLock {
public:
    explicit InhibitorLock(int fd) : m_fd(fd) {}
    ~InhibitorLock() override { ::close(m_fd); }
    InhibitorLock(const InhibitorLock&) = delete;
    InhibitorLock& operator=(const InhibitorLock&) = delete;

private:
    int m_fd;
};

}  // namespace

void SystemDesktop::Notify(const std::string& summary, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusInterface notifications("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                 "org.freedesktop.Notifications", bus);
    if (!notifications.isValid()) return;
    notifications.call(QDBus::NoBlock, "Notify", QString::fromUtf8(kWindowTitle), 0u, QString("wavelorn"),
                       QString::fromStdString(summary), QString::fromStdString(body), QStringList(),
                       QVariantMap(), -1);
}

std::unique_ptr<DesktopActions::SleepLock> SystemDesktop::InhibitSleep(const std::string& why) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return nullptr;
    QDBusInterface logind("org.freedesktop.login1", "/org/freedesktop/login1",
                          "org.freedesktop.login1.Manager", bus);
    if (!logind.isValid()) return nullptr;
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        logind.call("Inhibit", QString("sleep"), QString::fromUtf8(kWindowTitle), QString::fromStdString(why),
                    QString("block"));
    if (!reply.isValid() || !reply.value().isValid()) return nullptr;
    const int fd = ::dup(reply.value().fileDescriptor());  // the reply's copy closes with it
    return fd >= 0 ? std::make_unique<InhibitorLock>(fd) : nullptr;
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

std::unique_ptr<OptionsDialogs> MakeOptionsDialogs(DesktopActions& desktop, Dialogs& dialogs) {
    return std::make_unique<QtOptionsDialogs>([&desktop, &dialogs](const std::string& folder) {
        return OpenFolder(desktop, dialogs, QApplication::activeWindow(), folder);
    });
}
