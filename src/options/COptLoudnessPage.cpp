#include "options/COptLoudnessPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/ConversionSettings.h"

namespace {

QComboBox* ScopeList(const char* name, const char* label) {
    auto* list = Named(new QComboBox, name, label);
    list->addItem(QString::fromUtf8(kLoudnessOff), 0);
    list->addItem(QString::fromUtf8(kLoudnessTrack), 1);
    list->addItem(QString::fromUtf8(kLoudnessAlbum), 2);
    return list;
}

}  // namespace

COptLoudnessPage::COptLoudnessPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_replayGain = ScopeList("replayGain", kReplayGainLabel);
    m_normalize = ScopeList("normalize", kNormalizeLabel);
    m_target = Named(new QSpinBox, "normalizeTarget", kNormalizeTargetLabel);
    m_target->setRange(-31, -14);

    auto* group = new QGroupBox(QString::fromUtf8(kLoudnessHeading));
    auto* g = new QGridLayout(group);
    g->addWidget(BuddyLabel(kReplayGainLabel, m_replayGain), 0, 0);
    g->addWidget(m_replayGain, 0, 1, Qt::AlignLeft);
    g->addWidget(NoteLabel(kLoudnessNote), 1, 0, 1, 2);
    g->addWidget(BuddyLabel(kNormalizeLabel, m_normalize), 2, 0);
    g->addWidget(m_normalize, 2, 1, Qt::AlignLeft);
    g->addWidget(BuddyLabel(kNormalizeTargetLabel, m_target), 3, 0);
    g->addWidget(m_target, 3, 1, Qt::AlignLeft);
    g->addWidget(NoteLabel(kNormalizeNote), 4, 0, 1, 2);
    g->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addStretch();

    connect(m_normalize, &QComboBox::currentIndexChanged, this,
            [this] { m_target->setEnabled(SelectedValue(m_normalize) != 0); });
}

void COptLoudnessPage::LoadFrom(const ConversionSettings& s) {
    SelectValue(m_replayGain, s.ReplayGain);
    SelectValue(m_normalize, s.Normalize);
    m_target->setValue(s.NormalizeTarget);
    m_target->setEnabled(s.Normalize != 0);
}

void COptLoudnessPage::StoreTo(ConversionSettings& s) const {
    s.ReplayGain = SelectedValue(m_replayGain);
    s.Normalize = SelectedValue(m_normalize);
    s.NormalizeTarget = m_target->value();
}
