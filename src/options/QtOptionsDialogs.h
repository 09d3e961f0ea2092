#pragma once
#include <functional>

#include "options/OptionsDialogs.h"

/// The sheet's dialogs as Qt's message boxes and folder browser, and the desktop's "open".
class QtOptionsDialogs final : public OptionsDialogs {
public:
    /// Folders open through `openFolder` where given (the window's guarded opener), else straight
    /// through the desktop.
    explicit QtOptionsDialogs(std::function<int(const std::string&)> openFolder = {})
        : m_openFolder(std::move(openFolder)) {}
    void ShowInformation(QWidget* parent, const std::string& text) override;
    void ShowWarning(QWidget* parent, const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& text) override;
    std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title,
                                               const std::string& initial) override;
    int OpenFolder(const std::string& folder) override;
    int OpenInBrowser(const std::string& address) override;

private:
    std::function<int(const std::string&)> m_openFolder;
};

/// Qt's folder browser, for the sheet and the window alike: starts at `initial` (texts in the system
/// code page); the chosen folder with a trailing "/", or nothing when cancelled.
std::optional<std::string> BrowseForFolderWithQt(QWidget* parent, const std::string& title,
                                                 const std::string& initial);
