#pragma once
#include "options/OptionsPage.h"

class AmplifyGroup;
class QComboBox;
class TagGroup;

/// The "FLAC Options" page: compression level, bits, sample rate, channels, tags and amplification.
class COptFlacPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptFlacPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    QComboBox* m_level;
    QComboBox* m_bits;
    QComboBox* m_rate;
    QComboBox* m_channels;
    TagGroup* m_tags;
    AmplifyGroup* m_amplify;
};
