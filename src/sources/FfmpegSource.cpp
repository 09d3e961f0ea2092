#include "sources/FfmpegSource.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "sources/TextConvert.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/samplefmt.h>
}

namespace {

// Full-scale float to 16 bits the way the 32-bit path does it; out-of-range values clip.
std::int16_t FromUnit(double x) {
    if (std::isnan(x)) x = 0.0;
    x = std::clamp(x, -1.0, 1.0);
    const auto wide = static_cast<std::int64_t>(x * 2147483647.0);
    return static_cast<std::int16_t>(static_cast<std::int32_t>(wide) >> 16);
}

std::int16_t To16(std::uint8_t v) {
    return static_cast<std::int16_t>((v - 128) * 256);
}
std::int16_t To16(std::int16_t v) {
    return v;
}
std::int16_t To16(std::int32_t v) {
    return static_cast<std::int16_t>(v >> 16);
}
std::int16_t To16(std::int64_t v) {
    return static_cast<std::int16_t>(v >> 48);
}
std::int16_t To16(float v) {
    return FromUnit(v);
}
std::int16_t To16(double v) {
    return FromUnit(v);
}

// Full resolution: every integer width scaled to ±1.0; NaN becomes silence.
float ToF(std::uint8_t v) {
    return static_cast<float>(v - 128) / 128.0f;
}
float ToF(std::int16_t v) {
    return static_cast<float>(v) / 32768.0f;
}
float ToF(std::int32_t v) {
    return static_cast<float>(static_cast<double>(v) / 2147483648.0);
}
float ToF(std::int64_t v) {
    return static_cast<float>(static_cast<double>(v) / 9223372036854775808.0);
}
float ToF(float v) {
    return std::isnan(v) ? 0.0f : v;
}
float ToF(double v) {
    return std::isnan(v) ? 0.0f : static_cast<float>(v);
}

std::uint8_t To8(std::uint8_t v) {
    return v;
}
template <typename T>
std::uint8_t To8(T v) {
    return static_cast<std::uint8_t>((To16(v) >> 8) + 128);
}

// Leading number of a text such as "2019-05-01" or "3/12"; 0 when there is none.
int LeadingNumber(const std::string& text) {
    const long v = std::strtol(text.c_str(), nullptr, 10);
    return v > 0 && v <= 0x7FFFFFFF ? static_cast<int>(v) : 0;
}

}  // namespace

void FfmpegSource::Close() {
    m_packet.reset();
    m_frame.reset();
    m_codec.reset();
    m_format.reset();
    m_stream = -1;
    m_convert = nullptr;
    m_frameCursor = 0;
    m_framePending = false;
    m_draining = false;
    m_ended = false;
    m_float = m_read = false;
    m_damaged = 0;
    ResetCommon();
}

