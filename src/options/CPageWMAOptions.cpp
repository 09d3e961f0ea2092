#include "options/CPageWMAOptions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "engine/EngineTexts.h"
#include "options/AmplifyGroup.h"
#include "options/OptionsDialogs.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "options/TagGroup.h"
#include "settings/ConversionSettings.h"

namespace {
constexpr int kLowestListedBitRate = 1000;  // bit/s
}

CPageWMAOptions::CPageWMAOptions(OptionsDialogs& dialogs, WmaFormatProvider& wma, QWidget* parent)
    : OptionsPage(dialogs, parent), m_wma(wma) {
    m_format = Named(new QComboBox, "format", kWmaFormatLabel);
    auto* encoding = new QGroupBox;
    auto* e = new QVBoxLayout(encoding);
    e->addWidget(BuddyLabel(kWmaFormatLabel, m_format));
    e->addWidget(m_format);
    m_tags = new TagGroup(false, dialogs);
    m_amplify = new AmplifyGroup;
    auto* page = new QVBoxLayout(this);
    page->addWidget(encoding);
    page->addWidget(m_tags);
    page->addWidget(m_amplify);
    page->addStretch();
}

void CPageWMAOptions::LoadFrom(const ConversionSettings& s) {
    m_auto = s.AutoDestWMAEncodingParam;
    m_loaded = {s.WMASampleRate, s.WMABitRate, s.WMAChannels};
    m_tags->Load(s.WMAID3TagType, s.WMATag);
    m_amplify->Load(s.AmplifyWMA, s.AmplifyWMACoeff);
}

void CPageWMAOptions::Activate() {
    if (m_filled) return;
    m_filled = true;
    auto formats = m_wma.LoadFormats();
    if (!formats) {
        if (Dialogs().AskYesNo(this, kWmfRuntimeQuestion))
            Dialogs().OpenInBrowser(kWmfRuntimeDownloadAddress);
        formats.emplace();
    }
    m_format->addItem(QString::fromUtf8(kAuto));
    int selected = m_auto ? 0 : -1;
    for (const WmaFormatChoice& f : *formats) {
        if (f.bitRate < kLowestListedBitRate) continue;
        m_listed.push_back(f);
        m_format->addItem(QString::fromUtf8(kWmaEntry)
                              .arg(f.sampleRate)
                              .arg(f.bitRate / 1000)
                              .arg(QString::fromUtf8(f.channels == 1 ? kMonoName : kStereoName)));
        // The last format matching in Hz, kbit/s and channels is the one shown; with Auto chosen,
        // "Auto" stays selected.
        if (!m_auto && f.sampleRate == m_loaded.sampleRate && f.bitRate / 1000 == m_loaded.bitRate / 1000 &&
            f.channels == m_loaded.channels)
            selected = m_format->count() - 1;
    }
    m_format->setCurrentIndex(selected);
}

void CPageWMAOptions::StoreTo(ConversionSettings& s) const {
    const int index = m_format->currentIndex();
    if (index <= 0) {  // "Auto", or no format of this runtime matched
        s.AutoDestWMAEncodingParam = 1;
    } else {
        const WmaFormatChoice& f = m_listed[std::size_t(index) - 1];
        s.AutoDestWMAEncodingParam = 0;
        s.WMASampleRate = f.sampleRate;
        s.WMABitRate = f.bitRate;
        s.WMAChannels = f.channels;
    }
    m_tags->Store(s.WMAID3TagType, s.WMATag);
    m_amplify->Store(s.AmplifyWMA, s.AmplifyWMACoeff);
}

bool CPageWMAOptions::Validate() {
    return m_amplify->IsValid() || Fail(kBadCoefficient, m_amplify->CoefficientEdit());
}
