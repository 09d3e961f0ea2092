#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/AudioSource.h"
#include "sources/G72xDecoder.h"
#include "sources/SoundData.h"

/// What an AuSource holds for its open file; the default values are those of a closed reader, so
/// Close resets it with one assignment.
struct AuState {
    using SampleReader = std::int16_t (*)(const std::uint8_t*);

    UniqueFile m_file;
    std::vector<std::uint8_t> m_raw;
    bool m_bigEndian = true;
    int m_encoding = 0;
    int m_storedBits = 0;
    std::int64_t m_dataOffset = 0;
    SoundData m_data;
    std::int64_t m_announcedFrames = 0;  // as the header's data size gives them; 0 when unknown
    SampleReader m_sampleAt = nullptr;   // linear, float and G.711 encodings
    float (*m_floatAt)(const std::uint8_t*) = nullptr;  // linear wider than 16 bits and float
    bool m_full = false;                                // delivering floats
    std::optional<G72xDecoder> m_adpcm;                 // ADPCM encodings; one state for both channels
    std::uint32_t m_reservoir = 0;                      // ADPCM codes not yet used, least significant first
    int m_reservoirBits = 0;
};

/// Sun/NeXT audio reader: linear 8 to 32 bits, float, double, G.711 and G.721/G.723 ADPCM, in
/// either byte order. A damaged encoding field is searched for; out-of-range rates and channel
/// counts are replaced. Delivers 16-bit mono or stereo, or, when asked, floats for linear samples
/// wider than 16 bits and float.
class AuSource final : public AudioSource, private AuState {
public:
    ~AuSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // <= 1152 frames; < 1 ends the stream
    int RequestFullResolution() override;
    ReadOutcome GetReadOutcome() override { return m_data.Outcome(m_announcedFrames); }

private:
    /// The fields of the file's header, wherever a damaged header put them.
    struct Header {
        std::uint32_t dataOffset = 0, dataSize = 0, encoding = 0, rate = 0, channels = 0;
    };

    bool ParseHeader();
    std::optional<Header> ReadHeader();       // byte order, magic and fields
    bool ChooseEncoding(std::uint32_t code);  // sample converter or ADPCM decoder
    bool PlaceData(const Header& header);     // stream figures and the start of the sound data
    int ReadLinear(std::int16_t* left, std::int16_t* right, std::size_t bytes);
    int ReadAdpcm(std::int16_t* left, std::int16_t* right, std::size_t bytes);
};
