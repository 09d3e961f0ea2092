#include "options/COptOpusPage.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

namespace {

template <std::size_t N>
void FillTexts(QComboBox* list, const char* const (&texts)[N]) {
    for (std::size_t i = 0; i < N; ++i) list->addItem(QString::fromUtf8(texts[i]), int(i));
}

}  // namespace

COptOpusPage::COptOpusPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_bitRate = Named(new QComboBox, "bitRate", kBitRateLabel);
    m_bitRate->addItem(QString::fromUtf8(kOpusAutoBitRate), 0);
    FillValues(m_bitRate, {6, 8, 12, 16, 24, 32, 48, 64, 80, 96, 112, 128, 160, 192, 256, 320, 384, 450, 510},
               kKbpsEntry, false);
    m_mode = Named(new QComboBox, "mode", kOpusModeLabel);
    FillTexts(m_mode, kOpusModes);
    m_complexity = Named(new QComboBox, "complexity", kOpusComplexityLabel);
    for (int i = 0; i < 10; ++i) m_complexity->addItem(QString::number(i), i);
    m_complexity->addItem(QString::fromUtf8(kOpusComplexityBest), 10);
    m_signal = Named(new QComboBox, "signal", kOpusSignalLabel);
    FillTexts(m_signal, kOpusSignals);
    m_channels = Named(new QComboBox, "channels", kChannelsListLabel);
    m_channels->addItem(QString::fromUtf8(kSameAsSource), 0);
    m_channels->addItem(QString::fromUtf8(kMonoEntry), 1);
    m_tags = new TagGroup(false, dialogs);
    m_amplify = new AmplifyGroup;

    auto* encoding = new QGroupBox;
    auto* grid = new QGridLayout(encoding);
    const std::pair<const char*, QComboBox*> rows[] = {{kBitRateLabel, m_bitRate},
                                                       {kOpusModeLabel, m_mode},
                                                       {kOpusComplexityLabel, m_complexity},
                                                       {kOpusSignalLabel, m_signal},
                                                       {kChannelsListLabel, m_channels}};
    for (int i = 0; i < int(std::size(rows)); ++i) {
        grid->addWidget(BuddyLabel(rows[i].first, rows[i].second), i, 0);
        grid->addWidget(rows[i].second, i, 1);
    }
    grid->addWidget(NoteLabel(kOpusRateNote), int(std::size(rows)), 0, 1, 3);
    grid->setColumnStretch(2, 1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(encoding);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();
}

void COptOpusPage::LoadFrom(const ConversionSettings& s) {
    // A bit rate set on the command line that the list lacks is kept as an entry of its own.
    if (m_bitRate->findData(s.OpusBitRate) < 0)
        m_bitRate->addItem(QString::fromUtf8(kKbpsEntry).arg(s.OpusBitRate), s.OpusBitRate);
    SelectValue(m_bitRate, s.OpusBitRate);
    SelectValue(m_mode, s.OpusRateControl);
    SelectValue(m_complexity, s.OpusComplexity);
    SelectValue(m_signal, s.OpusSignal);
    SelectValue(m_channels, s.OpusChannels);
    m_tags->Load(s.OpusID3TagType, s.OpusTag);
    m_amplify->Load(s.AmplifyOpus, s.AmplifyOpusCoeff);
}

void COptOpusPage::StoreTo(ConversionSettings& s) const {
    s.OpusBitRate = SelectedValue(m_bitRate);
    s.OpusRateControl = SelectedValue(m_mode);
    s.OpusComplexity = SelectedValue(m_complexity);
    s.OpusSignal = SelectedValue(m_signal);
    s.OpusChannels = SelectedValue(m_channels);
    m_tags->Store(s.OpusID3TagType, s.OpusTag);
    m_amplify->Store(s.AmplifyOpus, s.AmplifyOpusCoeff);
}

bool COptOpusPage::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
