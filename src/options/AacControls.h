#pragma once
#include <QWidget>
#include <cstdint>

struct AacOptionGroup;
class ConversionSettings;
class NumberSpin;
class QCheckBox;
class QComboBox;
class QRadioButton;

/// The AAC encoder parameters of one options group.
struct AacParameters {
    std::int32_t autoFlag = 1;
    std::int32_t vbr = 1;
    std::int32_t quality = 100;
    std::int32_t bitRate = 128;  // kbit/s, 0 for the source's
    std::int32_t tns = 0;
    std::int32_t midSide = 1;
    std::int32_t mpegVersion = 0;  // 0 MPEG-4, 1 MPEG-2; the AAC page only
    std::int32_t blockType = 0;
};

/// The encoding controls shared by the AAC and MP4 pages: the Auto box, ABR or VBR, bit rate, quality,
/// the advanced options and Reset.
class AacControls final : public QWidget {
    Q_OBJECT
public:
    explicit AacControls(bool mpegVersion, QWidget* parent = nullptr);
    void Load(const AacParameters& p);
    /// What the controls hold; an empty quality edit keeps the loaded quality.
    AacParameters Values() const;
    /// False when VBR is in use (Auto unchecked) and the quality is not within 10 to 500.
    bool QualityValid() const;
    QWidget* QualityEdit() const;
    /// The same through the settings' members of an option group.
    void LoadFrom(const ConversionSettings& s, const AacOptionGroup& group);
    /// With Auto the explicit parameters keep their earlier values.
    void StoreTo(ConversionSettings& s, const AacOptionGroup& group) const;

private:
    void UpdateEnabled();
    void Reset();
    AacParameters m_loaded;
    QCheckBox* m_auto;
    QRadioButton* m_mode[2];  // ABR, VBR
    QComboBox* m_bitRate;
    NumberSpin* m_quality;
    QCheckBox* m_tns;
    QCheckBox* m_midSide;
    QRadioButton* m_mpeg[2] = {nullptr, nullptr};
    QRadioButton* m_block[3];
    QWidget* m_advanced;
};
