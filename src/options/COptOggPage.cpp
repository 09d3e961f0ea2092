#include "options/COptOggPage.h"

#include <QVBoxLayout>

#include "engine/EncoderRates.h"
#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/PresetControls.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

COptOggPage::COptOggPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_encoding = new PresetControls(
        {kOggPresets,
         {{11025, 16, 1}, {22050, 32, 2}, {32000, 96, 2}, {44100, 128, 2}},
         {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320, 400, 480},
         kBitRateLabel,
         kKbpsEntry,
         {{kStereo, "stereo", 2}, {kMono, "mono", 1}, {kSameChannels, "sameChannels", 0}}});
    m_tags = new TagGroup(false, dialogs);
    m_amplify = new AmplifyGroup;
    auto* page = new QVBoxLayout(this);
    page->addWidget(m_encoding);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();

    connect(m_encoding, &PresetControls::RateChosen, this, &COptOggPage::ApplyBounds);
    connect(m_encoding, &PresetControls::BitsChosen, this, &COptOggPage::ApplyBounds);
    connect(m_encoding, &PresetControls::ChannelChosen, this, [this] {
        ApplyBounds();
        m_encoding->SwitchToCustom();
    });
}

void COptOggPage::ApplyBounds() {
    const int rate = m_encoding->Rate();
    const int kbps = m_encoding->Bits();
    const int channel = m_encoding->Channel();
    if (rate == 0 || kbps == 0 || channel == 0) return;
    // The bit rates the Vorbis encoder accepts at this rate and channel count.
    m_encoding->ShowBits(ClampVorbisBitrate(rate, channel, kbps));
    m_encoding->SwitchToCustom();
    m_encoding->Record();
}

void COptOggPage::LoadFrom(const ConversionSettings& s) {
    m_encoding->Load(s.AutoDestOGGEncodingParam, s.OGGSampleRate, s.OGGBitRate, s.OGGChannels);
    m_tags->Load(s.OGGID3TagType, s.OGGTag);
    m_amplify->Load(s.AmplifyOGG, s.AmplifyOGGCoeff);
}

void COptOggPage::StoreTo(ConversionSettings& s) const {
    m_encoding->Store(s.AutoDestOGGEncodingParam, s.OGGSampleRate, s.OGGBitRate, s.OGGChannels);
    m_tags->Store(s.OGGID3TagType, s.OGGTag);
    m_amplify->Store(s.AmplifyOGG, s.AmplifyOGGCoeff);
}

bool COptOggPage::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
