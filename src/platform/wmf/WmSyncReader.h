#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/WmHeaderAttributes.h"
#include "platform/wmf/WmProfile.h"
#include "platform/wmf/WmTypes.h"

enum class WmStreamSelection { Off = 0, CleanPointsOnly = 1, On = 2 };

/// Reads the streams of an ASF file; audio streams are delivered decoded as 16-bit
/// interleaved PCM with all their channels, in the stream's channel order.
///
/// Outputs are numbered like the file's streams in profile order. Sample times are in 100-ns
/// units, counted from the first decoded sample.
class WmSyncReader {
public:
    WmSyncReader();
    ~WmSyncReader();
    WmSyncReader(const WmSyncReader&) = delete;
    WmSyncReader& operator=(const WmSyncReader&) = delete;

    WmResult Open(const char* path);
    WmResult Close();
    /// The file's streams, numbered as in the file.
    WmResult GetProfile(std::unique_ptr<WmProfile>& profile) const;
    WmResult SetStreamsSelected(std::uint16_t count, const std::uint16_t* streams,
                                const WmStreamSelection* selections);
    /// Only uncompressed reading (compressed false) is offered.
    WmResult SetReadStreamSamples(std::uint16_t stream, bool compressed);
    WmResult GetOutputCount(std::uint32_t& count) const;
    WmResult GetOutputProps(std::uint32_t output, std::unique_ptr<WmMediaProps>& props) const;
    /// The next decoded sample of a selected audio stream (stream 0: any selected one);
    /// kWmNoMoreSamples at the end.
    WmResult GetNextSample(std::uint16_t stream, std::unique_ptr<WmBuffer>& sample, std::uint64_t& sampleTime,
                           std::uint64_t& duration, std::uint32_t& flags, std::uint32_t& output,
                           std::uint16_t& streamNumber);
    /// A header attribute by name (stream 0: the file's). With value null, learns type and
    /// length; kWmAttributeNotFound when the file does not have it.
    WmResult GetAttributeByName(std::uint16_t& stream, const char* name, WmAttrType& type,
                                std::uint8_t* value, std::uint16_t& length) const;

private:
    struct Demuxer;
    std::unique_ptr<Demuxer> m_demuxer;
    std::vector<WmAttribute> m_attributes;
};

WmResult WMCreateSyncReader(std::unique_ptr<WmSyncReader>& reader);
