#pragma once
#include <QGroupBox>
#include <cstdint>

#include "settings/TagTemplate.h"

class OptionsDialogs;
class QPushButton;
class QRadioButton;
class QBoxLayout;

/// The "ID3 tag" section of a format page: the tag choice and the page's own copy of its template.
class TagGroup final : public QGroupBox {
    Q_OBJECT
public:
    /// mp4Labels: the MP4 page's mnemonics, and its template has no copyright row.
    TagGroup(bool mp4Labels, OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void Load(std::int32_t choice, const TagTemplate& tmpl);
    /// A choice that no button stands for stays as loaded.
    void Store(std::int32_t& choice, TagTemplate& tmpl) const;
    /// 0 add, 1 transfer, 2 none; the loaded value when no button is checked.
    int Choice() const;
    /// Where a page adds controls of its own below the buttons.
    QBoxLayout* Extra() const { return m_extra; }

signals:
    void ChoiceChanged(int choice);

private:
    void UpdateEnabled();
    OptionsDialogs& m_dialogs;
    bool m_mp4;
    QRadioButton* m_buttons[3];
    QPushButton* m_edit;
    QBoxLayout* m_extra;
    TagTemplate m_template;
    std::int32_t m_loadedChoice = 0;
};
