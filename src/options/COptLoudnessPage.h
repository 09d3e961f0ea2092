#pragma once
#include "options/OptionsPage.h"

class QComboBox;
class QSpinBox;

/// The "Loudness" page: ReplayGain tags and normalising, for every format.
class COptLoudnessPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit COptLoudnessPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override { return true; }  // every choice the controls offer is valid

private:
    QComboBox* m_replayGain;
    QComboBox* m_normalize;
    QSpinBox* m_target;
};
