#include "options/AacControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "options/NumberSpin.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/ConversionSettings.h"

namespace {
constexpr int kLowestQuality = 10;
constexpr int kHighestQuality = 500;
constexpr int kDefaultQuality = 100;
constexpr int kResetBitRate = 128;

/// Radio buttons in a row of their own, so that they exclude only each other.
template <std::size_t N>
QWidget* RadioRow(QRadioButton* (&buttons)[N], const char* const (&texts)[N], const char* const (&names)[N]) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < N; ++i) {
        buttons[i] = Named(new QRadioButton(QString::fromUtf8(texts[i])), names[i], texts[i]);
        layout->addWidget(buttons[i]);
    }
    layout->addStretch();
    return row;
}

template <std::size_t N>
std::int32_t Checked(QRadioButton* const (&buttons)[N], std::int32_t loaded) {
    const int i = CheckedIndex(buttons);
    return i >= 0 ? i : loaded;
}
}  // namespace

AacControls::AacControls(bool mpegVersion, QWidget* parent) : QWidget(parent) {
    m_auto = Named(new QCheckBox(QString::fromUtf8(kAacAuto)), "auto", kAacAuto);
    m_mode[0] = Named(new QRadioButton(QString::fromUtf8(kAbr)), "abr", kAbr);
    m_mode[1] = Named(new QRadioButton(QString::fromUtf8(kVbr)), "vbr", kVbr);
    m_bitRate = Named(new QComboBox, "bitRate", kAacBitRateLabel);
    FillValues(m_bitRate, {16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320},
               kKbpsEntry);
    m_quality = Named(new NumberSpin(kLowestQuality, kHighestQuality, 10), "quality", kQualityLabel);
    m_tns = Named(new QCheckBox(QString::fromUtf8(kTnsCheck)), "tns", kTnsCheck);
    m_midSide = Named(new QCheckBox(QString::fromUtf8(kMidSideCheck)), "midSide", kMidSideCheck);
    const char* const blockTexts[3] = {kBlockBoth, kBlockNoShort, kBlockNoLong};
    const char* const blockNames[3] = {"blockBoth", "blockNoShort", "blockNoLong"};
    auto* reset = Named(new QPushButton(QString::fromUtf8(kResetButton)), "reset", kResetButton);

    auto* encoding = new QGroupBox;
    auto* e = new QGridLayout(encoding);
    e->addWidget(m_auto, 0, 0, 1, 4);
    e->addWidget(m_mode[0], 1, 0);
    e->addWidget(BuddyLabel(kAacBitRateLabel, m_bitRate), 1, 1);
    e->addWidget(m_bitRate, 1, 2);
    e->addWidget(m_mode[1], 2, 0);
    e->addWidget(BuddyLabel(kQualityLabel, m_quality), 2, 1);
    e->addWidget(m_quality, 2, 2);
    e->addWidget(new QLabel(QString::fromUtf8(kQualityNote)), 2, 3);
    e->setColumnStretch(3, 1);

    auto* advanced = new QGroupBox(QString::fromUtf8(kAdvancedHeading));
    m_advanced = advanced;
    auto* a = new QGridLayout(advanced);
    a->addWidget(m_tns, 0, 0, 1, 2);
    a->addWidget(m_midSide, 1, 0, 1, 2);
    int row = 2;
    if (mpegVersion) {
        const char* const texts[2] = {kMpeg4, kMpeg2};
        const char* const names[2] = {"mpeg4", "mpeg2"};
        auto* versions = RadioRow(m_mpeg, texts, names);
        a->addWidget(new QLabel(QString::fromUtf8(kMpegVersionLabel)), row, 0);
        a->addWidget(versions, row++, 1);
    }
    a->addWidget(new QLabel(QString::fromUtf8(kBlockTypeLabel)), row, 0);
    a->addWidget(RadioRow(m_block, blockTexts, blockNames), row, 1);
    a->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(encoding);
    layout->addWidget(advanced);
    layout->addWidget(reset, 0, Qt::AlignRight);

    connect(m_auto, &QCheckBox::clicked, this, &AacControls::UpdateEnabled);
    connect(m_mode[0], &QRadioButton::clicked, this, [this] {
        UpdateEnabled();
        m_bitRate->setFocus();
    });
    connect(m_mode[1], &QRadioButton::clicked, this, [this] {
        UpdateEnabled();
        m_quality->setFocus();
    });
    connect(reset, &QPushButton::clicked, this, &AacControls::Reset);
}