int FfmpegSource::Open(const char* path, int /*renderRate*/) {
    Close();
    FormatContextPtr format = OpenContainer(path);
    if (!format) return 0;
    const int stream = FirstAudioStream(*format);
    if (stream < 0) return 0;
    const AVStream* st = format->streams[stream];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder) return 0;
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), st->codecpar) < 0) return 0;
    codec->pkt_timebase = st->time_base;
    AVDictionary* options = nullptr;
    // Decoders that can mix down (AC-3, DTS, TrueHD) take this option; others ignore it.
    if (st->codecpar->ch_layout.nb_channels > 2) av_dict_set(&options, "downmix", "stereo", 0);
    const int opened = avcodec_open2(codec.get(), decoder, &options);
    av_dict_free(&options);
    if (opened < 0) return 0;
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet) return 0;
    // Without a rate or a channel count nothing downstream can be set up.
    if (codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0) return 0;

    m_totalLength = format->pb ? std::max<std::int64_t>(avio_size(format->pb), 0) : 0;
    m_position = format->pb ? std::max<std::int64_t>(avio_tell(format->pb), 0) : 0;
    m_sampleRate = codec->sample_rate;
    m_duration = ContainerSeconds(*format);
    m_bitrate = static_cast<int>(std::clamp<std::int64_t>(codec->bit_rate / 1000, 0, 0x7FFFFFFF));
    m_channels = codec->ch_layout.nb_channels;
    m_outputChannels = m_channels > 1 ? 2 : 1;
    m_channelMode = m_channels == 1 ? 3 : 0;
    const AVSampleFormat fmt = codec->sample_fmt;
    m_bitsPerSample = (fmt == AV_SAMPLE_FMT_U8 || fmt == AV_SAMPLE_FMT_U8P) ? 8 : 16;
    m_bytesPerSample = m_bitsPerSample / 8;
    // Lossless decoders say what their samples hold; lossy ones count as 16 bits.
    if (codec->codec_descriptor && (codec->codec_descriptor->props & AV_CODEC_PROP_LOSSLESS)) {
        if (fmt == AV_SAMPLE_FMT_FLT || fmt == AV_SAMPLE_FMT_FLTP || fmt == AV_SAMPLE_FMT_DBL ||
            fmt == AV_SAMPLE_FMT_DBLP) {
            m_heldBits = kFloatBits;
            m_heldFloat = true;
        } else if (codec->bits_per_raw_sample > 16)
            m_heldBits = std::min(codec->bits_per_raw_sample, 32);
    }

    m_format = std::move(format);
    m_codec = std::move(codec);
    m_frame = std::move(frame);
    m_packet = std::move(packet);
    m_stream = stream;
    return 1;
}

// Copies `count` frames from the pending frame into the caller's buffers at `at`;
// the first two channels of the frame, or its one channel on both sides.
template <typename T>
void FfmpegSource::Convert(void* left, void* right, int at, int count) {
    const AVFrame& f = *m_frame;
    const int channels = f.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f.format)) != 0;
    void* out[2] = {left, right};
    for (int c = 0; c < m_outputChannels; ++c) {
        const int src = std::min(c, channels - 1);
        const T* base = planar ? reinterpret_cast<const T*>(f.extended_data[src])
                               : reinterpret_cast<const T*>(f.extended_data[0]) + src;
        const std::ptrdiff_t stride = planar ? 1 : channels;
        const T* in = base + static_cast<std::ptrdiff_t>(m_frameCursor) * stride;
        if (m_float) {
            auto* dst = static_cast<float*>(out[c]) + at;
            for (int k = 0; k < count; ++k) dst[k] = ToF(in[k * stride]);
        } else if (m_bitsPerSample == 8) {
            auto* dst = static_cast<std::uint8_t*>(out[c]) + at;
            for (int k = 0; k < count; ++k) dst[k] = To8(in[k * stride]);
        } else {
            auto* dst = static_cast<std::int16_t*>(out[c]) + at;
            for (int k = 0; k < count; ++k) dst[k] = To16(in[k * stride]);
        }
    }
}

bool FfmpegSource::PickConverter() {
    if (m_frame->ch_layout.nb_channels <= 0 || !m_frame->extended_data) return false;
    switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(m_frame->format))) {
        case AV_SAMPLE_FMT_U8:
            m_convert = &FfmpegSource::Convert<std::uint8_t>;
            return true;
        case AV_SAMPLE_FMT_S16:
            m_convert = &FfmpegSource::Convert<std::int16_t>;
            return true;
        case AV_SAMPLE_FMT_S32:
            m_convert = &FfmpegSource::Convert<std::int32_t>;
            return true;
        case AV_SAMPLE_FMT_S64:
            m_convert = &FfmpegSource::Convert<std::int64_t>;
            return true;
        case AV_SAMPLE_FMT_FLT:
            m_convert = &FfmpegSource::Convert<float>;
            return true;
        case AV_SAMPLE_FMT_DBL:
            m_convert = &FfmpegSource::Convert<double>;
            return true;
        default:
            return false;
    }
}

