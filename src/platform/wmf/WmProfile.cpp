#include "platform/wmf/WmProfile.h"

#include <algorithm>

#include "platform/wmf/WmaCodecTable.h"

WmResult WmMediaProps::GetType(WmGuid& type) const {
    type = m_type.majorType;
    return kWmOk;
}

WmResult WmMediaProps::GetMediaType(WmMediaType& type) const {
    type = m_type;
    return kWmOk;
}

WmResult WmMediaProps::SetMediaType(const WmMediaType& type) {
    m_type = type;
    return kWmOk;
}

WmResult WmStreamConfig::GetStreamType(WmGuid& type) const {
    type = m_streamType;
    return kWmOk;
}

WmResult WmStreamConfig::GetStreamNumber(std::uint16_t& number) const {
    number = m_number;
    return kWmOk;
}

WmResult WmStreamConfig::SetStreamNumber(std::uint16_t number) {
    if (number < 1 || number > 127) return kWmInvalidArg;
    m_number = number;
    return kWmOk;
}

WmResult WmStreamConfig::SetStreamName(const std::string& name) {
    m_name = name;
    return kWmOk;
}

WmResult WmStreamConfig::SetConnectionName(const std::string& name) {
    m_connection = name;
    return kWmOk;
}

WmResult WmStreamConfig::GetBitrate(std::uint32_t& bitrate) const {
    bitrate = m_bitrate;
    return kWmOk;
}

WmResult WmStreamConfig::SetBitrate(std::uint32_t bitrate) {
    m_bitrate = bitrate;
    return kWmOk;
}

WmResult WmStreamConfig::SetBufferWindow(std::uint32_t milliseconds) {
    m_bufferWindow = milliseconds;
    return kWmOk;
}

WmResult WmProfile::CreateNewStream(const WmGuid& streamType, std::unique_ptr<WmStreamConfig>& config) const {
    if (!(streamType == kMediaTypeAudio) && !(streamType == kMediaTypeVideo)) return kWmInvalidArg;
    config = std::make_unique<WmStreamConfig>(streamType);
    return kWmOk;
}

WmResult WmProfile::AddStream(const WmStreamConfig& config) {
    std::uint16_t number = 0;
    config.GetStreamNumber(number);
    if (number < 1) return kWmInvalidArg;
    const bool taken = std::any_of(m_streams.begin(), m_streams.end(), [&](const WmStreamConfig& s) {
        std::uint16_t n = 0;
        s.GetStreamNumber(n);
        return n == number;
    });
    if (taken) return kWmInvalidArg;
    m_streams.push_back(config);
    return kWmOk;
}

WmResult WmProfile::GetStreamCount(std::uint32_t& count) const {
    count = static_cast<std::uint32_t>(m_streams.size());
    return kWmOk;
}

WmResult WmProfile::GetStream(std::uint32_t index, std::unique_ptr<WmStreamConfig>& config) const {
    if (index >= m_streams.size()) return kWmInvalidArg;
    config = std::make_unique<WmStreamConfig>(m_streams[index]);
    return kWmOk;
}

WmResult WmProfileManager::CreateEmptyProfile(std::uint32_t version,
                                              std::unique_ptr<WmProfile>& profile) const {
    profile = std::make_unique<WmProfile>(version);
    return kWmOk;
}

WmResult WmProfileManager::GetCodecInfoCount(const WmGuid& mediaType, std::uint32_t& count) const {
    count = mediaType == kMediaTypeAudio ? 1 : 0;
    return kWmOk;
}

WmResult WmProfileManager::GetCodecFormatCount(const WmGuid& mediaType, std::uint32_t codec,
                                               std::uint32_t& count) const {
    if (!(mediaType == kMediaTypeAudio) || codec != 0) return kWmInvalidArg;
    count = static_cast<std::uint32_t>(WmaCodecFormats().size());
    return kWmOk;
}

WmResult WmProfileManager::GetCodecFormatDesc(const WmGuid& mediaType, std::uint32_t codec,
                                              std::uint32_t format, std::unique_ptr<WmStreamConfig>& config,
                                              std::string& description) const {
    const auto formats = WmaCodecFormats();
    if (!(mediaType == kMediaTypeAudio) || codec != 0 || format >= formats.size()) return kWmInvalidArg;
    const WmaCodecFormat& f = formats[format];
    auto type = WmaCodecMediaType(f.sampleRate, f.channels, f.bitrate);
    if (!type) return kWmFail;
    config = std::make_unique<WmStreamConfig>(kMediaTypeAudio);
    config->SetMediaType(*type);
    config->SetBitrate(static_cast<std::uint32_t>(f.bitrate));
    description = WmaFormatDescription(f);
    return kWmOk;
}

WmResult WMCreateProfileManager(std::unique_ptr<WmProfileManager>& manager) {
    manager = std::make_unique<WmProfileManager>();
    return kWmOk;
}
