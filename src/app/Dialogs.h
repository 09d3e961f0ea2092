#pragma once
#include <optional>
#include <string>
#include <vector>

class QWidget;

/// Icon of a message box; each message carries the caption "Wavelorn".
enum class MessageIcon { Information, Warning, Question, Stop };

/// Qt's own dialogs and message boxes as the window uses them; tests answer them in a line.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// The open-file dialog with several files selectable; nothing when cancelled.
    virtual std::optional<std::vector<std::string>> OpenFiles(QWidget* owner,
                                                              const std::vector<std::string>& filters) = 0;
    /// The folder browser starting at `initial`; the chosen folder with a trailing "/", or nothing.
    virtual std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& title,
                                                       const std::string& initial) = 0;
    /// A message with an OK button, or with Yes and No for MessageIcon::Question; true for Yes.
    virtual bool Message(QWidget* owner, MessageIcon icon, const std::string& text) = 0;
    virtual void About(QWidget* owner, const std::string& text) = 0;
};

/// The dialogs as Qt shows them.
class QtDialogs final : public Dialogs {
public:
    std::optional<std::vector<std::string>> OpenFiles(QWidget* owner,
                                                      const std::vector<std::string>& filters) override;
    std::optional<std::string> BrowseForFolder(QWidget* owner, const std::string& title,
                                               const std::string& initial) override;
    bool Message(QWidget* owner, MessageIcon icon, const std::string& text) override;
    void About(QWidget* owner, const std::string& text) override;
};
