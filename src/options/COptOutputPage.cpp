#include "options/COptOutputPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "options/OptionsDialogs.h"
#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/ConversionSettings.h"

namespace {
constexpr int kBesideSource = 199;
constexpr int kIntoCustomFolder = 399;
constexpr int kRename = 11;
}  // namespace

COptOutputPage::COptOutputPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    const char* monoTexts[3] = {kMonoMix, kMonoLeft, kMonoRight};
    const char* monoNames[3] = {"monoMix", "monoLeft", "monoRight"};
    for (int i = 0; i < 3; ++i)
        m_mono[i] = Named(new QRadioButton(QString::fromUtf8(monoTexts[i])), monoNames[i], monoTexts[i]);
    auto* help = Named(new QToolButton, "monoHelp", kMonoHelpButton);
    help->setText(QString::fromUtf8(kMonoHelpButton));
    help->setAccessibleDescription(QString::fromUtf8(kMonoHelp));
    m_filterOn = Named(new QCheckBox(QString::fromUtf8(kFilterCheck)), "filterOn", kFilterCheck);
    m_filter = Named(new QLineEdit, "filter", kFilterCheck);
    m_dither = Named(new QCheckBox(QString::fromUtf8(kDitherCheck)), "dither", kDitherCheck);
    m_legacyResampler = Named(new QCheckBox(QString::fromUtf8(kLegacyResamplerCheck)), "legacyResampler",
                              kLegacyResamplerCheck);

    auto* general = new QGroupBox(QString::fromUtf8(kGeneralHeading));
    auto* g = new QVBoxLayout(general);
    g->addWidget(NoteLabel(kMonoIntro));
    auto* monoRow = new QHBoxLayout;
    for (auto* b : m_mono) monoRow->addWidget(b);
    monoRow->addWidget(help);
    monoRow->addStretch();
    g->addLayout(monoRow);
    g->addWidget(m_filterOn);
    g->addWidget(m_filter);
    g->addWidget(NoteLabel(kFilterNote));
    m_filesAtOnce = Named(new QComboBox, "filesAtOnce", kFilesAtOnceLabel);
    m_filesAtOnce->addItem(QString::fromUtf8(kFilesAtOnceAuto), 0);  // one per processor
    for (int n = 1; n <= ConversionSettings::kMaxFilesAtOnce; ++n)
        m_filesAtOnce->addItem(QString::number(n), n);
    // The dither choice shares the row: the page has no height for another line.
    auto* atOnceRow = new QHBoxLayout;
    atOnceRow->addWidget(m_dither);
    atOnceRow->addStretch();
    atOnceRow->addWidget(BuddyLabel(kFilesAtOnceLabel, m_filesAtOnce));
    atOnceRow->addWidget(m_filesAtOnce);
    g->addLayout(atOnceRow);
    // The checks of outputs and sources share rows too.
    m_verify = Named(new QCheckBox(QString::fromUtf8(kVerifyCheck)), "verifyOutputs", kVerifyCheck);
    m_strict = Named(new QCheckBox(QString::fromUtf8(kStrictCheck)), "strictDecode", kStrictCheck);
    auto* resamplerRow = new QHBoxLayout;
    resamplerRow->addWidget(m_legacyResampler);
    resamplerRow->addStretch();
    resamplerRow->addWidget(m_verify);
    g->addLayout(resamplerRow);

    m_folderChoice = Named(new QComboBox, "folderChoice", kOutputFolderLabel);
    m_folderChoice->addItem(QString::fromUtf8(kSameFolder), kBesideSource);
    m_folderChoice->addItem(QString::fromUtf8(kCustomFolder), kIntoCustomFolder);
    m_folder = Named(new QLineEdit, "folder", kCustomFolderLabel);
    m_browse = Named(new QPushButton(QString::fromUtf8(kBrowseButton)), "browse", kBrowseButton);
    m_open = Named(new QPushButton(QString::fromUtf8(kOpenButton)), "open", kOpenButton);
    m_createDirs = Named(new QCheckBox(QString::fromUtf8(kCreateDirsCheck)), "createDirs", kCreateDirsCheck);
    m_createDirsExample = NoteLabel(kCreateDirsExample);
    m_target = Named(new QComboBox, "target", kTargetExistsLabel);
    m_target->addItem(QString::fromUtf8(kTargetRename), kRename);
    m_target->addItem(QString::fromUtf8(kTargetOverwrite), 22);
    m_target->addItem(QString::fromUtf8(kTargetSkip), 33);
    m_target->addItem(QString::fromUtf8(kTargetUpdate), 44);
    m_myDocuments =
        Named(new QCheckBox(QString::fromUtf8(kMyDocumentsCheck)), "myDocuments", kMyDocumentsCheck);
    m_browseOutput =
        Named(new QCheckBox(QString::fromUtf8(kBrowseOutputCheck)), "browseOutput", kBrowseOutputCheck);

    auto* output = new QGroupBox(QString::fromUtf8(kOutputHeading));
    auto* o = new QGridLayout(output);
    o->addWidget(BuddyLabel(kOutputFolderLabel, m_folderChoice), 0, 0);
    o->addWidget(m_folderChoice, 0, 1, Qt::AlignLeft);
    o->addWidget(BuddyLabel(kCustomFolderLabel, m_folder), 1, 0);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    folderRow->addWidget(m_open);
    o->addLayout(folderRow, 1, 1);
    o->addWidget(m_createDirs, 2, 1);
    o->addWidget(m_createDirsExample, 3, 1);
    o->addWidget(BuddyLabel(kTargetExistsLabel, m_target), 4, 0);
    o->addWidget(m_target, 4, 1, Qt::AlignLeft);
    o->addWidget(m_myDocuments, 5, 0, 1, 2);
    auto* browseRow = new QHBoxLayout;
    browseRow->addWidget(m_browseOutput);
    browseRow->addStretch();
    browseRow->addWidget(m_strict);
    o->addLayout(browseRow, 6, 0, 1, 2);
    o->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(general);
    page->addWidget(output);
    page->addStretch();

    connect(help, &QToolButton::clicked, this, [this] { Dialogs().ShowInformation(this, kMonoHelp); });
    connect(m_filterOn, &QCheckBox::clicked, this, [this](bool on) {
        m_filter->setEnabled(on);
        if (on) m_filter->setFocus();
    });
    connect(m_folderChoice, &QComboBox::activated, this, [this] { UpdateFolderGroup(); });
    connect(m_browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(m_open, &QPushButton::clicked, this, [this] { OnOpen(); });
}

