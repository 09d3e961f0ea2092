#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One decoding channel of the decoding-library stand-in: describes its PCM and hands it out
/// in whole frames, never more than the announced length.
class BassChannel {
public:
    struct Description {
        std::uint32_t freq = 0;
        std::uint32_t chans = 0;
        bool eightBit = false;
        std::uint32_t ctype = 0;
        std::uint64_t length = 0;                     // bytes of PCM
        std::uint64_t fileStart = ~std::uint64_t{0};  // where the audio data begins
        std::uint64_t fileEnd = ~std::uint64_t{0};    // file size
        bool music = false;                           // freed with BASS_MusicFree
        bool padToLength = false;                     // synthesised: always delivers the whole length
        std::uint32_t origres = 0;  // bits of the source's own samples; see BASS_CHANNELINFO
    };

    BassChannel() = default;
    BassChannel(const BassChannel&) = delete;
    BassChannel& operator=(const BassChannel&) = delete;
    virtual ~BassChannel() = default;

    const Description& Info() const { return m_info; }
    const std::string& Path() const { return m_path; }
    std::uint64_t Position() const { return m_position; }
    std::uint32_t FrameBytes() const { return m_info.chans * (m_info.eightBit ? 1u : 2u); }

    /// Up to `bytes` bytes of interleaved PCM (whole frames); 0xFFFFFFFF at the end, and once the
    /// channel delivers floats.
    std::uint32_t GetData(void* buffer, std::uint32_t bytes);
    /// Up to `bytes` bytes of interleaved 32-bit floats (whole frames); 0xFFFFFFFF at the end. The
    /// first call before any read switches the decoder to floats when it can; otherwise its 8- or
    /// 16-bit samples are scaled. The position advances as for GetData.
    std::uint32_t GetFloatData(void* buffer, std::uint32_t bytes);

    /// Coded frames skipped so far because they were damaged.
    virtual std::uint64_t DamagedFrames() const { return 0; }
    /// Frames the file's header announced that the file turned out not to hold.
    virtual std::uint64_t MissingFrames() const { return 0; }

    /// Raw ID3 block (0: ID3v1, 1: ID3v2) or null.
    virtual const std::vector<std::uint8_t>* Id3Tag(std::uint32_t) { return nullptr; }

protected:
    /// Decodes up to `bytes` (a multiple of the frame size); fewer only at the end of the data.
    /// After StartFloat succeeded, frames are 32-bit floats.
    virtual std::size_t Render(std::uint8_t* out, std::size_t bytes) = 0;
    /// Makes Render deliver floats from now on (called before the first Render only); false when
    /// the decoder cannot.
    virtual bool StartFloat() { return false; }

    Description m_info;
    std::string m_path;

private:
    /// GetData with frames of outFrame bytes on the way out.
    std::uint32_t Fill(std::uint8_t* out, std::uint32_t bytes, std::uint32_t outFrame);

    std::uint64_t m_position = 0;
    bool m_ended = false;
    bool m_floatAsked = false;
    bool m_float = false;  // Render delivers floats
    std::vector<std::uint8_t> m_narrow;
};
