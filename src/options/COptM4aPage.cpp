#include "options/COptM4aPage.h"

#include <QVBoxLayout>

#include "options/AacControls.h"
#include "options/AmplifyGroup.h"
#include "options/OptionsTexts.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

COptM4aPage::COptM4aPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_encoding = new AacControls(false);
    m_tags = new TagGroup(true, dialogs);
    m_amplify = new AmplifyGroup;
    auto* page = new QVBoxLayout(this);
    page->addWidget(m_encoding);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();
}

void COptM4aPage::LoadFrom(const ConversionSettings& s) {
    m_encoding->LoadFrom(s, kM4aOptionGroup);
    m_tags->Load(s.M4AID3TagType, s.M4ATag);
    m_amplify->Load(s.AmplifyM4A, s.AmplifyM4ACoef);
}

void COptM4aPage::StoreTo(ConversionSettings& s) const {
    m_encoding->StoreTo(s, kM4aOptionGroup);
    m_tags->Store(s.M4AID3TagType, s.M4ATag);
    m_amplify->Store(s.AmplifyM4A, s.AmplifyM4ACoef);
}

bool COptM4aPage::Validate() {
    if (!m_encoding->QualityValid()) return Fail(kBadQuality, m_encoding->QualityEdit());
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
