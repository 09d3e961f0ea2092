#pragma once
#include <optional>
#include <string>

class QWidget;

/// The message boxes, folder browser and desktop calls of the Options sheet; tests answer them.
/// Texts are UTF-8; folders are paths in the system code page. Every message has the caption "Wavelorn".
class OptionsDialogs {
public:
    virtual ~OptionsDialogs() = default;
    /// Information icon, OK button.
    virtual void ShowInformation(QWidget* parent, const std::string& text) = 0;
    /// Exclamation icon, OK button.
    virtual void ShowWarning(QWidget* parent, const std::string& text) = 0;
    /// Question icon, Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const std::string& text) = 0;
    /// The folder browser; the chosen folder ends with "/", nullopt when nothing was chosen.
    virtual std::optional<std::string> BrowseForFolder(QWidget* parent, const std::string& title,
                                                       const std::string& initial) = 0;
    /// Opens a folder in the file manager; 1/0.
    virtual int OpenFolder(const std::string& folder) = 0;
    /// Opens a web address in the browser; 1/0.
    virtual int OpenInBrowser(const std::string& address) = 0;
};
