#pragma once
#include "options/OptionsPage.h"

class AmplifyGroup;
class PresetControls;

/// The "WAV Options" page: presets, sample rate, bits, channels and amplification.
class COptWavPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptWavPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    PresetControls* m_encoding;
    AmplifyGroup* m_amplify;
};
