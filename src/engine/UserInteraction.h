#pragma once
#include <string>

/// The engine's dealings with the person and the desktop. The window, the command-line converter
/// and the tests each implement it; every message carries the caption kMessageCaption.
class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    /// A question with Yes and No (question icon); true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    /// A notice that there is nothing to do (information icon).
    virtual void ShowInformation(const std::string& text) = 0;
    /// Invalid input or a failure (exclamation icon).
    virtual void ShowWarning(const std::string& text) = 0;

    /// Opens a file or folder with the desktop's default program; 1/0.
    virtual int OpenPath(const std::string& fileOrFolder) = 0;
    /// Opens a web address in the browser; 1/0.
    virtual int OpenInBrowser(const std::string& address) = 0;
    /// Shows the file selected in the file manager; 1/0.
    virtual int SelectInExplorer(const std::string& path) = 0;
};
