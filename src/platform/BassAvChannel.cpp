#include "platform/BassAvChannel.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/Bass.h"
#include "platform/BassMpegChannel.h"

namespace {

struct Family {
    const char* plugin;  // null: read by the library itself
    std::vector<std::string> demuxers;
    std::vector<std::string> codecs;  // empty: any codec in these containers
};

const std::vector<Family>& Families() {
    static const std::vector<Family> kFamilies = {
        {nullptr, {"wav", "aiff"}, {}},
        {nullptr, {"ogg"}, {"vorbis"}},
        {"bassflac.dll", {"flac", "ogg"}, {"flac"}},
        {"basswma.dll", {"asf"}, {"wmav1", "wmav2", "wmapro", "wmalossless", "wmavoice"}},
        {"basswv.dll", {"wv"}, {"wavpack"}},
        {"bass_aac.dll", {"aac", "mov,mp4,m4a,3gp,3g2,mj2"}, {"aac"}},
        {"bass_adx.dll", {"adx"}, {"adpcm_adx"}},
        {"bass_alac.dll", {"mov,mp4,m4a,3gp,3g2,mj2", "caf"}, {"alac"}},
        {"bass_ape.dll", {"ape"}, {"ape"}},
        {"bass_mpc.dll", {"mpc", "mpc8"}, {"musepack7", "musepack8"}},
        {"bass_spx.dll", {"ogg"}, {"speex"}},
        {"bass_tta.dll", {"tta"}, {"tta"}},
    };
    return kFamilies;
}

bool Readable(const std::string& demuxer, const std::string& codec, const std::set<std::string>& plugins) {
    for (const auto& f : Families()) {
        if (f.plugin && !plugins.count(f.plugin)) continue;
        if (std::find(f.demuxers.begin(), f.demuxers.end(), demuxer) == f.demuxers.end()) continue;
        if (f.codecs.empty() || std::find(f.codecs.begin(), f.codecs.end(), codec) != f.codecs.end())
            return true;
    }
    return false;
}

// Containers whose stream duration is exactly the number of samples the decoder delivers.
bool IsExactContainer(const std::string& demuxer) {
    static const char* const kExact[] = {"wav", "aiff", "flac", "wv", "tta", "ape", "mov,mp4,m4a,3gp,3g2,mj2",
                                         "adx", "mpc",  "mpc8", "caf"};
    return std::find(std::begin(kExact), std::end(kExact), demuxer) != std::end(kExact);
}

bool IsEightBit(AVSampleFormat fmt) {
    return fmt == AV_SAMPLE_FMT_U8 || fmt == AV_SAMPLE_FMT_U8P;
}

constexpr std::uint32_t kMaxChannels = 32;
constexpr int kMaxBadPackets = 256;

}  // namespace

std::unique_ptr<BassChannel> OpenBassFileStream(const std::string& path,
                                                const std::set<std::string>& plugins) {
    // MPEG audio goes to its own decoder, recognised by content like every other format.
    AVFormatContext* probe = nullptr;
    if (avformat_open_input(&probe, path.c_str(), nullptr, nullptr) < 0) return nullptr;
    const std::string demuxer = probe->iformat->name;
    avformat_close_input(&probe);
    if (demuxer == "mp3") return BassMpegChannel::Open(path);
    // Containers no decoder here reads (tracker modules, video, ...) are not probed further.
    const auto& families = Families();
    const bool known = std::any_of(families.begin(), families.end(), [&](const Family& f) {
        return std::find(f.demuxers.begin(), f.demuxers.end(), demuxer) != f.demuxers.end();
    });
    return known ? BassAvChannel::Open(path, plugins) : nullptr;
}

std::unique_ptr<BassChannel> BassAvChannel::Open(const std::string& path,
                                                 const std::set<std::string>& plugins) {
    std::unique_ptr<BassAvChannel> ch(new BassAvChannel());
    ch->m_path = path;
    if (!ch->OpenDecoder(path)) return nullptr;
    const AVStream* st = ch->m_format->streams[ch->m_stream];
    if (!Readable(ch->m_format->iformat->name, avcodec_get_name(st->codecpar->codec_id), plugins))
        return nullptr;

    const int rate = ch->m_codec->sample_rate;
    const int channels = ch->m_codec->ch_layout.nb_channels;
    if (rate <= 0 || rate > 1'000'000 || channels <= 0 || static_cast<std::uint32_t>(channels) > kMaxChannels)
        return nullptr;
    auto& d = ch->m_info;
    d.freq = static_cast<std::uint32_t>(rate);
    d.chans = static_cast<std::uint32_t>(channels);
    d.eightBit = IsEightBit(ch->m_codec->sample_fmt);
    d.ctype = BASS_CTYPE_STREAM;
    d.fileStart = 0;
    struct stat sb {};
    if (::stat(path.c_str(), &sb) == 0) d.fileEnd = static_cast<std::uint64_t>(sb.st_size);

    // The length must be exactly what decoding delivers. Containers whose header counts the
    // decoded samples give it at once; for the others (Ogg, ASF, raw streams) the file is
    // decoded once and then opened again.
    std::int64_t frames = 0;
    if (IsExactContainer(ch->m_format->iformat->name) && st->duration != AV_NOPTS_VALUE && st->duration > 0 &&
        ch->m_format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        frames = av_rescale_q(st->duration, st->time_base, AVRational{1, rate});
    } else {
        std::vector<std::uint8_t> scratch(std::size_t{1} << 16);
        const std::size_t chunk = scratch.size() - scratch.size() % ch->FrameBytes();
        std::uint64_t bytes = 0;
        for (std::size_t n; (n = ch->Render(scratch.data(), chunk)) > 0;) bytes += n;
        frames = static_cast<std::int64_t>(bytes / ch->FrameBytes());
        swr_free(&ch->m_swr);
        ch->m_swrFormat = -1;
        ch->m_draining = ch->m_finished = false;
        ch->m_pending.clear();
        ch->m_pendingOffset = 0;
        if (!ch->OpenDecoder(path)) return nullptr;
    }
    if (frames <= 0) return nullptr;
    d.length = static_cast<std::uint64_t>(frames) * ch->FrameBytes();
    return ch;
}

