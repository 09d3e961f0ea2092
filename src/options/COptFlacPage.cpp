#include "options/COptFlacPage.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

COptFlacPage::COptFlacPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_level = Named(new QComboBox, "level", kFlacLevelLabel);
    for (std::size_t i = 0; i < std::size(kFlacLevels); ++i)
        m_level->addItem(QString::fromUtf8(kFlacLevels[i]), int(i));
    m_bits = Named(new QComboBox, "bits", kBitsLabel);
    m_bits->addItem(QString::fromUtf8(kFlacSameBits), 0);
    FillValues(m_bits, {16, 24}, kBitsEntry, false);
    m_rate = Named(new QComboBox, "rate", kRateLabel);
    FillValues(m_rate,
               {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000},
               kHzEntry);
    m_channels = Named(new QComboBox, "channels", kChannelsListLabel);
    m_channels->addItem(QString::fromUtf8(kSameAsSource), 0);
    m_channels->addItem(QString::fromUtf8(kMonoEntry), 1);
    m_tags = new TagGroup(false, dialogs);
    m_amplify = new AmplifyGroup;

    auto* encoding = new QGroupBox;
    auto* grid = new QGridLayout(encoding);
    const std::pair<const char*, QComboBox*> rows[] = {{kFlacLevelLabel, m_level},
                                                       {kBitsLabel, m_bits},
                                                       {kRateLabel, m_rate},
                                                       {kChannelsListLabel, m_channels}};
    for (int i = 0; i < int(std::size(rows)); ++i) {
        grid->addWidget(BuddyLabel(rows[i].first, rows[i].second), i, 0);
        grid->addWidget(rows[i].second, i, 1);
    }
    grid->setColumnStretch(2, 1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(encoding);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();
}

void COptFlacPage::LoadFrom(const ConversionSettings& s) {
    SelectValue(m_level, s.FLACCompression);
    SelectValue(m_bits, s.FLACBitsPerSample);
    SelectValue(m_rate, s.FLACSampleRate);
    SelectValue(m_channels, s.FLACChannels);
    m_tags->Load(s.FLACID3TagType, s.FLACTag);
    m_amplify->Load(s.AmplifyFLAC, s.AmplifyFLACCoeff);
}

void COptFlacPage::StoreTo(ConversionSettings& s) const {
    s.FLACCompression = SelectedValue(m_level);
    s.FLACBitsPerSample = SelectedValue(m_bits);
    s.FLACSampleRate = SelectedValue(m_rate);
    s.FLACChannels = SelectedValue(m_channels);
    m_tags->Store(s.FLACID3TagType, s.FLACTag);
    m_amplify->Store(s.AmplifyFLAC, s.AmplifyFLACCoeff);
}

bool COptFlacPage::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
