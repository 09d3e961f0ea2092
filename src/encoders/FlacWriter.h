#pragma once
#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/TagSet.h"

/// What a FLAC stream is made of.
struct FlacParameters {
    int rate = 44100;
    int channels = 2;     // 1 or 2
    int bits = 16;        // 8, 16 or 24
    int compression = 5;  // libFLAC's levels 0..8
    /// libFLAC decodes every frame again as it encodes and fails the file on any difference.
    bool verify = false;
    /// Frames expected, for the seek table; 0 when unknown (then no seek table).
    std::uint64_t expectedFrames = 0;
};

/// FLAC writer over libFLAC's stream encoder: STREAMINFO with the MD5 of the audio, a seek table
/// (a point every ten seconds), Vorbis comments and padding, so that tags can be edited in place.
/// A writer that failed once stays failed until the next Open.
class FlacWriter {
public:
    FlacWriter();
    FlacWriter(const FlacWriter&) = delete;
    FlacWriter& operator=(const FlacWriter&) = delete;
    ~FlacWriter();  // releases; a caller that cares calls Finish itself

    /// Creates `path` and starts the stream, with the tags when given; 0 when the file cannot be
    /// created or libFLAC rejects the parameters.
    int Open(const std::string& path, const FlacParameters& params, const TagSet* tags);
    /// Planar samples right-aligned in 32-bit words (right only for two channels). 0 when encoding
    /// or writing failed, now or before.
    int Encode(const std::int32_t* left, const std::int32_t* right, int frames);
    /// Ends the stream and rewrites STREAMINFO and the seek table; 0 if anything failed.
    int Finish();

    bool IsOpen() const { return static_cast<bool>(m_out); }

private:
    struct EncoderDeleter {
        void operator()(FLAC__StreamEncoder* e) const { FLAC__stream_encoder_delete(e); }
    };
    struct MetadataDeleter {
        void operator()(FLAC__StreamMetadata* m) const { FLAC__metadata_object_delete(m); }
    };
    struct Callbacks;
    using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

    void Release();
    bool Start(const std::string& path, const FlacParameters& params, const TagSet* tags);

    UniqueFile m_out;
    std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> m_encoder;
    std::vector<Metadata> m_metadata;  // libFLAC keeps pointers to these until it is finished
    FLAC__StreamMetadata* m_seekTable = nullptr;
    std::uint64_t m_written = 0;  // frames handed to the encoder
    int m_channels = 0;
    bool m_failed = false;
};
