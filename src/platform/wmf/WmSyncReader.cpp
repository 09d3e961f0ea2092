#include "platform/wmf/WmSyncReader.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "platform/AvLibraries.h"

namespace {

struct InputCloser {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct CodecFreer {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct SwrFreer {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

constexpr std::uint64_t kUnitsPerSecond = 10000000;

}  // namespace

struct WmSyncReader::Demuxer {
    struct Stream {
        int index = 0;  // in the container
        std::uint16_t number = 0;
        WmGuid type{};
        bool selected = true;
    };
    std::unique_ptr<AVFormatContext, InputCloser> format;
    std::vector<Stream> streams;

    // Decoding of the one audio stream being read.
    int decoding = -1;  // position in streams
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketFreer> packet{av_packet_alloc()};
    bool flushed = false;
    bool finished = false;
    std::uint64_t deliveredFrames = 0;

    bool StartDecoding(std::size_t which) {
        const AVStream* st = format->streams[streams[which].index];
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        if (!decoder) return false;
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), st->codecpar) < 0) return false;
        codec->pkt_timebase = st->time_base;
        if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return false;
        decoding = static_cast<int>(which);
        return true;
    }

    /// Converts the decoded frame into a sample of interleaved 16-bit PCM.
    bool Convert(std::unique_ptr<WmBuffer>& sample) {
        AVChannelLayout inLayout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels < 1) {
            av_channel_layout_default(&inLayout,
                                      std::max(frame->ch_layout.nb_channels, codec->ch_layout.nb_channels));
        } else if (av_channel_layout_copy(&inLayout, &frame->ch_layout) < 0) {
            return false;
        }
        // Every channel of the stream, in its own order: which of them to keep is the reader's choice.
        const int outChannels = inLayout.nb_channels;
        if (outChannels < 1 || frame->sample_rate < 1) {
            av_channel_layout_uninit(&inLayout);
            return false;
        }
        if (!swr) {
            SwrContext* raw = nullptr;
            const int r = swr_alloc_set_opts2(&raw, &inLayout, AV_SAMPLE_FMT_S16, frame->sample_rate,
                                              &inLayout, static_cast<AVSampleFormat>(frame->format),
                                              frame->sample_rate, 0, nullptr);
            swr.reset(raw);
            if (r < 0 || swr_init(raw) < 0) {
                av_channel_layout_uninit(&inLayout);
                return false;
            }
        }
        av_channel_layout_uninit(&inLayout);
        const int frames = frame->nb_samples;
        sample = std::make_unique<WmBuffer>(static_cast<std::size_t>(frames) * outChannels * 2);
        std::uint8_t* out[1] = {sample->GetBuffer()};
        const int got = swr_convert(swr.get(), out, frames,
                                    const_cast<const std::uint8_t**>(frame->extended_data), frames);
        if (got < 0) return false;
        sample->SetLength(static_cast<std::size_t>(got) * outChannels * 2);
        return true;
    }
};

WmSyncReader::WmSyncReader() = default;
WmSyncReader::~WmSyncReader() = default;

WmResult WmSyncReader::Open(const char* path) {
    Close();
    if (!path) return kWmInvalidArg;
    auto demuxer = std::make_unique<Demuxer>();
    if (!demuxer->frame || !demuxer->packet) return kWmOutOfMemory;
    const AVInputFormat* asf = av_find_input_format("asf");
    AVFormatContext* raw = nullptr;
    if (!asf || avformat_open_input(&raw, path, asf, nullptr) < 0) return kWmFail;
    demuxer->format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) return kWmFail;
    std::int64_t bitrate = 0;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* st = raw->streams[i];
        Demuxer::Stream s;
        s.index = static_cast<int>(i);
        s.number = static_cast<std::uint16_t>(st->id > 0 && st->id < 128 ? st->id : i + 1);
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) s.type = kMediaTypeAudio;
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) s.type = kMediaTypeVideo;
        bitrate += st->codecpar->bit_rate;
        demuxer->streams.push_back(s);
    }
    if (bitrate <= 0) bitrate = raw->bit_rate;
    m_attributes = ReadAsfAttributes(path);
    WmAttribute rate{"Bitrate", WmAttrType::Dword, {}};
    const auto value = static_cast<std::uint32_t>(std::clamp<std::int64_t>(bitrate, 0, 0xFFFFFFFF));
    for (int i = 0; i < 4; ++i) rate.value.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    m_attributes.push_back(std::move(rate));
    m_demuxer = std::move(demuxer);
    return kWmOk;
}

