#pragma once
#include "app/DesktopActions.h"
#include "app/Dialogs.h"
#include "engine/UserInteraction.h"

/// The engine's questions as the window's message boxes, its desktop requests through the desktop.
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
    int OpenPath(const std::string& fileOrFolder) override { return m_desktop.Open(fileOrFolder); }
    int OpenInBrowser(const std::string& address) override { return m_desktop.OpenInBrowser(address); }
    int SelectInExplorer(const std::string& path) override { return m_desktop.SelectInExplorer(path); }

private:
    Dialogs& m_dialogs;
    DesktopActions& m_desktop;
    QWidget* m_owner = nullptr;
};
