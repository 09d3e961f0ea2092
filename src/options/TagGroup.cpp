#include "options/TagGroup.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "options/EditTagTemplate.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"

TagGroup::TagGroup(bool mp4Labels, OptionsDialogs& dialogs, QWidget* parent)
    : QGroupBox(QString::fromUtf8(kTagHeading), parent), m_dialogs(dialogs), m_mp4(mp4Labels) {
    const char* texts[3] = {kTagAdd, mp4Labels ? kMp4TagTransfer : kTagTransfer,
                            mp4Labels ? kMp4TagNone : kTagNone};
    const char* names[3] = {"tagAdd", "tagTransfer", "tagNone"};
    const char* editText = mp4Labels ? kMp4TagEdit : kTagEdit;
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* buttons = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_buttons[i] = Named(new QRadioButton(QString::fromUtf8(texts[i])), names[i], texts[i]);
        buttons->addWidget(m_buttons[i]);
        connect(m_buttons[i], &QRadioButton::clicked, this, [this, i] {
            UpdateEnabled();
            emit ChoiceChanged(i);
        });
    }
    row->addLayout(buttons);
    m_edit = Named(new QPushButton(QString::fromUtf8(editText)), "tagEdit", editText);
    row->addWidget(m_edit, 0, Qt::AlignTop);
    row->addStretch();
    column->addLayout(row);
    m_extra = new QVBoxLayout;
    column->addLayout(m_extra);
    connect(m_edit, &QPushButton::clicked, this,
            [this] { EditTagTemplate(this, m_template, !m_mp4, m_dialogs); });
}

void TagGroup::Load(std::int32_t choice, const TagTemplate& tmpl) {
    m_loadedChoice = choice;
    m_template = tmpl;
    CheckOnly(m_buttons, choice);
    UpdateEnabled();
}

void TagGroup::Store(std::int32_t& choice, TagTemplate& tmpl) const {
    choice = Choice();
    tmpl = m_template;
}

int TagGroup::Choice() const {
    const int checked = CheckedIndex(m_buttons);
    return checked >= 0 ? checked : m_loadedChoice;
}

void TagGroup::UpdateEnabled() {
    m_edit->setEnabled(Choice() == 0);
}
