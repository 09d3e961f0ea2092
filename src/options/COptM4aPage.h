#pragma once
#include "options/OptionsPage.h"

class AacControls;
class AmplifyGroup;
class TagGroup;

/// The "MP4/M4A/M4B Options" page: the encoder parameters of MP4 output, its tags and amplification.
class COptM4aPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptM4aPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    AacControls* m_encoding;
    TagGroup* m_tags;
    AmplifyGroup* m_amplify;
};
