#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encoders/Id3Tag.h"
#include "platform/UniqueFile.h"

struct lame_global_struct;

/// Constant-bit-rate MP3 writer over LAME; ID3v2 before the frames, ID3v1 after.
/// A writer that failed once stays failed: every later Encode and Finish report 0.
class Mp3Writer {
public:
    static constexpr std::size_t kOutputBytes = 16384;  // every LAME call writes into this

    Mp3Writer();
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;
    ~Mp3Writer() { Finish(); }  // releases; a caller that cares calls Finish itself

    /// Finishes any file still open, then creates `path` and a LAME encoder; 0 if either fails.
    int Open(const std::string& path);
    void SetInputRate(int rate);
    void SetChannels(int count);  // limited to 1..2
    void SetMode(int mode);       // 0 stereo, 1 joint stereo, 3 mono; anything else is stereo
    void SetOutputRate(int rate);
    void SetBitrate(int kbps);  // limited to 8..320; LAME may lower it further for low rates
    /// Copies exactly kId3v1Bytes from block; null drops the tag.
    void SetId3v1(const std::uint8_t* block);
    /// Copies `length` bytes from block; null or 0 drops the tag.
    void SetId3v2(const std::uint8_t* block, std::size_t length);

    /// With on, the first frame is the LAME info frame (encoder delay, padding, length), filled in
    /// by Finish, so decoders play exactly what was encoded; off writes audio frames only.
    void SetInfoFrame(bool on) { m_infoFrame = on; }

    /// Constant bit rate; writes the ID3v2 block. 0 when LAME rejects the parameters or the write
    /// fails.
    int Start();
    /// Planar 16-bit samples; right is read only for two channels and must then be given.
    int Encode(const std::int16_t* left, const std::int16_t* right, int frames);
    /// As Encode, for full-resolution samples (full scale ±1.0).
    int EncodeFloat(const float* left, const float* right, int frames);
    /// Flushes LAME, writes the ID3v1 block, closes the file and the encoder: 0 if any step of
    /// this file failed. Harmless when nothing is open.
    int Finish();

    bool IsOpen() const { return static_cast<bool>(m_out); }
    int Channels() const { return m_channels; }

private:
    struct LameClose {
        void operator()(lame_global_struct* lame) const noexcept;
    };
    using LameHandle = std::unique_ptr<lame_global_struct, LameClose>;

    int WriteBytes(const void* data, std::size_t bytes);
    int WriteInfoFrame();
    template <typename Sample, typename Call>
    int EncodeWith(const Sample* left, const Sample* right, int frames, Call call);

    std::string m_path;
    UniqueFile m_out;
    LameHandle m_lame;
    std::vector<unsigned char> m_buffer;
    std::optional<std::array<std::uint8_t, kId3v1Bytes>> m_id3v1;
    std::vector<std::uint8_t> m_id3v2;
    int m_channels = 2;  // LAME's default until SetChannels
    bool m_infoFrame = false;
    bool m_started = false;
    bool m_failed = false;
};
