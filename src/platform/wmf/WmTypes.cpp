#include "platform/wmf/WmTypes.h"

#include <algorithm>

namespace {

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(Le16(p)) | static_cast<std::uint32_t>(Le16(p + 2)) << 16;
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

bool WmMediaType::GetWaveFormat(WaveFormatEx& wave) const {
    if (!(formatType == kFormatWaveFormatEx) || format.size() < 16) return false;
    const std::uint8_t* p = format.data();
    wave.formatTag = Le16(p);
    wave.channels = Le16(p + 2);
    wave.samplesPerSec = Le32(p + 4);
    wave.avgBytesPerSec = Le32(p + 8);
    wave.blockAlign = Le16(p + 12);
    wave.bitsPerSample = Le16(p + 14);
    wave.extraSize = format.size() >= kWaveFormatExSize ? Le16(p + 16) : 0;
    return true;
}

std::vector<std::uint8_t> WmMediaType::ExtraBytes() const {
    WaveFormatEx wave;
    if (!GetWaveFormat(wave) || format.size() <= kWaveFormatExSize) return {};
    const std::size_t n = std::min<std::size_t>(wave.extraSize, format.size() - kWaveFormatExSize);
    return {format.begin() + kWaveFormatExSize,
            format.begin() + static_cast<std::ptrdiff_t>(kWaveFormatExSize + n)};
}

WmMediaType WmMediaType::Audio(const WmGuid& subtype, const WaveFormatEx& wave,
                               const std::vector<std::uint8_t>& extra) {
    WmMediaType type;
    type.majorType = kMediaTypeAudio;
    type.subtype = subtype;
    type.fixedSizeSamples = true;
    type.sampleSize = wave.blockAlign;
    type.formatType = kFormatWaveFormatEx;
    Put16(type.format, wave.formatTag);
    Put16(type.format, wave.channels);
    Put32(type.format, wave.samplesPerSec);
    Put32(type.format, wave.avgBytesPerSec);
    Put16(type.format, wave.blockAlign);
    Put16(type.format, wave.bitsPerSample);
    Put16(type.format, static_cast<std::uint16_t>(extra.size()));
    type.format.insert(type.format.end(), extra.begin(), extra.end());
    return type;
}
