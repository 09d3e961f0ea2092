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
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/AvLibraries.h"
#include "platform/Bass.h"
#include "platform/BassMpegChannel.h"
#include "platform/BassPcmChannel.h"
#include "platform/UniqueFile.h"

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

// What a lossless decoder's samples hold; lossy decoders' output counts as not known, so that
// only sources with more than 16 bits of their own take the full-resolution path by themselves.
std::uint32_t OriginalResolution(const AVCodecContext& codec) {
    if (!codec.codec_descriptor || !(codec.codec_descriptor->props & AV_CODEC_PROP_LOSSLESS)) return 0;
    const AVSampleFormat fmt = codec.sample_fmt;
    if (fmt == AV_SAMPLE_FMT_FLT || fmt == AV_SAMPLE_FMT_FLTP || fmt == AV_SAMPLE_FMT_DBL ||
        fmt == AV_SAMPLE_FMT_DBLP)
        return BASS_ORIGRES_FLOAT;
    if (codec.bits_per_raw_sample > 0) return static_cast<std::uint32_t>(codec.bits_per_raw_sample);
    if (fmt == AV_SAMPLE_FMT_S32 || fmt == AV_SAMPLE_FMT_S32P) return 32;
    return 0;
}

bool IsEightBit(AVSampleFormat fmt) {
    return fmt == AV_SAMPLE_FMT_U8 || fmt == AV_SAMPLE_FMT_U8P;
}

constexpr std::uint32_t kMaxChannels = 32;
constexpr int kMaxBadPackets = 256;

enum class Container { Unknown, Mpeg, Wav, Aiff, Ogg, Flac, Adts };

// Bit rate in kbit/s and frame length in bytes of an MPEG audio frame header; 0 for anything
// that is not one (reserved fields, free format).
struct MpegFrame {
    int version = 0;  // the header's two version bits
    int layer = 0;    // 1 to 3
    int rate = 0;
    std::size_t bytes = 0;
};
std::optional<MpegFrame> ParseMpegFrame(const std::uint8_t* h) {
    static constexpr int kKbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    MpegFrame f;
    f.version = (h[1] >> 3) & 3;
    const int layerBits = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (f.version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    f.layer = 4 - layerBits;
    f.rate = kRates[f.version][rateIndex];
    const int kbps = kKbps[f.version == 3 ? 0 : 1][f.layer - 1][bitrateIndex];
    const int padding = (h[2] >> 1) & 1;
    if (f.layer == 1)
        f.bytes = static_cast<std::size_t>((12000 * kbps / f.rate + padding) * 4);
    else if (f.layer == 3 && f.version != 3)
        f.bytes = static_cast<std::size_t>(72000 * kbps / f.rate + padding);
    else
        f.bytes = static_cast<std::size_t>(144000 * kbps / f.rate + padding);
    return f;
}

// MPEG audio when, after an optional ID3v2 tag, the file starts with a run of frames of one
// version, layer and rate, each header where the one before it ends.
bool StartsWithMpegFrames(std::FILE* f, const std::uint8_t* head, std::size_t got) {
    std::uint64_t start = 0;
    if (got >= 10 && std::memcmp(head, "ID3", 3) == 0 && !((head[6] | head[7] | head[8] | head[9]) & 0x80)) {
        start = 10 + ((std::uint64_t{head[6]} << 21) | (head[7] << 14) | (head[8] << 7) | head[9]);
        if (head[3] >= 4 && (head[5] & 0x10)) start += 10;  // footer
    }
    constexpr int kFramesNeeded = 4;
    std::vector<std::uint8_t> buffer(kFramesNeeded * 1728 + 4);  // longest frames: layer II, 384k, 32 kHz
    if (::fseeko(f, static_cast<off_t>(start), SEEK_SET) != 0) return false;
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    std::size_t at = 0;
    std::optional<MpegFrame> first;
    for (int i = 0; i < kFramesNeeded; ++i) {
        if (at + 4 > n) return false;
        const auto frame = ParseMpegFrame(buffer.data() + at);
        if (!frame) return false;
        if (first &&
            (frame->version != first->version || frame->layer != first->layer || frame->rate != first->rate))
            return false;
        if (!first) first = frame;
        at += frame->bytes;
    }
    return true;
}

// ADTS (raw AAC) when the file starts with frames of one sampling rate, each header where the one
// before it ends, four of them or as many as the file holds. libavformat's probe wants more frames
// than a very short file has, so such a file would otherwise open nowhere.
bool StartsWithAdtsFrames(std::FILE* f) {
    constexpr int kFramesNeeded = 4;
    std::vector<std::uint8_t> buffer(kFramesNeeded * 8191 + 7);  // the longest frames the header can state
    if (::fseeko(f, 0, SEEK_SET) != 0) return false;
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    const bool whole = n < buffer.size();
    std::size_t at = 0;
    int rateIndex = -1;
    for (int i = 0; i < kFramesNeeded; ++i) {
        if (whole && at == n && i > 0) return true;
        if (at + 7 > n) return false;
        const std::uint8_t* h = buffer.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0) return false;  // sync word, layer 0
        const int rate = (h[2] >> 2) & 0xF;
        const std::size_t bytes = static_cast<std::size_t>((h[3] & 3) << 11 | h[4] << 3 | h[5] >> 5);
        if (rate > 12 || (rateIndex >= 0 && rate != rateIndex) || bytes < ((h[1] & 1) ? 7u : 9u))
            return false;
        rateIndex = rate;
        at += bytes;
    }
    return true;
}

