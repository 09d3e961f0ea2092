#pragma once
#include <filesystem>

#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "engine/UserInteraction.h"

/// The engine's questions as the window's message boxes, its desktop requests as the window's own.
class WindowUserInteraction final : public UserInteraction {
public:
    WindowUserInteraction(Dialogs& dialogs, DesktopActions& desktop)
        : m_dialogs(dialogs), m_desktop(desktop) {}
    /// The window that owns the message boxes; may stay null.
    void SetOwner(QWidget* owner) { m_owner = owner; }

    bool AskYesNo(const std::string& text) override {
        return m_dialogs.Message(m_owner, MessageIcon::Question, text);
    }
    void ShowInformation(const std::string& text) override {
        m_dialogs.Message(m_owner, MessageIcon::Information, text);
    }
    void ShowWarning(const std::string& text) override {
        m_dialogs.Message(m_owner, MessageIcon::Warning, text);
    }
    int OpenPath(const std::string& fileOrFolder) override {
        std::error_code ec;
        return std::filesystem::is_directory(fileOrFolder, ec)
                   ? OpenFolder(m_desktop, m_dialogs, m_owner, fileOrFolder)
                   : PlayFile(m_desktop, m_dialogs, m_owner, fileOrFolder);
    }
    int OpenInBrowser(const std::string& address) override {
        return OpenAddress(m_desktop, m_dialogs, m_owner, address);
    }
    int SelectInExplorer(const std::string& path) override {
        return BrowseToFile(m_desktop, m_dialogs, m_owner, path);
    }

private:
    Dialogs& m_dialogs;
    DesktopActions& m_desktop;
    QWidget* m_owner = nullptr;
};
