#include "options/PresetControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>

#include "options/OptionsTexts.h"
#include "options/PageWidgets.h"

PresetControls::PresetControls(const Layout& layout, QWidget* parent)
    : QGroupBox(parent), m_presets(layout.presets), m_channelValues(layout.channels) {
    m_preset = Named(new QComboBox, "preset", kPresetLabel);
    const int presetCount = int(m_presets.size()) + 2;
    for (int i = 0; i < presetCount; ++i) m_preset->addItem(QString::fromUtf8(layout.presetTexts[i]));
    m_rate = Named(new QComboBox, "sampleRate", kRateLabel);
    FillValues(m_rate, layout.rates, kHzEntry);
    m_bits = Named(new QComboBox, "bitRate", layout.bitsLabel);
    FillValues(m_bits, layout.bits, layout.bitsFormat);

    auto* grid = new QGridLayout(this);
    grid->addWidget(BuddyLabel(kPresetLabel, m_preset), 0, 0);
    grid->addWidget(m_preset, 0, 1, 1, 3);
    grid->addWidget(BuddyLabel(kRateLabel, m_rate), 1, 0);
    grid->addWidget(m_rate, 1, 1);
    grid->addWidget(BuddyLabel(layout.bitsLabel, m_bits), 1, 2);
    grid->addWidget(m_bits, 1, 3);
    grid->addWidget(new QLabel(QString::fromUtf8(kChannelsLabel)), 2, 0);
    auto* row = new QHBoxLayout;
    for (const ChannelButton& c : m_channelValues) {
        auto* b = Named(new QRadioButton(QString::fromUtf8(c.text)), c.name, c.text);
        m_channels.push_back(b);
        row->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this, v = c.value] { emit ChannelChosen(v); });
    }
    row->addStretch();
    grid->addLayout(row, 2, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(m_preset, &QComboBox::activated, this, &PresetControls::OnPreset);
    connect(m_rate, &QComboBox::activated, this, [this] { emit RateChosen(Rate()); });
    connect(m_bits, &QComboBox::activated, this, [this] { emit BitsChosen(Bits()); });
}

void PresetControls::Load(std::int32_t autoFlag, std::int32_t rate, std::int32_t bits, std::int32_t channel) {
    recordedRate = rate;
    recordedBits = bits;
    m_loadedChannel = channel;
    int preset = CustomIndex();
    if (autoFlag) {
        preset = 0;
    } else {
        for (std::size_t i = 0; i < m_presets.size(); ++i)
            if (m_presets[i].rate == rate && m_presets[i].bits == bits && m_presets[i].channel == channel)
                preset = int(i) + 1;
    }
    m_preset->setCurrentIndex(preset);
    SelectValue(m_bits, bits);
    SelectValue(m_rate, rate);
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        const bool exclusive = m_channels[i]->autoExclusive();
        m_channels[i]->setAutoExclusive(false);
        m_channels[i]->setChecked(m_channelValues[i].value == channel);
        m_channels[i]->setAutoExclusive(exclusive);
    }
    SetListsEnabled(!autoFlag);
}

void PresetControls::Store(std::int32_t& autoFlag, std::int32_t& rate, std::int32_t& bits,
                           std::int32_t& channel) const {
    autoFlag = m_preset->currentIndex() == 0 ? 1 : 0;
    if (autoFlag) return;
    rate = Rate();
    bits = Bits();
    channel = Channel();
}

int PresetControls::Rate() const {
    return SelectedValue(m_rate);
}
int PresetControls::Bits() const {
    return SelectedValue(m_bits);
}

int PresetControls::Channel() const {
    for (std::size_t i = 0; i < m_channels.size(); ++i)
        if (m_channels[i]->isChecked()) return m_channelValues[i].value;
    return m_loadedChannel;
}

void PresetControls::ShowRate(int rate) {
    SelectValue(m_rate, rate);
}
void PresetControls::RenameBits(int bits, const char* text) {
    const int index = m_bits->findData(bits);
    if (index >= 0) m_bits->setItemText(index, QString::fromUtf8(text));
}

void PresetControls::ShowBits(int bits) {
    SelectValue(m_bits, bits);
}
void PresetControls::SwitchToCustom() {
    m_preset->setCurrentIndex(CustomIndex());
}

void PresetControls::Record() {
    recordedRate = Rate();
    recordedBits = Bits();
}

void PresetControls::OnPreset(int index) {
    SetListsEnabled(index != 0);
    if (index < 1 || index > int(m_presets.size())) return;  // "Auto" or "Custom"
    const EncodingPreset& p = m_presets[std::size_t(index) - 1];
    ShowRate(p.rate);
    ShowBits(p.bits);
    for (std::size_t i = 0; i < m_channels.size(); ++i)
        if (m_channelValues[i].value == p.channel) m_channels[i]->setChecked(true);
    recordedRate = p.rate;
    recordedBits = p.bits;
}

void PresetControls::SetListsEnabled(bool on) {
    m_rate->setEnabled(on);
    m_bits->setEnabled(on);
    for (auto* b : m_channels) b->setEnabled(on);
}

int PresetControls::CustomIndex() const {
    return int(m_presets.size()) + 1;
}
