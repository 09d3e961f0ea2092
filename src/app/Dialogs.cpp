#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/AppTexts.h"
#include "options/QtOptionsDialogs.h"
#include "options/QtText.h"

namespace {

// Patterns of a filter use ";" between them; Qt wants blanks.
QString QtFilter(const std::string& filter) {
    QString f = FromSystemText(filter);
    const auto open = f.indexOf('(');
    if (open >= 0) f = f.left(open) + f.mid(open).replace(';', ' ');
    return f;
}

}  // namespace

std::optional<std::vector<std::string>> QtDialogs::OpenFiles(QWidget* owner,
                                                             const std::vector<std::string>& filters) {
    QStringList list;
    for (const auto& f : filters) list << QtFilter(f);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(list);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!list.isEmpty()) dialog.selectNameFilter(list.front());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> paths;
    for (const auto& f : dialog.selectedFiles()) paths.push_back(ToSystemText(f));
    if (paths.empty()) return std::nullopt;
    return paths;
}

std::optional<std::string> QtDialogs::BrowseForFolder(QWidget* owner, const std::string& title,
                                                      const std::string& initial) {
    return BrowseForFolderWithQt(owner, title, initial);
}

bool QtDialogs::Message(QWidget* owner, MessageIcon icon, const std::string& text) {
    const QString caption = kWindowTitle;
    switch (icon) {
        case MessageIcon::Information:
            QMessageBox::information(owner, caption, FromSystemText(text));
            return false;
        case MessageIcon::Warning:
            QMessageBox::warning(owner, caption, FromSystemText(text));
            return false;
        case MessageIcon::Stop:
            QMessageBox::critical(owner, caption, FromSystemText(text));
            return false;
        case MessageIcon::Question:
            return QMessageBox::question(owner, caption, FromSystemText(text),
                                         QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::Yes) == QMessageBox::Yes;
    }
    return false;
}

void QtDialogs::About(QWidget* owner, const std::string& text) {
    QMessageBox::about(owner, QString("About ") + kWindowTitle, FromSystemText(text));
}
