#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/wmf/WmTypes.h"
#include "sources/TagSet.h"

class WmWriter;

/// The WMA encoder of one conversion over the Windows Media runtime's writer: PCM in the
/// source's rate, depth and channels in, the chosen codec format out, tags as header attributes.
class WmaWriter {
public:
    WmaWriter();
    ~WmaWriter();  // releases; a started file that was not finished stays incomplete
    WmaWriter(const WmaWriter&) = delete;
    WmaWriter& operator=(const WmaWriter&) = delete;

    void SetPath(const std::string& path);
    /// bitsPerSample: 8 or 16 for PCM, 32 for floats.
    void SetInputFormat(int sampleRate, int bitsPerSample, int channels);
    void SetCodec(const WmMediaType& mediaType, int bitrate);
    /// Texts in the system code page; an empty text is stored as absent. track 0: none.
    void SetTags(const TagSet& tags, int track);
    /// Builds the profile, the PCM input and the header attributes and begins the file. 0 when
    /// any runtime call fails; everything is released then.
    int Start();
    /// Planar blocks; right is used only with two input channels.
    int Write16(const std::int16_t* left, const std::int16_t* right, int frames);
    int Write8(const std::uint8_t* left, const std::uint8_t* right, int frames);
    /// Full-resolution samples (full scale ±1.0), after SetInputFormat with 32 bits.
    int WriteFloat(const float* left, const float* right, int frames);
    /// Ends the file and releases the runtime. 0 if ending failed or nothing was started.
    int Finish();

    std::int64_t SampleTime() const { return m_sampleTime; }
    /// 100-ns units that a block of frames lasts at a rate, truncated.
    static std::int64_t SampleTimeStep(int frames, int sampleRate);

private:
    template <typename T>
    int Write(const T* left, const T* right, int frames);
    void AddAttributes();

    std::string m_path;
    int m_rate = 0;
    int m_bits = 16;
    int m_channels = 2;
    WmMediaType m_codec;
    int m_bitrate = 0;
    std::optional<std::u16string> m_title, m_album, m_artist, m_genre, m_year, m_comment, m_composer,
        m_copyright;
    std::uint32_t m_track = 0;
    std::unique_ptr<WmWriter> m_writer;
    std::uint32_t m_input = 0;
    std::int64_t m_sampleTime = 0;
};
