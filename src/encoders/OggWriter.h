#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/UniqueFile.h"
#include "sources/TagSet.h"

/// Ogg Vorbis writer over libvorbisenc in managed average-bit-rate mode: one logical stream, the
/// three headers flushed onto their own pages, audio pages as libogg fills them, end of stream
/// on the last page. A writer that failed once stays failed until the next Open.
class OggWriter {
public:
    OggWriter();
    OggWriter(const OggWriter&) = delete;
    OggWriter& operator=(const OggWriter&) = delete;
    ~OggWriter();  // releases; a caller that cares ends the stream and calls Close itself

    /// Closes any earlier stream, then creates `path`; 0 when it cannot be created.
    int Open(const std::string& path);
    /// Rate in Hz, 1 or 2 channels, nominal bit rate in bit/s; 0 when libvorbis rejects them.
    int Setup(int rate, int channels, int nominalBitrate);
    /// Adds the non-empty texts as Vorbis comments in UTF-8; a text that cannot be converted is
    /// left out, and so is a track whose leading number is not above 0.
    void AddComments(const TagSet& tags);
    /// Starts the stream with `serial` and writes the three header packets; 0 if writing failed.
    int WriteHeaders(int serial);
    /// Planar 16-bit samples; right is read only for two channels and must then be given.
    /// 0 frames ends the stream. 0 when a write failed, now or before.
    int Encode(const std::int16_t* left, const std::int16_t* right, int frames);
    /// As Encode, for full-resolution samples (full scale ±1.0).
    int EncodeFloat(const float* left, const float* right, int frames);
    /// Closes the file and releases the encoder: 0 unless every write succeeded and the stream
    /// was ended. Harmless when nothing is open.
    int Close();

    bool IsOpen() const { return static_cast<bool>(m_out); }

private:
    struct State;

    template <typename Sample, typename Scale>
    int EncodeWith(const Sample* left, const Sample* right, int frames, Scale scale);
    int WritePage(const void* header, long headerBytes, const void* body, long bodyBytes);
    int DrainBlocks();

    UniqueFile m_out;
    std::unique_ptr<State> m_state;  // libvorbis and libogg structures; present while open
    int m_channels = 0;
    int m_rate = 0;
    bool m_setUp = false;
    bool m_started = false;  // headers written; the analysis state exists
    bool m_ended = false;    // the end-of-stream page is written
    bool m_failed = false;
};
