#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/WmHeaderAttributes.h"
#include "platform/wmf/WmProfile.h"
#include "platform/wmf/WmTypes.h"

/// Writes one audio stream of PCM samples as WMA in an ASF file.
///
/// Input samples are 8- or 16-bit interleaved PCM at any rate with one or two channels; the
/// writer converts them to the profile's codec rate and channels. Header attributes are stored
/// after the file is complete. Call order: SetProfile, SetInputProps, AddAttribute,
/// SetOutputFilename, BeginWriting, WriteSample..., EndWriting.
class WmWriter {
public:
    WmWriter();
    ~WmWriter();  // releases; a file begun and not ended is closed incomplete
    WmWriter(const WmWriter&) = delete;
    WmWriter& operator=(const WmWriter&) = delete;

    /// The profile must hold one audio stream with a WMA media type.
    WmResult SetProfile(const WmProfile& profile);
    WmResult GetInputCount(std::uint32_t& count) const;
    WmResult GetInputProps(std::uint32_t input, std::unique_ptr<WmMediaProps>& props) const;
    /// Accepts PCM of 8 or 16 bits, one or two channels.
    WmResult SetInputProps(std::uint32_t input, const WmMediaProps& props);
    /// File-level attributes only (stream 0); strings are UTF-16LE, with or without a terminator.
    WmResult AddAttribute(std::uint16_t stream, const std::string& name, WmAttrType type,
                          std::uint16_t language, const std::uint8_t* value, std::uint32_t length);
    WmResult SetOutputFilename(const char* path);
    WmResult BeginWriting();
    WmResult AllocateSample(std::uint32_t size, std::unique_ptr<WmBuffer>& sample) const;
    /// sampleTime is in 100-ns units; samples are encoded in the order written.
    WmResult WriteSample(std::uint32_t input, std::uint64_t sampleTime, std::uint32_t flags,
                         WmBuffer& sample);
    /// Encodes what is buffered, completes the file and stores the attributes.
    WmResult EndWriting();

private:
    struct Encoder;
    WmResult Abandon(WmResult result);

    bool m_haveProfile = false;
    WmMediaType m_codecType;
    std::uint32_t m_bitrate = 0;
    WmMediaProps m_input;
    bool m_inputSet = false;
    std::vector<WmAttribute> m_attributes;
    std::string m_path;
    std::unique_ptr<Encoder> m_encoder;
};

WmResult WMCreateWriter(std::unique_ptr<WmWriter>& writer);
