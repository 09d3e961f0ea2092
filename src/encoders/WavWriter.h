#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/UniqueFile.h"

/// Writes a 44-byte-header WAV file (8-, 16- or 24-bit PCM, or 32-bit float; mono or stereo); sizes
/// are set at Close.
/// A writer that failed once stays failed: every later Write and Close report 0.
class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter() { Close(); }  // releases; a caller that cares calls Close itself

    /// Creates or truncates the file and writes the header with both size fields 4. 32 bits are
    /// IEEE floats.
    int Open(const std::string& path, bool stereo, int bitsPerSample, int sampleRate);
    /// Planar 16-bit samples; right is read only for stereo.
    int Write16(const std::int16_t* left, const std::int16_t* right, int frames);
    /// Planar unsigned 8-bit samples; right is read only for stereo.
    int Write8(const std::uint8_t* left, const std::uint8_t* right, int frames);
    /// Planar 24-bit samples in the low bits of 32-bit integers.
    int Write24(const std::int32_t* left, const std::int32_t* right, int frames);
    /// Planar float samples, written as they are (full scale ±1.0).
    int WriteFloat(const float* left, const float* right, int frames);
    /// Sets the RIFF and data sizes and closes; 0 if any write failed. Harmless when not open.
    int Close();

    bool IsOpen() const { return static_cast<bool>(m_file); }

private:
    int WriteBytes(const void* data, std::size_t bytes);
    template <int Bytes, typename T, typename Put>
    int WriteWide(const T* left, const T* right, int frames, Put put);

    std::vector<char> m_buffer;  // m_file's stdio buffer: declared first, so it outlives the stream
    UniqueFile m_file;
    std::uint16_t m_channels = 0;
    std::uint16_t m_bitsPerSample = 0;
    std::uint32_t m_sampleRate = 0;
    std::vector<std::uint8_t> m_interleaved;
    bool m_failed = false;
};
