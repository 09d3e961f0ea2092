#pragma once
#include <cstdint>

#include "options/OptionsPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// The "General" page: mono fold-down, the extension filter and where output files go.
class COptOutputPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptOutputPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    void UpdateFolderGroup();
    void OnBrowse();
    void OnOpen();
    QRadioButton* m_mono[3];
    QCheckBox* m_filterOn;
    QCheckBox* m_dither;
    QCheckBox* m_legacyResampler;
    QCheckBox* m_verify;
    QCheckBox* m_strict;
    QLineEdit* m_filter;
    QComboBox* m_folderChoice;
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QPushButton* m_open;
    QCheckBox* m_createDirs;
    QWidget* m_createDirsExample;
    QComboBox* m_target;
    QCheckBox* m_myDocuments;
    QCheckBox* m_browseOutput;
    QComboBox* m_filesAtOnce;
    std::int32_t m_loadedMono = 0;
};