WmResult WmSyncReader::Close() {
    const bool wasOpen = m_demuxer != nullptr;
    m_demuxer.reset();
    m_attributes.clear();
    return wasOpen ? kWmOk : kWmUnexpected;
}

WmResult WmSyncReader::GetProfile(std::unique_ptr<WmProfile>& profile) const {
    if (!m_demuxer) return kWmUnexpected;
    profile = std::make_unique<WmProfile>();
    for (const auto& s : m_demuxer->streams) {
        WmStreamConfig config(s.type);
        config.SetStreamNumber(s.number);
        const AVStream* st = m_demuxer->format->streams[s.index];
        config.SetBitrate(
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(st->codecpar->bit_rate, 0, 0xFFFFFFFF)));
        profile->AddStream(config);  // a repeated stream number keeps the first
    }
    return kWmOk;
}

WmResult WmSyncReader::SetStreamsSelected(std::uint16_t count, const std::uint16_t* streams,
                                          const WmStreamSelection* selections) {
    if (!m_demuxer || count == 0 || !streams || !selections) return kWmInvalidArg;
    for (std::uint16_t i = 0; i < count; ++i) {
        auto it = std::find_if(m_demuxer->streams.begin(), m_demuxer->streams.end(),
                               [&](const Demuxer::Stream& s) { return s.number == streams[i]; });
        if (it == m_demuxer->streams.end()) return kWmInvalidArg;
    }
    // Streams not named are deselected, as when a player picks one stream.
    for (auto& s : m_demuxer->streams) {
        s.selected = false;
        for (std::uint16_t i = 0; i < count; ++i) {
            if (streams[i] == s.number) s.selected = selections[i] != WmStreamSelection::Off;
        }
    }
    return kWmOk;
}

WmResult WmSyncReader::SetReadStreamSamples(std::uint16_t stream, bool compressed) {
    if (!m_demuxer) return kWmUnexpected;
    const bool known = std::any_of(m_demuxer->streams.begin(), m_demuxer->streams.end(),
                                   [&](const Demuxer::Stream& s) { return s.number == stream; });
    if (!known) return kWmInvalidArg;
    return compressed ? kWmInvalidArg : kWmOk;
}

WmResult WmSyncReader::GetOutputCount(std::uint32_t& count) const {
    if (!m_demuxer) return kWmUnexpected;
    count = static_cast<std::uint32_t>(m_demuxer->streams.size());
    return kWmOk;
}

WmResult WmSyncReader::GetOutputProps(std::uint32_t output, std::unique_ptr<WmMediaProps>& props) const {
    if (!m_demuxer || output >= m_demuxer->streams.size()) return kWmInvalidArg;
    const auto& s = m_demuxer->streams[output];
    props = std::make_unique<WmMediaProps>();
    if (!(s.type == kMediaTypeAudio)) {
        WmMediaType other;
        other.majorType = s.type;
        props->SetMediaType(other);
        return kWmOk;
    }
    const AVCodecParameters& par = *m_demuxer->format->streams[s.index]->codecpar;
    const int channels = par.ch_layout.nb_channels;
    if (channels < 1 || par.sample_rate < 1) return kWmFail;
    const auto rate = static_cast<std::uint32_t>(par.sample_rate);
    WaveFormatEx pcm{1,
                     static_cast<std::uint16_t>(channels),
                     rate,
                     rate * channels * 2u,
                     static_cast<std::uint16_t>(channels * 2),
                     16,
                     0};
    props->SetMediaType(WmMediaType::Audio(kMediaSubtypePcm, pcm));
    return kWmOk;
}

