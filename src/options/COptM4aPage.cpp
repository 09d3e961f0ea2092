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
    m_encoding->Load({s.AutoDestM4AEncodingParam, s.M4AVBR, s.M4AVBRQuality, s.M4AABRBitRate, s.M4AEnableTNS,
                      s.M4AEnableMidside, 0, s.M4ABlockType});
    m_tags->Load(s.M4AID3TagType, s.M4ATag);
    m_amplify->Load(s.AmplifyM4A, s.AmplifyM4ACoef);
}

void COptM4aPage::StoreTo(ConversionSettings& s) const {
    const AacParameters p = m_encoding->Values();
    s.AutoDestM4AEncodingParam = p.autoFlag;
    if (!p.autoFlag) {  // with Auto the explicit parameters keep their earlier values
        s.M4AVBR = p.vbr;
        s.M4AVBRQuality = p.quality;
        s.M4AABRBitRate = p.bitRate;
        s.M4AEnableTNS = p.tns;
        s.M4AEnableMidside = p.midSide;
        s.M4ABlockType = p.blockType;
    }
    m_tags->Store(s.M4AID3TagType, s.M4ATag);
    m_amplify->Store(s.AmplifyM4A, s.AmplifyM4ACoef);
}

bool COptM4aPage::Validate() {
    if (!m_encoding->QualityValid()) return Fail(kBadQuality, m_encoding->QualityEdit());
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
