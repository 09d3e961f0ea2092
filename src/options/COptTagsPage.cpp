#include "options/COptTagsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"
#include "settings/ConversionSettings.h"

namespace {

QCheckBox* Check(const char* name, const char* label) {
    return Named(new QCheckBox(QString::fromUtf8(label)), name, label);
}

}  // namespace

COptTagsPage::COptTagsPage(OptionsDialogs& dialogs, QWidget* parent) : OptionsPage(dialogs, parent) {
    m_transfer = Check("transferAllTags", kTransferAllTagsLabel);
    m_folderCover = Check("folderCoverArt", kFolderCoverArtLabel);
    m_maxPicture = Named(new QSpinBox, "maxPictureSize", kMaxPictureSizeLabel);
    m_maxPicture->setRange(0, ConversionSettings::kMaxPictureSizeLimit);
    m_maxPicture->setSingleStep(100);
    m_maxPicture->setSpecialValueText(QString::fromUtf8(kNoPictureLimit));
    m_id3Version = Named(new QComboBox, "id3v2Version", kId3v2VersionLabel);
    m_id3Version->addItem(QString::fromUtf8(kId3v23), 3);
    m_id3Version->addItem(QString::fromUtf8(kId3v24), 4);
    m_wavId3 = Check("wavId3Chunk", kWavId3ChunkLabel);

    m_sourceTime = Named(new QComboBox, "outputTakesSourceTime", kSourceTimeLabel);
    m_sourceTime->addItem(QString::fromUtf8(kSourceTimeNever), 0);
    m_sourceTime->addItem(QString::fromUtf8(kSourceTimeAlways), 1);
    m_sourceTime->addItem(QString::fromUtf8(kSourceTimeUpdating), 2);
    m_playlists = Check("writePlaylists", kWritePlaylistsLabel);
    m_copySame = Check("copySameFormat", kCopySameFormatLabel);

    auto* tags = new QGroupBox(QString::fromUtf8(kTagsHeading));
    auto* t = new QGridLayout(tags);
    t->addWidget(m_transfer, 0, 0, 1, 2);
    t->addWidget(m_folderCover, 1, 0, 1, 2);
    t->addWidget(BuddyLabel(kMaxPictureSizeLabel, m_maxPicture), 2, 0);
    t->addWidget(m_maxPicture, 2, 1, Qt::AlignLeft);
    t->addWidget(BuddyLabel(kId3v2VersionLabel, m_id3Version), 3, 0);
    t->addWidget(m_id3Version, 3, 1, Qt::AlignLeft);
    t->addWidget(m_wavId3, 4, 0, 1, 2);
    t->setColumnStretch(1, 1);

    auto* library = new QGroupBox(QString::fromUtf8(kLibraryHeading));
    auto* l = new QGridLayout(library);
    l->addWidget(BuddyLabel(kSourceTimeLabel, m_sourceTime), 0, 0);
    l->addWidget(m_sourceTime, 0, 1, Qt::AlignLeft);
    l->addWidget(m_playlists, 1, 0, 1, 2);
    l->addWidget(m_copySame, 2, 0, 1, 2);
    l->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->addWidget(tags);
    page->addWidget(library);
    page->addStretch();

    // Without transfer only the template's fields are written: the picture options do nothing.
    connect(m_transfer, &QCheckBox::toggled, this, [this](bool on) {
        m_folderCover->setEnabled(on);
        m_maxPicture->setEnabled(on);
    });
}

void COptTagsPage::LoadFrom(const ConversionSettings& s) {
    m_transfer->setChecked(s.TransferAllTags != 0);
    m_folderCover->setChecked(s.FolderCoverArt != 0);
    m_maxPicture->setValue(s.MaxPictureSize);
    SelectValue(m_id3Version, s.ID3v2Version);
    m_wavId3->setChecked(s.WavId3Chunk != 0);
    SelectValue(m_sourceTime, s.OutputTakesSourceTime);
    m_playlists->setChecked(s.WritePlaylists != 0);
    m_copySame->setChecked(s.CopySameFormat != 0);
    m_folderCover->setEnabled(s.TransferAllTags != 0);
    m_maxPicture->setEnabled(s.TransferAllTags != 0);
}

void COptTagsPage::StoreTo(ConversionSettings& s) const {
    s.TransferAllTags = m_transfer->isChecked() ? 1 : 0;
    s.FolderCoverArt = m_folderCover->isChecked() ? 1 : 0;
    s.MaxPictureSize = m_maxPicture->value();
    s.ID3v2Version = SelectedValue(m_id3Version);
    s.WavId3Chunk = m_wavId3->isChecked() ? 1 : 0;
    s.OutputTakesSourceTime = SelectedValue(m_sourceTime);
    s.WritePlaylists = m_playlists->isChecked() ? 1 : 0;
    s.CopySameFormat = m_copySame->isChecked() ? 1 : 0;
}
