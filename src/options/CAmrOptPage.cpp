#include "options/CAmrOptPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/ConversionSettings.h"

namespace {
constexpr int kFallbackMode = 4;  // 7.4 kbit/s narrow band, 15.85 kbit/s wide band

template <std::size_t N>
QComboBox* ModeList(const char* const (&texts)[N], const char* name) {
    auto* list = Named(new QComboBox, name, kBitRateLabel);
    for (std::size_t i = 0; i < N; ++i) list->addItem(QString::fromUtf8(texts[i]), int(i));
    return list;
}

void SelectMode(QComboBox* list, int mode) {
    list->setCurrentIndex(mode >= 0 && mode < list->count() ? mode : kFallbackMode);
}
}  // namespace

CAmrOptPage::CAmrOptPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_band[0] = Named(new QRadioButton(QString::fromUtf8(kAmrNb)), "nb", kAmrNb);
    m_band[1] = Named(new QRadioButton(QString::fromUtf8(kAmrWb)), "wb", kAmrWb);
    m_nbMode = ModeList(kAmrNbModes, "nbMode");
    m_wbMode = ModeList(kAmrWbModes, "wbMode");
    m_amrDtx = Named(new QCheckBox(QString::fromUtf8(kDtxCheck)), "amrDtx", kDtxCheck);
    m_awbMode = ModeList(kAmrWbModes, "awbMode");
    m_awbDtx = Named(new QCheckBox(QString::fromUtf8(kDtxCheck)), "awbDtx", kDtxCheck);
    m_amplify = new AmplifyGroup;

    auto* amr = new QGroupBox;
    auto* a = new QGridLayout(amr);
    a->addWidget(m_band[0], 0, 0);
    a->addWidget(BuddyLabel(kBitRateLabel, m_nbMode), 0, 1);
    a->addWidget(m_nbMode, 0, 2);
    a->addWidget(m_band[1], 1, 0);
    a->addWidget(BuddyLabel(kBitRateLabel, m_wbMode), 1, 1);
    a->addWidget(m_wbMode, 1, 2);
    a->addWidget(m_amrDtx, 2, 0, 1, 3);
    a->setColumnStretch(3, 1);
    auto* awb = new QGroupBox(QString::fromUtf8(kAwbHeading));
    auto* w = new QGridLayout(awb);
    w->addWidget(new QLabel(QString::fromUtf8(kAwbRate)), 0, 0);
    w->addWidget(BuddyLabel(kBitRateLabel, m_awbMode), 0, 1);
    w->addWidget(m_awbMode, 0, 2);
    w->addWidget(m_awbDtx, 1, 0, 1, 3);
    w->setColumnStretch(3, 1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(amr);
    page->addWidget(awb);
    page->addWidget(m_amplify);
    page->addStretch();

    for (auto* b : m_band) connect(b, &QRadioButton::clicked, this, &CAmrOptPage::UpdateBand);
}

void CAmrOptPage::LoadFrom(const ConversionSettings& s) {
    m_loadedType = s.AMRType;
    CheckOnly(m_band, s.AMRType);
    SelectMode(m_nbMode, s.AMRMode);
    SelectMode(m_wbMode, s.AMRWBMode);
    SelectMode(m_awbMode, s.AWBMode);
    m_amrDtx->setChecked(s.AMRDTX != 0);
    m_awbDtx->setChecked(s.AWBDTX != 0);
    m_amplify->Load(s.AmplifyAMR, s.AmplifyAMRCoef);
    UpdateBand();
}

void CAmrOptPage::StoreTo(ConversionSettings& s) const {
    const int band = CheckedIndex(m_band);
    s.AMRType = band >= 0 ? band : m_loadedType;
    s.AMRMode = m_nbMode->currentIndex();
    s.AMRWBMode = m_wbMode->currentIndex();
    s.AWBMode = m_awbMode->currentIndex();
    s.AMRDTX = m_amrDtx->isChecked() ? 1 : 0;
    s.AWBDTX = m_awbDtx->isChecked() ? 1 : 0;
    m_amplify->Store(s.AmplifyAMR, s.AmplifyAMRCoef);
}

bool CAmrOptPage::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}

void CAmrOptPage::UpdateBand() {
    // The list of the band not chosen keeps its selection; it is still stored.
    m_nbMode->setEnabled(!m_band[1]->isChecked());
    m_wbMode->setEnabled(m_band[1]->isChecked());
}
