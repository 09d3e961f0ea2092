#pragma once
#include "options/OptionsPage.h"

class AmplifyGroup;
class QComboBox;
class TagGroup;

/// The "Opus Options" page: bit rate, rate control, complexity, signal, channels, tags and
/// amplification.
class COptOpusPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptOpusPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    QComboBox* m_bitRate;
    QComboBox* m_mode;
    QComboBox* m_complexity;
    QComboBox* m_signal;
    QComboBox* m_channels;
    TagGroup* m_tags;
    AmplifyGroup* m_amplify;
};
