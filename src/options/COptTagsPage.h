#pragma once
#include "options/OptionsPage.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

/// The "Tags and Library" page: what travels from the source besides the audio, and the options of
/// repeated runs over a library.
class COptTagsPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptTagsPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override { return true; }  // every choice the controls offer is valid

private:
    QCheckBox* m_transfer;
    QCheckBox* m_folderCover;
    QSpinBox* m_maxPicture;
    QComboBox* m_id3Version;
    QCheckBox* m_wavId3;
    QComboBox* m_sourceTime;
    QCheckBox* m_playlists;
    QCheckBox* m_copySame;
};