void AacControls::Load(const AacParameters& p) {
    m_loaded = p;
    m_auto->setChecked(p.autoFlag != 0);
    CheckOnly(m_mode, p.vbr);
    SelectValue(m_bitRate, p.bitRate);
    m_quality->SetNumber(p.quality);
    m_tns->setChecked(p.tns != 0);
    m_midSide->setChecked(p.midSide != 0);
    if (m_mpeg[0]) CheckOnly(m_mpeg, p.mpegVersion);
    CheckOnly(m_block, p.blockType);
    UpdateEnabled();
}

AacParameters AacControls::Values() const {
    AacParameters p;
    p.autoFlag = m_auto->isChecked() ? 1 : 0;
    p.vbr = Checked(m_mode, m_loaded.vbr);
    p.quality = m_quality->Number().value_or(m_loaded.quality);
    p.bitRate = SelectedValue(m_bitRate);
    p.tns = m_tns->isChecked() ? 1 : 0;
    p.midSide = m_midSide->isChecked() ? 1 : 0;
    p.mpegVersion = m_mpeg[0] ? Checked(m_mpeg, m_loaded.mpegVersion) : m_loaded.mpegVersion;
    p.blockType = Checked(m_block, m_loaded.blockType);
    return p;
}

bool AacControls::QualityValid() const {
    if (m_auto->isChecked() || !m_mode[1]->isChecked()) return true;
    const auto q = m_quality->Number();
    return q && *q >= kLowestQuality && *q <= kHighestQuality;
}

QWidget* AacControls::QualityEdit() const {
    return m_quality;
}

void AacControls::UpdateEnabled() {
    const bool manual = !m_auto->isChecked();
    for (auto* b : m_mode) b->setEnabled(manual);
    m_bitRate->setEnabled(manual && m_mode[0]->isChecked());
    m_quality->setEnabled(manual && m_mode[1]->isChecked());
    m_advanced->setEnabled(manual);
}

// Back to what the encoder does best on its own; amplification and tags are not encoding parameters.
void AacControls::Reset() {
    m_auto->setChecked(true);
    CheckOnly(m_mode, 1);
    m_quality->SetNumber(kDefaultQuality);
    m_midSide->setChecked(true);
    m_tns->setChecked(false);
    CheckOnly(m_block, 0);
    if (m_mpeg[0]) CheckOnly(m_mpeg, 0);
    SelectValue(m_bitRate, kResetBitRate);
    UpdateEnabled();
}

void AacControls::LoadFrom(const ConversionSettings& s, const AacOptionGroup& g) {
    Load({s.*g.automatic, s.*g.vbr, s.*g.vbrQuality, s.*g.abrBitRate, s.*g.tns, s.*g.midSide,
          g.mpegVersion ? s.*g.mpegVersion : 0, s.*g.blockType});
}

void AacControls::StoreTo(ConversionSettings& s, const AacOptionGroup& g) const {
    const AacParameters p = Values();
    s.*g.automatic = p.autoFlag;
    if (p.autoFlag) return;
    s.*g.vbr = p.vbr;
    s.*g.vbrQuality = p.quality;
    s.*g.abrBitRate = p.bitRate;
    s.*g.tns = p.tns;
    s.*g.midSide = p.midSide;
    if (g.mpegVersion) s.*g.mpegVersion = p.mpegVersion;
    s.*g.blockType = p.blockType;
}
