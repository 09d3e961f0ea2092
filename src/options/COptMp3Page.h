#pragma once
#include "options/OptionsPage.h"

class AmplifyGroup;
class PresetControls;
class QCheckBox;
class QRadioButton;
class TagGroup;

/// The "MP3 Options" page: presets, sample rate and bit rate kept within one MPEG version's range,
/// channel mode, tags and their ID3 version, amplification.
class COptMp3Page final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptMp3Page(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    void OnBitRate(int kbps);
    void OnSampleRate(int rate);
    void UpdateVersionButtons();
    PresetControls* m_encoding;
    TagGroup* m_tags;
    QRadioButton* m_version[3];
    AmplifyGroup* m_amplify;
    QCheckBox* m_infoFrame;  // gapless: the LAME info frame
    int m_loadedVersion = 0;
};
