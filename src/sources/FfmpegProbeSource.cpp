#include "sources/FfmpegProbeSource.h"

#include <algorithm>

void FfmpegProbeSource::Close() {
    m_format.reset();
    m_stream = -1;
    ResetCommon();
}

int FfmpegProbeSource::Open(const char* path, int /*renderRate*/) {
    Close();
    m_format = OpenContainer(path);
    if (!m_format) return 0;
    m_stream = FirstAudioStream(*m_format);
    // A picture or a silent video would be listed and then fail to convert: refuse it here.
    if (m_stream < 0) {
        Close();
        return 0;
    }
    const AVCodecParameters& par = *m_format->streams[m_stream]->codecpar;
    // A stream guessed from the name alone (an empty or random ".flac") has no rate or channels, and
    // the decoder refuses it likewise: refuse it here, as every other reader does such a file.
    if (par.sample_rate <= 0 || par.ch_layout.nb_channels <= 0) {
        Close();
        return 0;
    }
    m_sampleRate = std::max(par.sample_rate, 0);
    m_bitrate = static_cast<int>(std::clamp<std::int64_t>(par.bit_rate / 1000, 0, 0x7FFFFFFF));
    // The decoder would be asked for stereo; the list shows the stream's own count.
    m_channels = std::max(par.ch_layout.nb_channels, 0);
    m_outputChannels = m_channels > 1 ? 2 : 1;
    m_channelMode = m_channels == 1 ? 3 : 0;
    const auto fmt = static_cast<AVSampleFormat>(par.format);
    m_bitsPerSample = (fmt == AV_SAMPLE_FMT_U8 || fmt == AV_SAMPLE_FMT_U8P) ? 8 : 16;
    m_bytesPerSample = m_bitsPerSample / 8;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        const AVStream* st = m_format->streams[i];
        // Cover art shows up as a one-picture video stream; it is not the file's video.
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        m_videoFrameRate = st->r_frame_rate.den > 0 ? av_q2d(st->r_frame_rate) : 0.0;
        m_videoWidth = std::max(st->codecpar->width, 0);
        m_videoHeight = std::max(st->codecpar->height, 0);
        break;
    }
    m_duration = ContainerSeconds(*m_format);
    return 1;
}
