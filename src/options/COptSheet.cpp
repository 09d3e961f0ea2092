#include "options/COptSheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <iterator>

#include "options/CAmrOptPage.h"
#include "options/COptAacPage.h"
#include "options/COptFlacPage.h"
#include "options/COptLoudnessPage.h"
#include "options/COptM4aPage.h"
#include "options/COptMp3Page.h"
#include "options/COptOggPage.h"
#include "options/COptOpusPage.h"
#include "options/COptOutputPage.h"
#include "options/COptTagsPage.h"
#include "options/COptWavPage.h"
#include "options/CPageWMAOptions.h"
#include "options/OptionsTexts.h"
#include "settings/ConversionSettings.h"

namespace {

struct PageEntry {
    const char* caption;
    OptionsPage* (*make)(OptionsDialogs& dialogs, WmaFormatProvider& wma);
};

template <class Page>
OptionsPage* Make(OptionsDialogs& dialogs, WmaFormatProvider&) {
    return new Page(dialogs);
}

// The pages in tab order; OptStartPageIndex counts in it. A format's page plugs in with one line.
constexpr PageEntry kPages[] = {
    {"General", &Make<COptOutputPage>},
    {"MP3 Options", &Make<COptMp3Page>},
    {"WAV Options", &Make<COptWavPage>},
    {"WMA Options",
     [](OptionsDialogs& d, WmaFormatProvider& wma) -> OptionsPage* { return new CPageWMAOptions(d, wma); }},
    {"OGG Options", &Make<COptOggPage>},
    {"AMR/AWB Options", &Make<CAmrOptPage>},
    {"AAC Options", &Make<COptAacPage>},
    {"MP4/M4A/M4B Options", &Make<COptM4aPage>},
    {"FLAC Options", &Make<COptFlacPage>},
    {"Opus Options", &Make<COptOpusPage>},
    {"Loudness", &Make<COptLoudnessPage>},
    {"Tags and Library", &Make<COptTagsPage>},
};

}  // namespace

const int COptSheet::kPageCount = static_cast<int>(std::size(kPages));

COptSheet::COptSheet(OptionsDialogs& dialogs, WmaFormatProvider& wma, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kSheetCaption));
    QFont font(QString::fromUtf8(kDialogFont));
    font.setPixelSize(kDialogFontPixels);
    setFont(font);

    for (const PageEntry& entry : kPages) m_pages.push_back(entry.make(dialogs, wma));
    m_shown.assign(m_pages.size(), false);
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("pages"));
    m_tabs->setUsesScrollButtons(false);  // every caption stays in sight
    m_tabs->setElideMode(Qt::ElideNone);
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->setObjectName(QString::fromUtf8(kPages[i].caption));
        m_tabs->addTab(m_pages[i], QString::fromUtf8(kPages[i].caption));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &COptSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptSheet::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &COptSheet::OnCurrentChanged);
}

void COptSheet::LoadFrom(const ConversionSettings& s) {
    for (OptionsPage* p : m_pages) p->LoadFrom(s);
    const int start = s.OptStartPageIndex >= 0 && s.OptStartPageIndex < kPageCount ? s.OptStartPageIndex : 0;
    SetCurrentQuietly(start);
    m_active = start;
    Activate(start);
}

void COptSheet::StoreTo(ConversionSettings& s) const {
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        if (m_shown[i]) m_pages[i]->StoreTo(s);
}

void COptSheet::accept() {
    if (!m_pages[std::size_t(m_active)]->Validate()) return;
    QDialog::accept();
}

// The tab widget has already switched when it tells us; go back, let the page that is being left
// check itself where the user can see it, and only then move on.
void COptSheet::OnCurrentChanged(int index) {
    if (m_quiet || index == m_active || index < 0) return;
    SetCurrentQuietly(m_active);
    if (!m_pages[std::size_t(m_active)]->Validate()) return;
    SetCurrentQuietly(index);
    m_active = index;
    Activate(index);
}

void COptSheet::SetCurrentQuietly(int index) {
    m_quiet = true;
    m_tabs->setCurrentIndex(index);
    m_quiet = false;
}

void COptSheet::Activate(int index) {
    m_shown[std::size_t(index)] = true;
    m_pages[std::size_t(index)]->Activate();
}
