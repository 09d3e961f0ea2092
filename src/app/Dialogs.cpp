#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/AppTexts.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}
std::string S(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

// Patterns of a filter use ";" between them; Qt wants blanks.
QString QtFilter(const std::string& filter) {
    QString f = Q(filter);
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
    for (const auto& f : dialog.selectedFiles()) paths.push_back(S(f));
    if (paths.empty()) return std::nullopt;
    return paths;
}

std::optional<std::string> QtDialogs::BrowseForFolder(QWidget* owner, const std::string& title,
                                                      const std::string& initial) {
    std::string start = initial;
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    const QString chosen = QFileDialog::getExistingDirectory(owner, Q(title), Q(start));
    if (chosen.isEmpty()) return std::nullopt;
    std::string folder = S(chosen);
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool QtDialogs::Message(QWidget* owner, MessageIcon icon, const std::string& text) {
    const QString caption = kWindowTitle;
    switch (icon) {
        case MessageIcon::Information:
            QMessageBox::information(owner, caption, Q(text));
            return false;
        case MessageIcon::Warning:
            QMessageBox::warning(owner, caption, Q(text));
            return false;
        case MessageIcon::Stop:
            QMessageBox::critical(owner, caption, Q(text));
            return false;
        case MessageIcon::Question:
            return QMessageBox::question(owner, caption, Q(text), QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::Yes) == QMessageBox::Yes;
    }
    return false;
}

void QtDialogs::About(QWidget* owner, const std::string& text) {
    QMessageBox::about(owner, QString("About ") + kWindowTitle, Q(text));
}
