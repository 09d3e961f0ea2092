#pragma once
#include "options/OptionsDialogs.h"

/// The sheet's dialogs as Qt's message boxes and folder browser, and the desktop's "open".
class QtOptionsDialogs final : public OptionsDialogs {
public:
    void ShowInformation(QWidget* parent, const std::string& text) override;
    void ShowWarning(QWidget* parent, const std::string& text) override;
    bool AskYesNo(QWidget* parent, const std::string& text) override;
    std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title,
                                               const std::string& initial) override;
    int OpenFolder(const std::string& folder) override;
    int OpenInBrowser(const std::string& address) override;
};
