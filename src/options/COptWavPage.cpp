#include "options/COptWavPage.h"

#include <QVBoxLayout>

#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/PresetControls.h"
#include "settings/ConversionSettings.h"

COptWavPage::COptWavPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_encoding = new PresetControls(
        {kWavPresets,
         {{11025, 8, 1}, {22050, 16, 2}, {32000, 16, 2}, {44100, 16, 2}},
         {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000},
         {8, 16, 24, 32},
         kBitsLabel,
         kBitsEntry,
         {{kStereo, "stereo", 2}, {kMono, "mono", 1}, {kSameChannels, "sameChannels", 0}}});
    m_encoding->RenameBits(32, kFloatBitsEntry);
    m_amplify = new AmplifyGroup;
    auto* page = new QVBoxLayout(this);
    page->addWidget(m_encoding);
    page->addWidget(m_amplify);
    page->addStretch();

    // Any other sample rate or bits, "Same as original file" included, is no longer the preset.
    auto changed = [this](int value, int recorded) {
        if (value == recorded) return;
        m_encoding->SwitchToCustom();
        m_encoding->Record();
    };
    connect(m_encoding, &PresetControls::RateChosen, this,
            [this, changed](int rate) { changed(rate, m_encoding->recordedRate); });
    connect(m_encoding, &PresetControls::BitsChosen, this,
            [this, changed](int bits) { changed(bits, m_encoding->recordedBits); });
    connect(m_encoding, &PresetControls::ChannelChosen, m_encoding, &PresetControls::SwitchToCustom);
}

void COptWavPage::LoadFrom(const ConversionSettings& s) {
    m_encoding->Load(s.AutoDestWAVEncodingParam, s.WAVSampleRate, s.WAVBitsPerSample, s.WAVChannelNum);
    m_amplify->Load(s.AmplifyWav, s.AmplifyWavCoeff);
}

void COptWavPage::StoreTo(ConversionSettings& s) const {
    m_encoding->Store(s.AutoDestWAVEncodingParam, s.WAVSampleRate, s.WAVBitsPerSample, s.WAVChannelNum);
    m_amplify->Store(s.AmplifyWav, s.AmplifyWavCoeff);
}

bool COptWavPage::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