bool BassAvChannel::OpenDecoder(const std::string& path) {
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    if (!m_packet) m_packet = av_packet_alloc();
    if (!m_frame) m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) return false;
    if (avformat_open_input(&m_format, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(m_format, nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec) return false;
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream) m_format->streams[i]->discard = AVDISCARD_ALL;
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec) return false;
    if (avcodec_parameters_to_context(m_codec, m_format->streams[m_stream]->codecpar) < 0) return false;
    m_codec->pkt_timebase = m_format->streams[m_stream]->time_base;
    return avcodec_open2(m_codec, codec, nullptr) >= 0;
}

BassAvChannel::~BassAvChannel() {
    swr_free(&m_swr);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

std::size_t BassAvChannel::Render(std::uint8_t* out, std::size_t bytes) {
    std::size_t got = 0;
    while (got < bytes) {
        if (m_pendingOffset < m_pending.size()) {
            const std::size_t n = std::min(bytes - got, m_pending.size() - m_pendingOffset);
            std::memcpy(out + got, m_pending.data() + m_pendingOffset, n);
            m_pendingOffset += n;
            got += n;
            continue;
        }
        m_pending.clear();
        m_pendingOffset = 0;
        if (m_finished || !DecodeMore()) break;
    }
    return got;
}

bool BassAvChannel::DecodeMore() {
    int badPackets = 0;
    for (;;) {
        const int rc = avcodec_receive_frame(m_codec, m_frame);
        if (rc == 0) {
            const bool ok = Convert(m_frame);
            av_frame_unref(m_frame);
            if (!ok) {
                m_finished = true;
                return false;
            }
            if (!m_pending.empty()) return true;
            continue;
        }
        if (rc != AVERROR(EAGAIN) || m_draining) {
            m_finished = true;
            return false;
        }
        const int readRc = av_read_frame(m_format, m_packet);
        if (readRc < 0) {
            // End of the file (or an unreadable rest): drain what the decoder still holds.
            m_draining = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream) {
            // A damaged packet is skipped, as players do, but a run of them ends the stream.
            if (avcodec_send_packet(m_codec, m_packet) < 0 && ++badPackets > kMaxBadPackets) {
                av_packet_unref(m_packet);
                m_finished = true;
                return false;
            }
        }
        av_packet_unref(m_packet);
    }
}

bool BassAvChannel::Convert(const AVFrame* frame) {
    if (frame->nb_samples <= 0) return true;
    const AVSampleFormat outFormat = m_info.eightBit ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    const int inChannels = frame->ch_layout.nb_channels;
    if (!m_swr || frame->format != m_swrFormat || frame->sample_rate != m_swrRate ||
        inChannels != m_swrChannels) {
        swr_free(&m_swr);
        AVChannelLayout inLayout{}, outLayout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || inChannels <= 0)
            av_channel_layout_default(&inLayout,
                                      inChannels > 0 ? inChannels : static_cast<int>(m_info.chans));
        else
            av_channel_layout_copy(&inLayout, &frame->ch_layout);
        if (inLayout.nb_channels == static_cast<int>(m_info.chans))
            av_channel_layout_copy(&outLayout, &inLayout);  // same channels: no remixing
        else
            av_channel_layout_default(&outLayout, static_cast<int>(m_info.chans));
        const int inRate = frame->sample_rate > 0 ? frame->sample_rate : static_cast<int>(m_info.freq);
        const int rc =
            swr_alloc_set_opts2(&m_swr, &outLayout, outFormat, static_cast<int>(m_info.freq), &inLayout,
                                static_cast<AVSampleFormat>(frame->format), inRate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        if (rc < 0 || swr_init(m_swr) < 0) return false;
        m_swrFormat = frame->format;
        m_swrRate = frame->sample_rate;
        m_swrChannels = inChannels;
    }
    const int room = swr_get_out_samples(m_swr, frame->nb_samples);
    if (room <= 0) return true;
    m_pending.resize(static_cast<std::size_t>(room) * FrameBytes());
    std::uint8_t* dst = m_pending.data();
    const int n = swr_convert(m_swr, &dst, room, const_cast<const std::uint8_t**>(frame->extended_data),
                              frame->nb_samples);
    if (n < 0) return false;
    m_pending.resize(static_cast<std::size_t>(n) * FrameBytes());
    return true;
}