Container SniffContainer(const std::string& path) {
    auto file = OpenFile(path.c_str(), "rb");
    if (!file) return Container::Unknown;
    std::uint8_t head[12] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return Container::Wav;
    if (got >= 12 && std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0))
        return Container::Aiff;
    if (got >= 4 && std::memcmp(head, "OggS", 4) == 0) return Container::Ogg;
    if (got >= 4 && std::memcmp(head, "fLaC", 4) == 0) return Container::Flac;
    if (StartsWithMpegFrames(file.get(), head, got)) return Container::Mpeg;
    // Only a file that starts with an ADTS sync word is read further.
    const bool adtsSync = got >= 2 && head[0] == 0xFF && (head[1] & 0xF6) == 0xF0;
    return adtsSync && StartsWithAdtsFrames(file.get()) ? Container::Adts : Container::Unknown;
}

// True when the demuxer's header reading alone gave the audio stream's codec, rate, channels
// and exact length: WAV and AIFF headers do for codecs of a fixed size per sample, where the
// length follows from the size of the data.
bool HeaderDescribesStream(const AVFormatContext& format) {
    const std::string name = format.iformat->name;
    if (name != "wav" && name != "aiff") return false;
    if (format.nb_streams != 1) return false;
    const AVStream* st = format.streams[0];
    const AVCodecParameters* par = st->codecpar;
    return par->codec_type == AVMEDIA_TYPE_AUDIO && av_get_exact_bits_per_sample(par->codec_id) > 0 &&
           par->sample_rate > 0 && par->ch_layout.nb_channels > 0 && st->duration != AV_NOPTS_VALUE &&
           st->duration > 0;
}

}  // namespace

std::unique_ptr<BassChannel> OpenBassFileStream(const std::string& path,
                                                const std::set<std::string>& plugins) {
    // MPEG audio goes to its own decoder, recognised by content like every other format. The
    // common containers are told by their first bytes; libavformat probes only the rest, since
    // running every demuxer's probe costs more than reading a whole small file.
    const Container sniffed = SniffContainer(path);
    if (sniffed == Container::Mpeg) return BassMpegChannel::Open(path);
    // Plain PCM, the most common input, is read without the general decoder (or its libraries).
    if (sniffed == Container::Wav || sniffed == Container::Aiff)
        if (auto native = BassPcmChannel::Open(path)) return native;
    if (!LoadAvLibraries()) return nullptr;
    const AVInputFormat* container = nullptr;
    switch (sniffed) {
        case Container::Mpeg:
            break;
        case Container::Wav:
            container = av_find_input_format("wav");
            break;
        case Container::Aiff:
            container = av_find_input_format("aiff");
            break;
        case Container::Ogg:
            container = av_find_input_format("ogg");
            break;
        case Container::Flac:
            container = av_find_input_format("flac");
            break;
        case Container::Adts:
            container = av_find_input_format("aac");
            break;
        case Container::Unknown:
            break;
    }
    if (!container) {
        AVFormatContext* probe = nullptr;
        if (avformat_open_input(&probe, path.c_str(), nullptr, nullptr) < 0) return nullptr;
        container = probe->iformat;
        avformat_close_input(&probe);
    }
    const std::string demuxer = container->name;
    if (demuxer == "mp3") return BassMpegChannel::Open(path);
    // Containers no decoder here reads (tracker modules, video, ...) are not probed further.
    const auto& families = Families();
    const bool known = std::any_of(families.begin(), families.end(), [&](const Family& f) {
        return std::find(f.demuxers.begin(), f.demuxers.end(), demuxer) != f.demuxers.end();
    });
    return known ? BassAvChannel::Open(path, plugins, container) : nullptr;
}

std::unique_ptr<BassChannel> BassAvChannel::Open(const std::string& path,
                                                 const std::set<std::string>& plugins,
                                                 const AVInputFormat* container) {
    std::unique_ptr<BassAvChannel> ch(new BassAvChannel());
    ch->m_path = path;
    ch->m_container = container;
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
    d.origres = OriginalResolution(*ch->m_codec);
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
    if (avformat_open_input(&m_format, path.c_str(), m_container, nullptr) < 0) return false;
    // A WAV or AIFF header already names the codec, rate, channels and length; analysing the
    // stream as well would read and decode much of a short file just to be told the same.
    if (!HeaderDescribesStream(*m_format) && avformat_find_stream_info(m_format, nullptr) < 0) return false;
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

bool BassAvChannel::StartFloat() {
    if (!m_pending.empty()) return false;
    swr_free(&m_swr);
    m_swrFormat = -1;
    m_float = true;
    return true;
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
    const AVSampleFormat outFormat = m_float           ? AV_SAMPLE_FMT_FLT
                                     : m_info.eightBit ? AV_SAMPLE_FMT_U8
                                                       : AV_SAMPLE_FMT_S16;
    const std::size_t outFrame = m_float ? std::size_t{m_info.chans} * 4 : FrameBytes();
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
    m_pending.resize(static_cast<std::size_t>(room) * outFrame);
    std::uint8_t* dst = m_pending.data();
    const int n = swr_convert(m_swr, &dst, room, const_cast<const std::uint8_t**>(frame->extended_data),
                              frame->nb_samples);
    if (n < 0) return false;
    m_pending.resize(static_cast<std::size_t>(n) * outFrame);
    return true;
}
