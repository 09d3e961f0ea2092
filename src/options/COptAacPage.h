#pragma once
#include "options/OptionsPage.h"

class AacControls;
class AmplifyGroup;

/// The "AAC Options" page: the encoder parameters of raw AAC output and its amplification.
class COptAacPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptAacPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    AacControls* m_encoding;
    AmplifyGroup* m_amplify;
};
