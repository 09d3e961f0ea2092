#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/WmTypes.h"

/// Media properties: the type and the media type of a stream, a writer input or a reader output.
class WmMediaProps {
public:
    WmResult GetType(WmGuid& type) const;
    WmResult GetMediaType(WmMediaType& type) const;
    WmResult SetMediaType(const WmMediaType& type);

private:
    WmMediaType m_type;
};

/// One stream of a profile.
class WmStreamConfig : public WmMediaProps {
public:
    explicit WmStreamConfig(const WmGuid& streamType) : m_streamType(streamType) {}
    WmResult GetStreamType(WmGuid& type) const;
    WmResult GetStreamNumber(std::uint16_t& number) const;
    WmResult SetStreamNumber(std::uint16_t number);
    WmResult SetStreamName(const std::string& name);
    WmResult SetConnectionName(const std::string& name);
    WmResult GetBitrate(std::uint32_t& bitrate) const;
    WmResult SetBitrate(std::uint32_t bitrate);
    WmResult SetBufferWindow(std::uint32_t milliseconds);

private:
    WmGuid m_streamType;
    std::uint16_t m_number = 0;
    std::string m_name;
    std::string m_connection;
    std::uint32_t m_bitrate = 0;
    std::uint32_t m_bufferWindow = 0;
};

/// The streams a file is written with or was found to have.
class WmProfile {
public:
    explicit WmProfile(std::uint32_t version = 0x00090000) : m_version(version) {}
    WmResult CreateNewStream(const WmGuid& streamType, std::unique_ptr<WmStreamConfig>& config) const;
    /// Adds a copy; the stream number must be 1..127 and not taken.
    WmResult AddStream(const WmStreamConfig& config);
    WmResult GetStreamCount(std::uint32_t& count) const;
    /// A copy of the stream at index.
    WmResult GetStream(std::uint32_t index, std::unique_ptr<WmStreamConfig>& config) const;
    std::uint32_t Version() const { return m_version; }

private:
    std::uint32_t m_version;
    std::vector<WmStreamConfig> m_streams;
};

/// Creates profiles and lists the audio codec formats the runtime offers.
class WmProfileManager {
public:
    WmResult CreateEmptyProfile(std::uint32_t version, std::unique_ptr<WmProfile>& profile) const;
    /// Codecs of a media type: one WMA codec for audio, none for anything else.
    WmResult GetCodecInfoCount(const WmGuid& mediaType, std::uint32_t& count) const;
    WmResult GetCodecFormatCount(const WmGuid& mediaType, std::uint32_t codec, std::uint32_t& count) const;
    /// A stream configuration carrying the format's media type and bit rate, and its description
    /// ("128 kbps, 44 kHz, stereo CBR").
    WmResult GetCodecFormatDesc(const WmGuid& mediaType, std::uint32_t codec, std::uint32_t format,
                                std::unique_ptr<WmStreamConfig>& config, std::string& description) const;
};

WmResult WMCreateProfileManager(std::unique_ptr<WmProfileManager>& manager);
