#include "options/COptMp3Page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "options/AmplifyGroup.h"
#include "options/OptionsDialogs.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "options/PresetControls.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

namespace {
QLabel* Link(const char* text, const char* name) {
    auto* label =
        Named(new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(QString::fromUtf8(text))), name, text);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return label;
}
}  // namespace

COptMp3Page::COptMp3Page(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_encoding =
        new PresetControls({kMp3Presets,
                            {{11025, 16, 3}, {22050, 32, 1}, {32000, 96, 1}, {44100, 128, 1}},
                            {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
                            {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320},
                            kBitRateLabel,
                            kKbpsEntry,
                            {{kJointStereo, "jointStereo", 1},
                             {kStereo, "stereo", 0},
                             {kMono, "mono", 3},
                             {kSameChannels, "sameChannels", 4}}});
    auto* links = new QHBoxLayout;
    auto* jointStereo = Link(kJointStereoLink, "jointStereoLink");
    auto* lame = Link(kLameLink, "lameLink");
    m_infoFrame =
        Named(new QCheckBox(QString::fromUtf8(kMp3InfoFrameCheck)), "infoFrame", kMp3InfoFrameCheck);
    links->addWidget(jointStereo);
    links->addStretch();
    links->addWidget(m_infoFrame);
    links->addStretch();
    links->addWidget(lame);

    m_tags = new TagGroup(false, dialogs);
    auto* versions = new QWidget;  // its own parent, so these buttons exclude only each other
    auto* versionRow = new QHBoxLayout(versions);
    versionRow->setContentsMargins(0, 0, 0, 0);
    versionRow->addWidget(new QLabel(QString::fromUtf8(kId3VersionLabel)));
    const char* versionTexts[3] = {kId3v1, kId3v2, kId3Both};
    const char* versionNames[3] = {"id3v1", "id3v2", "id3Both"};
    for (int i = 0; i < 3; ++i) {
        m_version[i] =
            Named(new QRadioButton(QString::fromUtf8(versionTexts[i])), versionNames[i], versionTexts[i]);
        versionRow->addWidget(m_version[i]);
    }
    versionRow->addStretch();
    m_tags->Extra()->addWidget(versions);
    m_amplify = new AmplifyGroup;

    auto* page = new QVBoxLayout(this);
    page->addWidget(m_encoding);
    page->addLayout(links);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();

    connect(m_encoding, &PresetControls::BitsChosen, this, &COptMp3Page::OnBitRate);
    connect(m_encoding, &PresetControls::RateChosen, this, &COptMp3Page::OnSampleRate);
    connect(m_encoding, &PresetControls::ChannelChosen, m_encoding, &PresetControls::SwitchToCustom);
    connect(m_tags, &TagGroup::ChoiceChanged, this, &COptMp3Page::UpdateVersionButtons);
    connect(jointStereo, &QLabel::linkActivated, this,
            [this] { Dialogs().OpenInBrowser(kJointStereoAddress); });
    connect(lame, &QLabel::linkActivated, this, [this] { Dialogs().OpenInBrowser(kLameAddress); });
}

void COptMp3Page::LoadFrom(const ConversionSettings& s) {
    m_encoding->Load(s.AutoDestMP3EncodingParam, s.MP3SampleRate, s.MP3BitRate, s.MP3ChannelMode);
    m_tags->Load(s.MP3ID3TagType, s.MP3Tag);
    m_loadedVersion = s.MP3WriteID3Version;
    CheckOnly(m_version, s.MP3WriteID3Version);
    UpdateVersionButtons();
    m_amplify->Load(s.AmplifyMp3, s.AmplifyMp3Coeff);
    m_infoFrame->setChecked(s.MP3InfoFrame != 0);
}

void COptMp3Page::StoreTo(ConversionSettings& s) const {
    m_encoding->Store(s.AutoDestMP3EncodingParam, s.MP3SampleRate, s.MP3BitRate, s.MP3ChannelMode);
    m_tags->Store(s.MP3ID3TagType, s.MP3Tag);
    const int version = CheckedIndex(m_version);
    s.MP3WriteID3Version = version >= 0 ? version : m_loadedVersion;
    m_amplify->Store(s.AmplifyMp3, s.AmplifyMp3Coeff);
    s.MP3InfoFrame = m_infoFrame->isChecked() ? 1 : 0;
}

bool COptMp3Page::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}

// A bit rate belongs to one MPEG version; the sample rate follows it into that version's range.
void COptMp3Page::OnBitRate(int kbps) {
    int rate = m_encoding->Rate();
    if (kbps == m_encoding->recordedBits || kbps == 0 || rate == 0) return;
    if (kbps <= 24 && rate > 24000)
        rate = 24000;
    else if (kbps >= 80 && kbps <= 160 && rate < 16000)
        rate = 16000;
    else if (kbps >= 192 && rate < 32000)
        rate = 32000;
    m_encoding->ShowRate(rate);
    m_encoding->SwitchToCustom();
    m_encoding->Record();
}

void COptMp3Page::OnSampleRate(int rate) {
    int kbps = m_encoding->Bits();
    if (rate == m_encoding->recordedRate || rate == 0 || kbps == 0) return;
    if (rate <= 12000 && kbps > 64)
        kbps = 64;
    else if (rate >= 16000 && rate <= 24000 && kbps > 160)
        kbps = 160;
    else if (rate >= 32000 && kbps < 32)
        kbps = 32;
    m_encoding->ShowBits(kbps);
    m_encoding->SwitchToCustom();
    m_encoding->Record();
}

void COptMp3Page::UpdateVersionButtons() {
    const bool tags = m_tags->Choice() != 2;
    for (auto* b : m_version) b->setEnabled(tags);
}
