#pragma once
#include "options/OptionsPage.h"

class AmplifyGroup;
class PresetControls;
class TagGroup;

/// The "OGG Options" page: presets, sample rate, a bit rate kept within the encoder's bounds, channels,
/// tags and amplification.
class COptOggPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptOggPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    void ApplyBounds();
    PresetControls* m_encoding;
    TagGroup* m_tags;
    AmplifyGroup* m_amplify;
};