void COptOutputPage::LoadFrom(const ConversionSettings& s) {
    m_loadedMono = s.MonoType;
    CheckOnly(m_mono, s.MonoType);
    m_filterOn->setChecked(s.EnableExtFilter != 0);
    m_filter->setText(FromSystemText(s.FilterExts));
    m_filter->setEnabled(s.EnableExtFilter != 0);
    m_folder->setText(FromSystemText(s.DestSpecifiedFolder));
    SelectValue(m_folderChoice, s.DestOutputFolderOpt);  // an unknown code shows "Same as original file"
    SelectValue(m_target, s.TargetExistsOpt);            // an unknown code shows auto rename
    m_createDirs->setChecked(s.CreateDirs != 0);
    m_myDocuments->setChecked(s.OutputFiles2MyDocuments != 0);
    m_browseOutput->setChecked(s.BrowseOutputFolder != 0);
    m_dither->setChecked(s.Dither != 0);
    m_legacyResampler->setChecked(s.Resampler == 1);
    SelectValue(m_filesAtOnce, s.FilesAtOnce);  // an unknown count shows Auto
    m_verify->setChecked(s.VerifyOutputs != 0);
    m_strict->setChecked(s.StrictDecode != 0);
    UpdateFolderGroup();
}

void COptOutputPage::StoreTo(ConversionSettings& s) const {
    const int mono = CheckedIndex(m_mono);
    s.MonoType = mono >= 0 ? mono : m_loadedMono;
    s.EnableExtFilter = m_filterOn->isChecked() ? 1 : 0;
    s.FilterExts = ToSystemText(m_filter->text());
    s.DestOutputFolderOpt = SelectedValue(m_folderChoice);
    s.DestSpecifiedFolder = ToSystemText(m_folder->text());
    s.CreateDirs = m_createDirs->isChecked() ? 1 : 0;
    s.TargetExistsOpt = SelectedValue(m_target);
    s.OutputFiles2MyDocuments = m_myDocuments->isChecked() ? 1 : 0;
    s.BrowseOutputFolder = m_browseOutput->isChecked() ? 1 : 0;
    s.Dither = m_dither->isChecked() ? 1 : 0;
    s.Resampler = m_legacyResampler->isChecked() ? 1 : 0;
    s.FilesAtOnce = SelectedValue(m_filesAtOnce);
    s.VerifyOutputs = m_verify->isChecked() ? 1 : 0;
    s.StrictDecode = m_strict->isChecked() ? 1 : 0;
}

bool COptOutputPage::Validate() {
    if (SelectedValue(m_folderChoice) == kIntoCustomFolder && m_folder->text().isEmpty())
        return Fail(kNeedFolder, m_folder);
    QString cleaned = m_filter->text();
    cleaned.remove(u' ');
    cleaned.remove(u'\t');
    cleaned.replace(u';', u',');
    m_filter->setText(cleaned);
    if (m_filterOn->isChecked() && cleaned.isEmpty()) return Fail(kNeedExtensions, m_filter);
    return true;
}

void COptOutputPage::UpdateFolderGroup() {
    const bool custom = SelectedValue(m_folderChoice) == kIntoCustomFolder;
    for (QWidget* w :
         {static_cast<QWidget*>(m_folder), static_cast<QWidget*>(m_browse), static_cast<QWidget*>(m_open),
          static_cast<QWidget*>(m_createDirs), m_createDirsExample})
        w->setEnabled(custom);
}

void COptOutputPage::OnBrowse() {
    const auto chosen = Dialogs().BrowseForFolder(this, kBrowseTitle, ToSystemText(m_folder->text()));
    if (chosen) m_folder->setText(FromSystemText(*chosen));
}

void COptOutputPage::OnOpen() {
    const std::string folder = ToSystemText(m_folder->text());
    std::error_code error;
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) {
        Dialogs().OpenFolder(folder);
        return;
    }
    Dialogs().ShowWarning(this, QString::fromUtf8(kFolderMissing).arg(m_folder->text()).toStdString());
}
