#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "encoders/FaacEncoder.h"
#include "platform/mp4/Mp4File.h"

/// AAC-in-MP4 writer: libfaac's raw frames become the samples of one audio track, timed so the
/// track ends at most one frame after the input, with an edit that skips the encoder's priming;
/// metadata as iTunes-style items, with the priming, padding and length in "iTunSMPB" too.
/// A writer that failed once stays failed: every later Write and Finish report 0.
class Mp4Writer {
public:
    Mp4Writer() = default;
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;
    ~Mp4Writer() { Finish(); }  // releases; a caller that cares calls Finish itself

    /// Finishes any earlier file, creates the MP4 file and opens libfaac for the source's rate and
    /// channels (1 or 2) with the fixed settings. 0 unless both the file and the encoder exist.
    int Open(const std::string& path, int sampleRate, int channels, int bitsPerSample);
    /// The libfaac configuration to change between Open and Start; null when not open.
    faacEncConfiguration* Configuration() { return m_encoder.Configuration(); }
    /// Applies the configuration and sets up the track; 0 when libfaac rejects the configuration.
    int Start();
    /// UTF-8 texts; empty ones are left out, as is a track number of 0. Copyright has no item.
    /// The output keeps a metadata box, empty or not, for tags written into it after it is closed.
    void KeepMetadataBox();
    void SetMetadata(const std::string& title, const std::string& artist, const std::string& album,
                     const std::string& genre, const std::string& year, const std::string& comment,
                     const std::string& composer, const std::string& copyright, int track);
    /// Planar blocks; right is read only for two channels. 0 once a write has failed.
    int Write16(const std::int16_t* left, const std::int16_t* right, int frames);
    int Write8(const std::uint8_t* left, const std::uint8_t* right, int frames);
    /// Full-resolution samples, for a writer opened with kFloatBits.
    int WriteFloat(const float* left, const float* right, int frames);
    /// Encodes the last partial buffer, drains the encoder and completes the file: 0 if any step
    /// of this file failed. Harmless when nothing is open.
    int Finish();

private:
    struct FileClose {
        void operator()(Mp4File* file) const noexcept { MP4CloseExx(file); }
    };
    int Keep(std::int64_t frames, const std::uint8_t* bytes, int length);

    std::unique_ptr<Mp4File, FileClose> m_file;
    MP4TrackId m_track = MP4_INVALID_TRACK_ID;
    std::int64_t m_inputTime = 0;   // frames handed to the encoder
    std::int64_t m_outputTime = 0;  // sum of the durations written
    std::int64_t m_frameDuration = 0;
    std::int64_t m_samples = 0;  // AAC frames written
    int m_sampleRate = 0;
    FaacEncoder m_encoder;
    FaacEncoder::Sink m_sink;
    bool m_started = false;
    bool m_failed = false;
};
