#pragma once
#include <QWidget>

class ConversionSettings;
class OptionsDialogs;

/// One page of the Options sheet. The sheet copies the settings in with LoadFrom before it opens and
/// takes them back with StoreTo only when it closes with OK; a page never touches the store.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    virtual void LoadFrom(const ConversionSettings& s) = 0;  // settings -> widgets
    virtual void StoreTo(ConversionSettings& s) const = 0;   // widgets -> settings
    virtual bool Validate() = 0;                             // false keeps the page open
    /// The sheet makes the page current; the first call may do slow set-up.
    virtual void Activate() {}

protected:
    OptionsDialogs& Dialogs() const { return m_dialogs; }
    /// Shows the invalid-input message, focuses the control and returns false.
    bool Fail(const char* message, QWidget* focus);

private:
    OptionsDialogs& m_dialogs;
};
