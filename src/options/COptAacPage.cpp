#include "options/COptAacPage.h"

#include <QVBoxLayout>

#include "options/AacControls.h"
#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "settings/ConversionSettings.h"

COptAacPage::COptAacPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_encoding = new AacControls(true);
    m_amplify = new AmplifyGroup;
    auto* page = new QVBoxLayout(this);
    page->addWidget(m_encoding);
    page->addWidget(m_amplify);
    page->addStretch();
}

void COptAacPage::LoadFrom(const ConversionSettings& s) {
    m_encoding->LoadFrom(s, kAacOptionGroup);
    m_amplify->Load(s.AmplifyAAC, s.AmplifyAACCoef);
}

void COptAacPage::StoreTo(ConversionSettings& s) const {
    m_encoding->StoreTo(s, kAacOptionGroup);
    m_amplify->Store(s.AmplifyAAC, s.AmplifyAACCoef);
}

bool COptAacPage::Validate() {
    if (!m_encoding->QualityValid()) return Fail(kBadQuality, m_encoding->QualityEdit());
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
