#pragma once
#include <QDialog>

#include "settings/TagTemplate.h"

class NumberSpin;
class OptionsDialogs;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

/// The "Edit ID3 Tag" dialog over a copy of one tag template.
class CEditTagDialog final : public QDialog {
    Q_OBJECT
public:
    CEditTagDialog(const TagTemplate& tmpl, bool showCopyright, OptionsDialogs& dialogs,
                   QWidget* parent = nullptr);
    /// The edited template; meaningful after the dialog was accepted.
    const TagTemplate& Result() const { return m_template; }
    /// Reads and checks the controls; stays open with a message when the track number is no integer
    /// from 0 to 255, even while its edit is disabled.
    void accept() override;

private:
    void UpdateEnabled();
    OptionsDialogs& m_dialogs;
    TagTemplate m_template;
    QRadioButton* m_track[3];
    NumberSpin* m_number;
    QCheckBox* m_titleAsFileName;
    QLineEdit* m_title;
    QLineEdit* m_artist;
    QLineEdit* m_album;
    QLineEdit* m_year;
    QComboBox* m_genre;
    QLineEdit* m_comment;
    QLineEdit* m_composer;
    QLineEdit* m_copyright;
};

/// Shows the dialog on a copy of `tmpl`, with the copyright row only when showCopyright is set. OK copies
/// every field back and returns 1; Cancel or the close box leave `tmpl` as it was and return 0.
int EditTagTemplate(QWidget* owner, TagTemplate& tmpl, bool showCopyright, OptionsDialogs& dialogs);