WmResult WmSyncReader::GetNextSample(std::uint16_t stream, std::unique_ptr<WmBuffer>& sample,
                                     std::uint64_t& sampleTime, std::uint64_t& duration, std::uint32_t& flags,
                                     std::uint32_t& output, std::uint16_t& streamNumber) {
    if (!m_demuxer) return kWmUnexpected;
    Demuxer& d = *m_demuxer;
    if (d.decoding < 0) {
        std::size_t which = d.streams.size();
        for (std::size_t i = 0; i < d.streams.size(); ++i) {
            const auto& s = d.streams[i];
            if (s.selected && s.type == kMediaTypeAudio && (stream == 0 || s.number == stream)) {
                which = i;
                break;
            }
        }
        if (which == d.streams.size()) return kWmNoMoreSamples;
        if (!d.StartDecoding(which)) return kWmFail;
    } else if (stream != 0 && d.streams[static_cast<std::size_t>(d.decoding)].number != stream) {
        return kWmInvalidArg;
    }
    if (d.finished) return kWmNoMoreSamples;
    const int index = d.streams[static_cast<std::size_t>(d.decoding)].index;
    for (;;) {
        const int r = avcodec_receive_frame(d.codec.get(), d.frame.get());
        if (r == 0) {
            if (d.frame->nb_samples <= 0) continue;
            if (!d.Convert(sample)) return kWmFail;
            const int rate = d.frame->sample_rate;
            const auto frames = static_cast<std::uint64_t>(d.frame->nb_samples);
            sampleTime = d.deliveredFrames * kUnitsPerSecond / static_cast<std::uint64_t>(rate);
            duration = frames * kUnitsPerSecond / static_cast<std::uint64_t>(rate);
            d.deliveredFrames += frames;
            flags = 0;
            output = static_cast<std::uint32_t>(d.decoding);
            streamNumber = d.streams[static_cast<std::size_t>(d.decoding)].number;
            av_frame_unref(d.frame.get());
            return kWmOk;
        }
        if (r == AVERROR_EOF) {
            d.finished = true;
            return kWmNoMoreSamples;
        }
        if (r != AVERROR(EAGAIN)) return kWmFail;
        if (d.flushed) {
            d.finished = true;
            return kWmNoMoreSamples;
        }
        const int read = av_read_frame(d.format.get(), d.packet.get());
        if (read < 0) {
            avcodec_send_packet(d.codec.get(), nullptr);
            d.flushed = true;
            continue;
        }
        if (d.packet->stream_index == index) {
            // A damaged packet is skipped, as players do; the stream goes on.
            avcodec_send_packet(d.codec.get(), d.packet.get());
        }
        av_packet_unref(d.packet.get());
    }
}

WmResult WmSyncReader::GetAttributeByName(std::uint16_t& stream, const char* name, WmAttrType& type,
                                          std::uint8_t* value, std::uint16_t& length) const {
    if (!m_demuxer || !name) return kWmUnexpected;
    if (stream != 0) return kWmAttributeNotFound;
    auto it = std::find_if(m_attributes.begin(), m_attributes.end(),
                           [&](const WmAttribute& a) { return a.name == name; });
    if (it == m_attributes.end()) return kWmAttributeNotFound;
    // Lengths are 16-bit: a longer value is cut, a text on a whole character.
    std::size_t size = std::min<std::size_t>(it->value.size(), 0xFFFE);
    type = it->type;
    if (!value) {
        length = static_cast<std::uint16_t>(size);
        return kWmOk;
    }
    if (length < size) return kWmInvalidArg;
    std::memcpy(value, it->value.data(), size);
    length = static_cast<std::uint16_t>(size);
    return kWmOk;
}

WmResult WMCreateSyncReader(std::unique_ptr<WmSyncReader>& reader) {
    if (!LoadAvLibraries()) return kWmFail;
    reader = std::make_unique<WmSyncReader>();
    return kWmOk;
}
