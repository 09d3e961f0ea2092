#pragma once
#include <cstdint>
#include <vector>

/// Result codes of the Windows Media runtime calls: negative is failure.
using WmResult = std::int32_t;
inline constexpr WmResult kWmOk = 0;
inline constexpr WmResult kWmFail = static_cast<WmResult>(0x80004005u);
inline constexpr WmResult kWmInvalidArg = static_cast<WmResult>(0x80070057u);
inline constexpr WmResult kWmOutOfMemory = static_cast<WmResult>(0x8007000Eu);
inline constexpr WmResult kWmUnexpected = static_cast<WmResult>(0x8000FFFFu);
/// A header attribute that the file does not have.
inline constexpr WmResult kWmAttributeNotFound = static_cast<WmResult>(0xC00D07F0u);
/// GetNextSample past the last sample.
inline constexpr WmResult kWmNoMoreSamples = static_cast<WmResult>(0xC00D0BCFu);
inline bool WmFailed(WmResult r) {
    return r < 0;
}

struct WmGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const WmGuid&, const WmGuid&) = default;
};

/// The media-type subtype of a WAVE format tag: {tag-0000-0010-8000-00AA00389B71}.
constexpr WmGuid WaveSubtype(std::uint32_t formatTag) {
    return {formatTag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
inline constexpr WmGuid kMediaTypeAudio = WaveSubtype(0x73647561);  // 'auds'
inline constexpr WmGuid kMediaTypeVideo = WaveSubtype(0x73646976);  // 'vids'
inline constexpr WmGuid kMediaSubtypePcm = WaveSubtype(0x0001);
inline constexpr WmGuid kMediaSubtypeIeeeFloat = WaveSubtype(0x0003);
inline constexpr WmGuid kMediaSubtypeWmAudioV8 = WaveSubtype(0x0161);
inline constexpr WmGuid kMediaSubtypeWmAudioV9 = WaveSubtype(0x0162);
inline constexpr WmGuid kFormatWaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

/// The 18 bytes at the start of an audio format block.
struct WaveFormatEx {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};
inline constexpr std::size_t kWaveFormatExSize = 18;

/// A media type with its format block (a WaveFormatEx followed by extraSize codec bytes).
struct WmMediaType {
    WmGuid majorType{};
    WmGuid subtype{};
    bool fixedSizeSamples = false;
    bool temporalCompression = false;
    std::uint32_t sampleSize = 0;
    WmGuid formatType{};
    std::vector<std::uint8_t> format;

    /// The format block's WaveFormatEx; false when the block is not one or is too short.
    bool GetWaveFormat(WaveFormatEx& wave) const;
    /// Codec bytes after the WaveFormatEx (as many as both extraSize and the block allow).
    std::vector<std::uint8_t> ExtraBytes() const;
    /// Builds a WaveFormatEx media type; extra bytes follow the 18-byte header.
    static WmMediaType Audio(const WmGuid& subtype, const WaveFormatEx& wave,
                             const std::vector<std::uint8_t>& extra = {});
};

/// Types of header attribute values.
enum class WmAttrType : std::uint16_t {
    Dword = 0,
    String = 1,
    Binary = 2,
    Bool = 3,
    Qword = 4,
    Word = 5,
    Guid = 6
};

/// An owned byte buffer as the runtime hands samples around.
class WmBuffer {
public:
    explicit WmBuffer(std::size_t capacity) : m_bytes(capacity) {}
    std::uint8_t* GetBuffer() { return m_bytes.data(); }
    std::size_t GetMaxLength() const { return m_bytes.size(); }
    std::size_t GetLength() const { return m_length; }
    WmResult SetLength(std::size_t length) {
        if (length > m_bytes.size()) return kWmInvalidArg;
        m_length = length;
        return kWmOk;
    }
    void GetBufferAndLength(std::uint8_t*& data, std::size_t& length) {
        data = m_bytes.data();
        length = m_length;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_length = 0;
};
