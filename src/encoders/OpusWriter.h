#pragma once
#include <opus/opusenc.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/TagSet.h"

/// How an Opus stream is coded. The input is always at 48 kHz.
struct OpusParameters {
    int channels = 2;         // 1 or 2
    int bitrate = 128000;     // bit/s, all channels together
    int rateControl = 0;      // 0 VBR, 1 constrained VBR, 2 CBR
    int complexity = 10;      // 0..10
    int signal = 0;           // 0 automatic, 1 music, 2 voice
    std::int32_t serial = 0;  // of the Ogg stream
};

/// Ogg Opus writer over libopusenc: OpusHead with the pre-skip and an output gain of 0, OpusTags,
/// and an end granule that trims the last packet to the samples given. A writer that failed once
/// stays failed until the next Open.
class OpusWriter {
public:
    static constexpr int kRate = 48000;

    OpusWriter();
    OpusWriter(const OpusWriter&) = delete;
    OpusWriter& operator=(const OpusWriter&) = delete;
    ~OpusWriter();  // releases; a caller that cares calls Finish itself

    /// Creates `path` and sets the encoder up, with the tags when given; 0 when the file cannot
    /// be created or libopus rejects the parameters.
    int Open(const std::string& path, const OpusParameters& params, const TagSet* tags);
    /// Planar 48 kHz samples (right only for two channels). 0 when encoding or writing failed.
    int Encode(const std::int16_t* left, const std::int16_t* right, int frames);
    int EncodeFloat(const float* left, const float* right, int frames);
    /// Codes what is buffered, ends the stream and closes the file; 0 if anything failed.
    int Finish();

private:
    struct EncoderDeleter {
        void operator()(OggOpusEnc* e) const { ope_encoder_destroy(e); }
    };
    struct CommentsDeleter {
        void operator()(OggOpusComments* c) const { ope_comments_destroy(c); }
    };
    static int WriteBytes(void* client, const unsigned char* data, opus_int32 length);
    static int CloseStream(void* client);
    template <typename Sample>
    int Interleave(const Sample* left, const Sample* right, int frames, std::vector<Sample>& buffer);

    UniqueFile m_out;
    std::unique_ptr<OggOpusComments, CommentsDeleter> m_comments;  // outlives the encoder that reads it
    std::unique_ptr<OggOpusEnc, EncoderDeleter> m_encoder;
    std::vector<std::int16_t> m_shorts;
    std::vector<float> m_floats;
    int m_channels = 0;
    bool m_failed = false;
};