// Gives the decoder its next packet of our stream, or the flush request at the end of the
// container. A packet the decoder rejects is dropped and reading goes on.
bool FfmpegSource::FeedDecoder() {
    if (m_draining) return false;
    for (;;) {
        av_packet_unref(m_packet.get());
        if (av_read_frame(m_format.get(), m_packet.get()) < 0) {
            m_draining = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            return true;
        }
        if (m_packet->stream_index != m_stream) continue;
        const int rc = avcodec_send_packet(m_codec.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (rc == 0 || rc == AVERROR(EAGAIN)) return true;
        if (rc == AVERROR_EOF) return false;
        ++m_damaged;
    }
}

ReadOutcome FfmpegSource::GetReadOutcome() {
    ReadOutcome outcome;
    outcome.damagedFrames = m_damaged;
    return outcome;
}

int FfmpegSource::RequestFullResolution() {
    if (!m_codec || m_read) return 0;
    m_float = true;
    m_bitsPerSample = kFloatBits;
    m_bytesPerSample = 4;
    return 1;
}

int FfmpegSource::ReadBlock(void* left, void* right) {
    if (!m_codec || !left || (m_outputChannels == 2 && !right)) return 0;
    m_read = true;
    int done = 0;
    int failures = 0;
    while (done < kBlockFrames) {
        if (m_framePending) {
            const int count = std::min(m_frame->nb_samples - m_frameCursor, kBlockFrames - done);
            if (count > 0) {
                (this->*m_convert)(left, right, done, count);
                done += count;
                m_frameCursor += count;
            }
            if (m_frameCursor >= m_frame->nb_samples) {
                av_frame_unref(m_frame.get());
                m_framePending = false;
            }
            continue;
        }
        if (m_ended) break;
        const int rc = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (rc == 0) {
            failures = 0;
            m_frameCursor = 0;
            m_framePending = PickConverter();
            if (!m_framePending) av_frame_unref(m_frame.get());
        } else if (rc == AVERROR(EAGAIN)) {
            if (!FeedDecoder()) m_ended = true;
        } else if (rc == AVERROR_EOF) {
            m_ended = true;
        } else {
            ++m_damaged;
            if (++failures > kMaxDecodeFailures) m_ended = true;
        }
    }
    if (m_format->pb) m_position = std::max<std::int64_t>(avio_tell(m_format->pb), 0);
    return done;
}

int FfmpegSource::ReadTags(TagSet& tags) {
    if (!m_format) return 0;
    const AVDictionary* streamTags = m_stream >= 0 ? m_format->streams[m_stream]->metadata : nullptr;
    // Containers such as Ogg and Matroska keep the tags on the stream rather than the file.
    auto get = [&](std::initializer_list<const char*> keys) -> std::string {
        for (const AVDictionary* dict : {static_cast<const AVDictionary*>(m_format->metadata), streamTags})
            for (const char* key : keys)
                if (const AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0); e && e->value)
                    return e->value;
        return {};
    };
    TagSet found;
    found.title = get({"title"});
    found.artist = get({"artist", "author"});
    found.album = get({"album"});
    found.comment = get({"comment"});
    found.copyright = get({"copyright"});
    found.genre = get({"genre"});
    const int year = LeadingNumber(get({"date", "year"}));
    const int track = LeadingNumber(get({"track"}));
    if (found.title.empty() && found.artist.empty() && found.album.empty() && found.comment.empty() &&
        found.copyright.empty() && found.genre.empty() && year <= 0 && track <= 0)
        return 0;
    // FFmpeg hands out UTF-8 whatever the file stored.
    auto text = [](const std::string& utf8) {
        std::string ansi;
        return Utf8ToAnsi(utf8.c_str(), ansi) == 0 ? ansi : std::string();
    };
    tags.title = text(found.title);
    tags.artist = text(found.artist);
    tags.album = text(found.album);
    tags.year = year > 0 ? std::to_string(year) : std::string();
    tags.genre = text(found.genre);
    tags.comment = text(found.comment);
    tags.track = track > 0 ? std::to_string(track) : std::string();
    tags.composer.clear();
    tags.copyright = text(found.copyright);
    return 1;
}
