#pragma once
#include <QGroupBox>
#include <cstdint>
#include <initializer_list>
#include <vector>

class QComboBox;
class QRadioButton;

/// What a named preset sets.
struct EncodingPreset {
    int rate;
    int bits;     // kbit/s, or bits per sample on the WAV page
    int channel;  // the group's channel value
};

/// A channel button and the group's value it stands for.
struct ChannelButton {
    const char* text;
    const char* name;
    int value;
};

/// The encoding section of the MP3, WAV and OGG pages: the preset list ("Auto", named presets, "Custom"),
/// the sample-rate and bit-rate (or bits) lists and the channel buttons. It keeps the values it last
/// recorded; the page decides, from its own rules, when to record and when to switch to "Custom".
class PresetControls final : public QGroupBox {
    Q_OBJECT
public:
    struct Layout {
        const char* const* presetTexts;  // "Auto", the named presets, "Custom"
        std::vector<EncodingPreset> presets;
        std::initializer_list<int> rates;
        std::initializer_list<int> bits;
        const char* bitsLabel;
        const char* bitsFormat;
        std::vector<ChannelButton> channels;
    };
    explicit PresetControls(const Layout& layout, QWidget* parent = nullptr);

    void Load(std::int32_t autoFlag, std::int32_t rate, std::int32_t bits, std::int32_t channel);
    /// Auto keeps the explicit values as they were.
    void Store(std::int32_t& autoFlag, std::int32_t& rate, std::int32_t& bits, std::int32_t& channel) const;

    int Rate() const;     // the selected sample rate; 0 for "Same as original file"
    int Bits() const;     // the selected bit rate or bits
    int Channel() const;  // the checked channel button's value; the loaded value when none is checked
    void ShowRate(int rate);
    void ShowBits(int bits);
    /// Gives one entry of the bits list a text of its own.
    void RenameBits(int bits, const char* text);
    void SwitchToCustom();
    /// Records the selected rate and bits as the page's current ones.
    void Record();

    int recordedRate = 0;
    int recordedBits = 0;

signals:
    void RateChosen(int rate);
    void BitsChosen(int bits);
    void ChannelChosen(int value);

private:
    void OnPreset(int index);
    void SetListsEnabled(bool on);
    int CustomIndex() const;
    std::vector<EncodingPreset> m_presets;
    std::vector<ChannelButton> m_channelValues;
    QComboBox* m_preset;
    QComboBox* m_rate;
    QComboBox* m_bits;
    std::vector<QRadioButton*> m_channels;
    std::int32_t m_loadedChannel = 0;
};
