#include "options/AmplifyGroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>

#include "options/NumberSpin.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"

namespace {
constexpr int kLowest = 10;
constexpr int kHighest = 3000;
}  // namespace

AmplifyGroup::AmplifyGroup(QWidget* parent) : QGroupBox(QString::fromUtf8(kSoundHeading), parent) {
    m_on = Named(new QCheckBox(QString::fromUtf8(kAmplifyCheck)), "amplify", kAmplifyCheck);
    m_coefficient = Named(new NumberSpin(kLowest, kHighest, 10), "coefficient", kCoefficientLabel);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_on, 0, 0, 1, 3);
    grid->addWidget(BuddyLabel(kCoefficientLabel, m_coefficient), 1, 0);
    auto* row = new QHBoxLayout;
    row->addWidget(m_coefficient);
    row->addWidget(new QLabel(QString::fromUtf8(kPercent)));
    row->addStretch();
    grid->addLayout(row, 1, 1);
    grid->addWidget(NoteLabel(kAmplifyNote), 0, 2, 2, 1);
    grid->setColumnStretch(2, 1);
    connect(m_on, &QCheckBox::clicked, this, [this] {
        UpdateEnabled();
        m_coefficient->setFocus();
    });
}

void AmplifyGroup::Load(std::int32_t on, std::int32_t coefficient) {
    m_on->setChecked(on != 0);
    m_coefficient->SetNumber(coefficient);
    UpdateEnabled();
}

void AmplifyGroup::Store(std::int32_t& on, std::int32_t& coefficient) const {
    on = m_on->isChecked() ? 1 : 0;
    coefficient = m_coefficient->Number().value_or(coefficient);
}

bool AmplifyGroup::IsValid() const {
    if (!m_on->isChecked()) return true;
    const auto n = m_coefficient->Number();
    return n && *n >= kLowest && *n <= kHighest;
}

QWidget* AmplifyGroup::CoefficientEdit() const {
    return m_coefficient;
}

void AmplifyGroup::UpdateEnabled() {
    m_coefficient->setEnabled(m_on->isChecked());
}
