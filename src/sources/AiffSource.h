#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/UniqueFile.h"
#include "sources/AudioSource.h"
#include "sources/GsmHandle.h"
#include "sources/SoundData.h"

class AiffSource;

/// What an AiffSource holds for its open file; the default values are those of a closed reader,
/// so Close resets it with one assignment.
struct AiffState {
    using Converter = int (AiffSource::*)(void* left, void* right);
    using SampleReader = std::int16_t (*)(const std::uint8_t*);

    /// Bit reservoir and history of the DWVW decoder.
    struct DwvwState {
        int bitWidth = 0;
        int maxModifier = 0;
        int maxDelta = 0;
        int span = 0;
        int lastDeltaWidth = 0;
        int lastSample = 0;
        std::uint32_t bits = 0;
        int bitCount = 0;
        int padBits = 0;     // zero bits added below the reservoir after the data ended
        bool ended = false;  // a value reached into those padding bits
        std::uint8_t buffer[256] = {};
        int index = 0;
        int end = 0;
    };

    UniqueFile m_file;
    bool m_aifc = false;
    int m_frames = 0;
    int m_sampleSize = 0;
    int m_coding = 0;
    bool m_littleEndian = false;
    int m_sampleBytes = 0;  // stored bytes of one sample
    int m_rightIndex = 0;   // sample of a frame delivered as right
    std::int64_t m_dataStart = 0;
    SoundData m_data;  // the sound in the SSND chunk
    Converter m_convert = nullptr;
    SampleReader m_sampleAt = nullptr;
    float (*m_floatAt)(const std::uint8_t*) = nullptr;  // PCM wider than 16 bits and float
    std::uint8_t m_byteXor = 0;                         // 0x80 turns signed 8-bit samples into offset-binary
    std::vector<std::uint8_t> m_raw;
    GsmHandle m_gsm;
    std::vector<std::int16_t> m_gsmSamples;
    DwvwState m_dwvw;
    std::vector<std::int32_t> m_dwvwValues;
    std::int64_t m_dwvwValuesLeft = 0;  // values the frame count still allows
};

/// AIFF and AIFF-C reader: integer PCM of 8 to 32 bits in either byte order, 32- and 64-bit
/// floats, G.711, raw offset-binary bytes, Apple IMA4 (stereo), GSM 6.10 and DWVW. Delivers
/// 16-bit samples, or unsigned 8-bit for 8-bit PCM and raw bytes. Files of 3, 4 or 6 channels
/// deliver two of them (channels 1 and 4 of six: left and right in the AIFF order).
/// Progress is the absolute file offset against the file size.
class AiffSource final : public AudioSource, private AiffState {
public:
    ~AiffSource() override { Close(); }
    void Close() override;
    int Open(const char* path, int renderRate) override;  // renderRate is ignored
    int ReadBlock(void* left, void* right) override;      // <= 1152 frames; < 1 ends the stream
    int RequestFullResolution() override;                 // PCM wider than 16 bits and float
    ReadOutcome GetReadOutcome() override { return m_data.Outcome(m_frames); }

private:
    bool ParseChunks();
    bool ParseComm(std::int64_t size);
    bool ChooseConverter();
    /// Reads up to `want` sound bytes into m_raw; advances the position by the bytes read.
    std::size_t ReadSound(std::size_t want);

    int ReadSamples8(void* left, void* right);
    int ReadSamples16(void* left, void* right);
    int ReadSamplesFull(void* left, void* right);
    int ReadIma4(void* left, void* right);
    int ReadGsm(void* left, void* right);
    int ReadDwvw(void* left, void* right);
    int DecodeDwvw(int count);
    int DwvwBits(int count);
    int DwvwModifier();
    void DwvwLoad(int count);
};
