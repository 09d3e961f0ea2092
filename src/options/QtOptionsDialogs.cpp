#include "options/QtOptionsDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "engine/EngineTexts.h"
#include "options/QtText.h"
#include "platform/Desktop.h"

void QtOptionsDialogs::ShowInformation(QWidget* parent, const std::string& text) {
    QMessageBox::information(parent, QString::fromUtf8(kMessageCaption), QString::fromStdString(text));
}

void QtOptionsDialogs::ShowWarning(QWidget* parent, const std::string& text) {
    QMessageBox::warning(parent, QString::fromUtf8(kMessageCaption), QString::fromStdString(text));
}

bool QtOptionsDialogs::AskYesNo(QWidget* parent, const std::string& text) {
    return QMessageBox::question(parent, QString::fromUtf8(kMessageCaption), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> BrowseForFolderWithQt(QWidget* parent, const std::string& title,
                                                 const std::string& initial) {
    QString start = FromSystemText(initial);
    while (start.size() > 1 && start.endsWith(u'/')) start.chop(1);
    const QString chosen = QFileDialog::getExistingDirectory(parent, QString::fromUtf8(title), start);
    if (chosen.isEmpty()) return std::nullopt;
    std::string folder = ToSystemText(chosen);
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::optional<std::string> QtOptionsDialogs::BrowseForFolder(QWidget* parent, const std::string& title,
                                                             const std::string& initial) {
    return BrowseForFolderWithQt(parent, title, initial);
}

int QtOptionsDialogs::OpenFolder(const std::string& folder) {
    return m_openFolder ? m_openFolder(folder) : ShellOpen(folder);
}

int QtOptionsDialogs::OpenInBrowser(const std::string& address) {
    return ::OpenInBrowser(address);
}
