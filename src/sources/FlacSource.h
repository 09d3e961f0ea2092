#pragma once
#include <FLAC/stream_decoder.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/AudioSource.h"

/// What a FlacSource holds for its open file; the default values are those of a closed reader.
struct FlacState {
    struct DecoderDeleter {
        void operator()(FLAC__StreamDecoder* decoder) const;
    };
    /// Turns `count` decoded samples of `bits` bits into the delivered format at `out`.
    using Converter = void (*)(const std::int32_t* in, void* out, int count, int bits);

    UniqueFile m_file;
    std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> m_decoder;
    std::string m_path;
    bool m_ogg = false;
    bool m_haveInfo = false;
    int m_streamBits = 0;
    int m_maxBlockSize = 0;
    std::uint64_t m_totalSamples = 0;
    Converter m_convert = nullptr;
    // The decoded frame, its first two channels already in the delivered format; ReadBlock has
    // delivered m_pendingIndex of its frames.
    std::array<std::vector<std::uint8_t>, 2> m_pending;
    int m_pendingFrames = 0;
    int m_pendingIndex = 0;
    std::uint64_t m_nextSample = 0;  // where the next frame must begin for nothing to be missing
    bool m_ended = false;
    // Damage: frames lost (corrupt or missing) and the sample at which the first one began.
    std::uint64_t m_lostFrames = 0;
    std::uint64_t m_firstLoss = 0;
    bool m_syncLost = false;  // libFLAC lost synchronisation since the last frame
    bool m_readError = false;
    bool m_md5Mismatch = false;
};

/// FLAC reader over libFLAC, native or in Ogg, for files whose STREAMINFO gives the length. Delivers
/// the first two channels: 8-bit samples for streams of up to 8 bits, else 16-bit ones (the upper 16
/// bits of wider samples), or every bit as floats when asked. Frames that libFLAC finds corrupt or missing
/// fail the read, counted; an MD5 signature that does not match the decoded audio is a warning.
class FlacSource final : public AudioSource, private FlacState {
public:
    ~FlacSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // <= 1152 frames; < 1 ends the stream
    int RequestFullResolution() override;                 // every bit of the stream, as floats
    int ReadTags(TagSet& tags) override;
    ReadOutcome GetReadOutcome() override;

private:
    struct Callbacks;
    friend struct Callbacks;

    bool StartDecoder();
    /// Decodes the next frame into m_pending; false once the stream has ended (or is damaged).
    bool DecodeFrame();
    /// After damage: reads on to the end only to count the frames lost.
    void CountRemainingLoss();
    void ReachEnd();
    void OnFrame(const FLAC__Frame& frame, const std::int32_t* const buffer[]);
    void NoteLoss(std::uint64_t sample, std::uint64_t frames);
    bool Damaged() const { return m_lostFrames > 0 || m_readError; }
};
