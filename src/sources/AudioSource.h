#pragma once
#include <cstdint>
#include <string>

#include "sources/TagSet.h"

/// Most frames one ReadBlock call delivers.
inline constexpr int kBlockFrames = 1152;

/// GetBitsPerSample of full-resolution blocks: 32-bit float samples, full scale at ±1.0.
inline constexpr int kFloatBits = 32;

/// What a source tells about its open stream; the default values describe none (channel mode 4:
/// not known). A base of AudioSource, so that one assignment resets every field.
struct StreamDescription {
    std::int64_t m_totalLength = 0;
    std::int64_t m_position = 0;
    int m_duration = 0;
    int m_sampleRate = 0;
    int m_channels = 0;
    int m_outputChannels = 0;
    int m_bitsPerSample = 0;
    int m_bytesPerSample = 0;
    int m_heldBits = 0;        // precision of the stream (24 for 24-bit PCM, 32 for float); 0: as delivered
    bool m_heldFloat = false;  // the stream's own samples are floats
    int m_bitrate = 0;
    int m_channelMode = 4;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    double m_videoFrameRate = 0.0;
    bool m_soundMissing = false;  // the header places audio where the file holds none
};

/// How reading a stream went, told once ReadBlock has ended it.
struct ReadOutcome {
    bool failed = false;             // the audio delivered is not the stream's (damage): the conversion fails
    std::string note;                // why it failed; or, when it did not, a warning about what was delivered
    std::int64_t damagedFrames = 0;  // coded frames the decoder skipped or concealed
    std::int64_t missingFrames = 0;  // frames the header announced past the end of the file
};

/// The decoder interface: opens one file, describes the stream and delivers planar PCM blocks.
///
/// Block convention: ReadBlock fills at most kBlockFrames frames into caller-owned planar
/// buffers (right only when GetOutputChannels() is 2, else null and untouched); 16-bit samples
/// are signed native-endian, 8-bit samples unsigned with 128 as silence. A result below 1 ends
/// the stream. Open begins with Close, so an object can be reopened; the destructor closes.
/// After a successful RequestFullResolution, blocks hold floats instead (kFloatBits).
class AudioSource : protected StreamDescription {
public:
    AudioSource() = default;
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;

    virtual void Close() = 0;
    virtual int Open(const char* path, int renderRate) = 0;  // nonzero on success
    virtual int ReadBlock(void* left, void* right) = 0;      // frames; < 1 ends the stream
    virtual std::int64_t GetTotalLength() { return m_totalLength; }
    virtual std::int64_t GetPosition() { return m_position; }
    virtual int GetDuration() { return m_duration; }  // whole seconds
    virtual int GetChannels() { return m_channels; }
    virtual int GetOutputChannels() { return m_outputChannels; }
    virtual int GetSampleRate() { return m_sampleRate; }
    virtual int GetBitsPerSample() { return m_bitsPerSample; }
    /// Bits of precision the stream holds (8 to 32; float counts as 32), whatever it delivers.
    virtual int GetHeldBits() { return m_heldBits > 0 ? m_heldBits : m_bitsPerSample; }
    /// The stream's own samples are floats (GetHeldBits then reports kFloatBits).
    virtual bool HoldsFloat() { return m_heldFloat; }
    /// Asks for full-resolution blocks (float, kFloatBits) from the next ReadBlock on, before the
    /// first block is read. 1 when they follow (GetBitsPerSample then reports kFloatBits); 0 when
    /// the class keeps its 8- or 16-bit blocks, which the caller then widens itself.
    virtual int RequestFullResolution() { return 0; }
    virtual int GetChannelMode() { return m_channelMode; }  // 0 stereo .. 3 mono, 4 unknown
    virtual int GetBitrate() { return m_bitrate; }          // kbit/s
    /// 128-byte ID3v1 block owned by the source until Close, or null.
    virtual const std::uint8_t* GetId3v1Tag() { return nullptr; }
    /// Whole ID3v2 block owned by the source until Close, or null with size 0.
    virtual const std::uint8_t* GetId3v2Tag(int& size) {
        size = 0;
        return nullptr;
    }
    /// Fills the caller's texts; 0 leaves them untouched.
    virtual int ReadTags(TagSet& tags) {
        (void)tags;
        return 0;
    }
    virtual void GetVideoSize(int& width, int& height) {
        width = m_videoWidth;
        height = m_videoHeight;
    }
    virtual double GetFrameRate() { return m_videoFrameRate; }
    /// The header announces audio the file does not hold (it would lie past the end): converting
    /// it fails instead of writing an output without sound.
    bool SoundMissing() const { return m_soundMissing; }
    /// Asked after ReadBlock ended the stream; sources that cannot tell damage report nothing.
    virtual ReadOutcome GetReadOutcome() { return {}; }
    virtual ~AudioSource() = default;

protected:
    /// Back to the description of no stream.
    void ResetCommon() { static_cast<StreamDescription&>(*this) = StreamDescription{}; }
};
