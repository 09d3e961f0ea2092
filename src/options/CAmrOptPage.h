#pragma once
#include <cstdint>

#include "options/OptionsPage.h"

class AmplifyGroup;
class QCheckBox;
class QComboBox;
class QRadioButton;

/// The "AMR/AWB Options" page: the band and mode of ".amr" output, the mode of ".awb" output,
/// discontinuous transmission for each, and amplification.
class CAmrOptPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit CAmrOptPage(OptionsDialogs& dialogs, QWidget* parent = nullptr);
    void LoadFrom(const ConversionSettings& s) override;
    void StoreTo(ConversionSettings& s) const override;
    bool Validate() override;

private:
    void UpdateBand();
    QRadioButton* m_band[2];
    QComboBox* m_nbMode;
    QComboBox* m_wbMode;
    QCheckBox* m_amrDtx;
    QComboBox* m_awbMode;
    QCheckBox* m_awbDtx;
    AmplifyGroup* m_amplify;
    std::int32_t m_loadedType = 0;
};
