#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/AudioSource.h"
#include "sources/GsmHandle.h"
#include "sources/ImaAdpcm.h"
#include "sources/MsAdpcm.h"
#include "sources/SoundData.h"

class WavFileSource;

/// What a WavFileSource holds for its open file; the default values are those of a closed
/// reader, so Close resets it with one assignment.
struct WavFileState {
    using Converter = int (WavFileSource::*)(void* left, void* right);
    using Expander = std::int16_t (*)(std::uint8_t);
    using FloatReader = float (*)(const std::uint8_t*);

    UniqueFile m_file;
    SoundData m_data;                    // the data chunk
    std::int64_t m_announcedFrames = 0;  // as the data chunk's size gives them; 0 when unknown
    int m_formatTag = 0;
    int m_fileBits = 0;
    int m_subFormat = 0;  // format tag in an extensible record's sub-format GUID, 0 when none
    Converter m_convert = nullptr;
    Expander m_expand = nullptr;
    FloatReader m_floatAt = nullptr;  // PCM wider than 16 bits and float, read at full resolution
    std::vector<std::uint8_t> m_read;
    std::vector<std::int16_t> m_decoded;
    std::size_t m_readSize = 0;
    int m_decodedCount = 0;  // samples (all channels) in m_decoded
    int m_decodedIndex = 0;  // next unread sample; 0 with m_decodedCount 0 = nothing pending
    AdpcmFormat m_adpcmFormat;
    std::unique_ptr<MsAdpcm> m_msAdpcm;
    std::unique_ptr<ImaAdpcm> m_imaAdpcm;
    GsmHandle m_gsm;
};

/// RIFF WAVE reader with its own converters: integer PCM 8/16/24/32, IEEE float 32/64, G.711,
/// MS ADPCM, IMA ADPCM and GSM 6.10 (WAV49 framing). Delivers 16-bit samples, except 8-bit PCM,
/// which stays unsigned 8-bit, and wider PCM and float at full resolution when asked. The first two channels
/// of a multichannel file are delivered.
class WavFileSource final : public AudioSource, private WavFileState {
public:
    ~WavFileSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // <= 1152 frames; < 1 ends the stream
    int RequestFullResolution() override;                 // PCM wider than 16 bits and float
    ReadOutcome GetReadOutcome() override { return m_data.Outcome(m_announcedFrames); }

private:
    bool ParseHeader();
    bool ParseFormat(std::uint32_t chunkSize);
    // The steps of ParseFormat; rest is what the chunk holds after its first 16 bytes.
    bool ReadCommonFormat();
    bool ReadExtensibleFormat(std::int64_t rest);
    bool ReadMsAdpcmFormat(std::int64_t rest);
    bool ReadImaAdpcmFormat(std::int64_t rest);
    bool ReadGsmFormat(std::int64_t rest);
    bool DescribeData(std::uint32_t size);
    bool ChooseConverter();
    /// Reads up to `want` bytes of the data chunk; advances the position.
    std::size_t ReadClamped(std::uint8_t* dst, std::size_t want);
    template <typename Out, typename Convert>
    int ReadInterleaved(std::size_t sampleBytes, void* left, void* right, Convert convert);

    int ReadPcm8(void* left, void* right);
    int ReadPcm16(void* left, void* right);
    int ReadPcm24(void* left, void* right);
    int ReadPcm32(void* left, void* right);
    int ReadFloat32(void* left, void* right);
    int ReadFloat64(void* left, void* right);
    int ReadFull(void* left, void* right);
    int ReadG711(void* left, void* right);
    int ReadBlocks(void* left, void* right);
    /// Decodes the block in m_read into m_decoded; false on a decode error.
    bool DecodeBlock();
};
