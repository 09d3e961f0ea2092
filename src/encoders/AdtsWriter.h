#pragma once
#include <cstdint>
#include <string>

#include "encoders/FaacEncoder.h"
#include "platform/UniqueFile.h"

/// Raw AAC writer over libfaac: a plain sequence of ADTS frames, no container and no tags.
/// A writer that failed once stays failed: every later Write and Finish report 0.
class AdtsWriter {
public:
    AdtsWriter() = default;
    AdtsWriter(const AdtsWriter&) = delete;
    AdtsWriter& operator=(const AdtsWriter&) = delete;
    ~AdtsWriter() { Finish(); }  // releases; a caller that cares calls Finish itself

    /// Finishes any earlier file, creates `path` anew and opens libfaac for the source's rate and
    /// channels (1 or 2) with the fixed settings. 0 unless both the file and the encoder exist.
    int Open(const std::string& path, int sampleRate, int channels, int bitsPerSample);
    /// The libfaac configuration to change between Open and Start; null when not open.
    faacEncConfiguration* Configuration() { return m_encoder.Configuration(); }
    /// 0 when libfaac rejects the configuration.
    int Start();
    /// Planar blocks; right is read only for two channels. 0 once a write has failed.
    int Write16(const std::int16_t* left, const std::int16_t* right, int frames);
    int Write8(const std::uint8_t* left, const std::uint8_t* right, int frames);
    /// Full-resolution samples, for a writer opened with kFloatBits.
    int WriteFloat(const float* left, const float* right, int frames);
    /// Encodes the last partial buffer, drains the encoder and closes the file: 0 if any step of
    /// this file failed. Harmless when nothing is open.
    int Finish();

private:
    int Keep(const std::uint8_t* bytes, int length);

    UniqueFile m_out;
    FaacEncoder m_encoder;
    FaacEncoder::Sink m_sink;
    bool m_started = false;
    bool m_failed = false;
};
