#include "encoders/Mp4Writer.h"

#include <algorithm>
#include <vector>

#include "platform/StringPrintf.h"
#include "sources/AudioSource.h"

namespace {

constexpr std::uint32_t kMovieTimeScale = 90000;
constexpr std::uint8_t kAacProfileLevel = 0x0F;

}  // namespace

int Mp4Writer::Open(const std::string& path, int sampleRate, int channels, int bitsPerSample) {
    Finish();
    m_failed = false;
    m_file.reset(MP4CreateExx(path.c_str()));
    if (!m_file) return 0;
    if (!m_encoder.Open(sampleRate, channels, RAW_STREAM)) return 0;
    if (bitsPerSample == kFloatBits) m_encoder.UseFloatInput();
    m_sampleRate = sampleRate;
    m_frameDuration = m_encoder.FrameLength();
    m_sink = [this](std::int64_t frames, const std::uint8_t* bytes, int length) {
        return Keep(frames, bytes, length);
    };
    return 1;
}

int Mp4Writer::Start() {
    if (!m_file || !m_encoder.Start()) return 0;
    MP4SetTimeScaleExx(m_file.get(), kMovieTimeScale);
    m_track = MP4AddAudioTrackExx(m_file.get(), static_cast<std::uint32_t>(m_sampleRate),
                                  MP4_INVALID_DURATION, MP4_MPEG4_AUDIO_TYPE);
    MP4SetAudioProfileLevelExx(m_file.get(), kAacProfileLevel);
    const std::vector<std::uint8_t> config = m_encoder.DecoderSpecificInfo();
    MP4SetTrackESConfigurationExx(m_file.get(), m_track, config.data(),
                                  static_cast<std::uint32_t>(config.size()));
    m_inputTime = m_outputTime = m_samples = 0;
    m_started = true;
    return 1;
}

void Mp4Writer::KeepMetadataBox() {
    if (m_file) MP4KeepMetadataBoxExx(m_file.get());
}

void Mp4Writer::SetMetadata(const std::string& title, const std::string& artist, const std::string& album,
                            const std::string& genre, const std::string& year, const std::string& comment,
                            const std::string& composer, const std::string& /*copyright*/, int track) {
    Mp4File* f = m_file.get();
    if (!f) return;
    auto set = [f](bool (*call)(MP4FileHandle, const char*), const std::string& text) {
        if (!text.empty()) call(f, text.c_str());
    };
    set(MP4SetMetadataNameExx, title);
    set(MP4SetMetadataArtistExx, artist);
    set(MP4SetMetadataAlbumExx, album);
    if (track > 0) MP4SetMetadataTrackExx(f, static_cast<std::uint16_t>(std::min(track, 0xFFFF)), 0);
    set(MP4SetMetadataYearExx, year);
    set(MP4SetMetadataGenreExx, genre);
    set(MP4SetMetadataCommentExx, comment);
    set(MP4SetMetadataWriterExx, composer);
}

int Mp4Writer::Keep(std::int64_t frames, const std::uint8_t* bytes, int length) {
    m_inputTime += frames;
    if (length <= 0) return 1;  // the encoder is still filling its delay
    ++m_samples;
    // Steady state: one frame per sample. At the end the durations shrink so the track stops at
    // most one frame after the input; what the encoder still yields after that lasts 0.
    std::int64_t duration = m_inputTime + m_frameDuration - m_outputTime;
    if (duration < 0 || duration > m_frameDuration) duration = m_frameDuration;
    // No rendering offsets: the encoder's priming is skipped by the track's edit (see Finish).
    if (!MP4WriteSampleExx(m_file.get(), m_track, bytes, static_cast<std::uint32_t>(length),
                           static_cast<MP4Duration>(duration), 0, true)) {
        m_failed = true;
        return 0;
    }
    m_outputTime += duration;
    return 1;
}

int Mp4Writer::Write16(const std::int16_t* left, const std::int16_t* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.Write16(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int Mp4Writer::WriteFloat(const float* left, const float* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.WriteFloat(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int Mp4Writer::Write8(const std::uint8_t* left, const std::uint8_t* right, int frames) {
    if (!m_started || m_failed) return 0;
    if (!m_encoder.Write8(left, right, frames, m_sink)) m_failed = true;
    return !m_failed;
}

int Mp4Writer::Finish() {
    if (!m_file && !m_encoder.IsOpen()) return 0;
    bool ok = m_started && !m_failed;
    if (ok && !m_encoder.Drain(m_sink)) ok = false;
    // libfaac's first frame is its priming, one frame long: the presentation starts after it and
    // lasts exactly as long as the input.
    if (ok && m_inputTime > 0 &&
        !MP4AddTrackEditExx(m_file.get(), m_track, static_cast<MP4Duration>(m_frameDuration),
                            static_cast<MP4Duration>(m_inputTime)))
        ok = false;
    // The same delay, padding and length for players that read iTunes' comment instead of the edit.
    if (ok && m_inputTime > 0) {
        const std::int64_t padding =
            std::max<std::int64_t>(m_samples * m_frameDuration - m_frameDuration - m_inputTime, 0);
        const std::string smpb = StringPrintf(
            " 00000000 %08X %08X %016llX 00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
            "00000000",
            static_cast<unsigned>(m_frameDuration), static_cast<unsigned>(padding),
            static_cast<unsigned long long>(m_inputTime));
        MP4SetMetadataFreeFormExx(m_file.get(), "iTunSMPB", smpb.c_str());
    }
    if (m_file && !MP4CloseExx(m_file.release())) ok = false;
    m_encoder.Close();
    m_track = MP4_INVALID_TRACK_ID;
    m_inputTime = m_outputTime = m_frameDuration = m_samples = 0;
    m_started = false;
    m_failed = !ok;
    return ok;
}
