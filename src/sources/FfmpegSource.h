#pragma once
#include <cstdint>

#include "sources/AudioSource.h"
#include "sources/FfmpegHandles.h"

/// Decodes the first audio stream of any container FFmpeg opens; more than two channels
/// are asked of the decoder as stereo, otherwise the first two are delivered.
class FfmpegSource final : public AudioSource {
public:
    FfmpegSource() = default;
    ~FfmpegSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // fills up to 1152 frames; < 1 ends
    int RequestFullResolution() override;                 // the decoder's samples as floats
    int ReadTags(TagSet& tags) override;                  // container metadata
    ReadOutcome GetReadOutcome() override;                // packets the decoder rejected

    /// Consecutive decoder failures after which the stream ends.
    static constexpr int kMaxDecodeFailures = 64;

private:
    using Converter = void (FfmpegSource::*)(void* left, void* right, int at, int count);
    bool FeedDecoder();
    bool PickConverter();
    template <typename T>
    void Convert(void* left, void* right, int at, int count);

    FormatContextPtr m_format;
    CodecContextPtr m_codec;
    FramePtr m_frame;
    PacketPtr m_packet;
    int m_stream = -1;
    Converter m_convert = nullptr;  // for the pending frame's sample format
    int m_frameCursor = 0;          // frames of the pending frame already delivered
    bool m_framePending = false;
    bool m_draining = false;  // the container is exhausted; the decoder is being flushed
    bool m_ended = false;
    bool m_float = false;        // blocks of floats
    bool m_read = false;         // a block was asked for
    std::int64_t m_damaged = 0;  // packets rejected and frames the decoder failed on
};
