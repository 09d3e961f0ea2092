#include "platform/wmf/WmWriter.h"

#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "platform/AvLibraries.h"

namespace {

struct FormatFreer {
    void operator()(AVFormatContext* ctx) const {
        if (ctx->pb) avio_closep(&ctx->pb);
        avformat_free_context(ctx);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct SwrFreer {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}  // namespace

/// The FFmpeg side of one file being written: converter, FIFO of codec frames, encoder, muxer.
struct WmWriter::Encoder {
    std::unique_ptr<AVFormatContext, FormatFreer> format;
    std::unique_ptr<AVCodecContext, CodecFreer> codec;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    std::unique_ptr<AVAudioFifo, FifoFreer> fifo;
    std::unique_ptr<AVFrame, FrameFreer> frame;
    std::unique_ptr<AVPacket, PacketFreer> packet;
    AVStream* stream = nullptr;
    int inChannels = 0;
    int inBytesPerFrame = 0;
    std::int64_t packetIndex = 0;
    std::vector<std::uint8_t*> planes;
    std::vector<std::vector<float>> scratch;

    bool Drain() {
        for (;;) {
            const int r = avcodec_receive_packet(codec.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            // Packets follow one another without gaps from time 0; the encoder's own
            // timestamps start one frame early for its delay.
            const std::int64_t pts = packetIndex++ * codec->frame_size;
            packet->pts = packet->dts = av_rescale_q(pts, codec->time_base, stream->time_base);
            packet->duration = av_rescale_q(codec->frame_size, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format.get(), packet.get()) < 0) return false;
        }
    }

    bool EncodeFrames(bool all) {
        const int size = codec->frame_size;
        while (av_audio_fifo_size(fifo.get()) >= (all ? 1 : size)) {
            av_frame_unref(frame.get());
            frame->nb_samples = size;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0) return false;
            if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
            const int got = av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), size);
            if (got < 0) return false;
            for (int ch = 0; ch < codec->ch_layout.nb_channels; ++ch) {
                float* data = reinterpret_cast<float*>(frame->data[ch]);
                std::fill(data + got, data + size, 0.0f);
            }
            if (avcodec_send_frame(codec.get(), frame.get()) < 0 || !Drain()) return false;
        }
        return true;
    }

    bool AddSilence(int frames) {
        const int channels = codec->ch_layout.nb_channels;
        std::vector<std::vector<float>> zeros(static_cast<std::size_t>(channels),
                                              std::vector<float>(static_cast<std::size_t>(frames), 0.0f));
        std::vector<void*> data;
        for (auto& z : zeros) data.push_back(z.data());
        return av_audio_fifo_write(fifo.get(), data.data(), frames) == frames;
    }

    /// Converts interleaved input (or the converter's tail when frames is 0 and in is null).
    bool Convert(const std::uint8_t* in, int frames) {
        const int room = swr_get_out_samples(swr.get(), frames);
        if (room < 0) return false;
        const int channels = codec->ch_layout.nb_channels;
        scratch.resize(static_cast<std::size_t>(channels));
        planes.clear();
        for (auto& s : scratch) {
            if (s.size() < static_cast<std::size_t>(room)) s.resize(static_cast<std::size_t>(room));
            planes.push_back(reinterpret_cast<std::uint8_t*>(s.data()));
        }
        const std::uint8_t* input[1] = {in};
        const int out = swr_convert(swr.get(), planes.data(), room, in ? input : nullptr, frames);
        if (out < 0) return false;
        if (out > 0 && av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(planes.data()), out) != out) {
            return false;
        }
        return EncodeFrames(false);
    }
};

WmWriter::WmWriter() = default;
WmWriter::~WmWriter() = default;

WmResult WmWriter::SetProfile(const WmProfile& profile) {
    if (m_encoder) return kWmUnexpected;
    std::uint32_t count = 0;
    profile.GetStreamCount(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<WmStreamConfig> stream;
        if (WmFailed(profile.GetStream(i, stream))) return kWmFail;
        WmGuid type{};
        stream->GetStreamType(type);
        if (!(type == kMediaTypeAudio)) continue;
        WmMediaType media;
        stream->GetMediaType(media);
        WaveFormatEx wave;
        if (!media.GetWaveFormat(wave) || wave.channels < 1 || wave.channels > 2 || wave.samplesPerSec == 0) {
            return kWmInvalidArg;
        }
        m_codecType = media;
        stream->GetBitrate(m_bitrate);
        if (m_bitrate == 0) m_bitrate = wave.avgBytesPerSec * 8;
        // Until told otherwise the input is 16-bit PCM in the codec's rate and channels.
        WaveFormatEx pcm{1,
                         wave.channels,
                         wave.samplesPerSec,
                         wave.samplesPerSec * wave.channels * 2u,
                         static_cast<std::uint16_t>(wave.channels * 2),
                         16,
                         0};
        m_input.SetMediaType(WmMediaType::Audio(kMediaSubtypePcm, pcm));
        m_haveProfile = true;
        return kWmOk;
    }
    return kWmInvalidArg;
}

WmResult WmWriter::GetInputCount(std::uint32_t& count) const {
    count = m_haveProfile ? 1 : 0;
    return kWmOk;
}

WmResult WmWriter::GetInputProps(std::uint32_t input, std::unique_ptr<WmMediaProps>& props) const {
    if (!m_haveProfile || input != 0) return kWmInvalidArg;
    props = std::make_unique<WmMediaProps>(m_input);
    return kWmOk;
}

WmResult WmWriter::SetInputProps(std::uint32_t input, const WmMediaProps& props) {
    if (!m_haveProfile || input != 0 || m_encoder) return kWmInvalidArg;
    WmMediaType type;
    props.GetMediaType(type);
    WaveFormatEx wave;
    // 8- or 16-bit PCM, or 32-bit float.
    const bool pcm = type.subtype == kMediaSubtypePcm;
    if (!(type.majorType == kMediaTypeAudio) || !(pcm || type.subtype == kMediaSubtypeIeeeFloat) ||
        !type.GetWaveFormat(wave) ||
        (pcm ? wave.bitsPerSample != 8 && wave.bitsPerSample != 16 : wave.bitsPerSample != 32) ||
        wave.channels < 1 || wave.channels > 2 || wave.samplesPerSec < 1000 || wave.samplesPerSec > 384000 ||
        wave.blockAlign != wave.channels * wave.bitsPerSample / 8) {
        return kWmInvalidArg;
    }
    m_input.SetMediaType(type);
    m_inputSet = true;
    return kWmOk;
}

WmResult WmWriter::AddAttribute(std::uint16_t stream, const std::string& name, WmAttrType type,
                                std::uint16_t language, const std::uint8_t* value, std::uint32_t length) {
    if (stream != 0 || language != 0 || name.empty() || (length > 0 && !value)) return kWmInvalidArg;
    WmAttribute a{name, type, {}};
    if (length > 0) a.value.assign(value, value + length);
    m_attributes.push_back(std::move(a));
    return kWmOk;
}

WmResult WmWriter::SetOutputFilename(const char* path) {
    if (!path || !*path || m_encoder) return kWmInvalidArg;
    m_path = path;
    return kWmOk;
}

WmResult WmWriter::Abandon(WmResult result) {
    m_encoder.reset();
    return result;
}

WmResult WmWriter::BeginWriting() {
    if (!m_haveProfile || m_path.empty() || m_encoder) return kWmUnexpected;
    WaveFormatEx codecWave, inWave;
    WmMediaType inType;
    m_input.GetMediaType(inType);
    if (!m_codecType.GetWaveFormat(codecWave) || !inType.GetWaveFormat(inWave)) return kWmUnexpected;

    auto enc = std::make_unique<Encoder>();
    const AVCodec* codec = avcodec_find_encoder_by_name("wmav2");
    if (!codec) return kWmFail;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "asf", m_path.c_str()) < 0 || !raw) return kWmFail;
    enc->format.reset(raw);
    // No encoder-version attribute, no random file id: the same input gives the same file.
    raw->flags |= AVFMT_FLAG_BITEXACT;

    enc->codec.reset(avcodec_alloc_context3(codec));
    if (!enc->codec) return kWmOutOfMemory;
    AVCodecContext& c = *enc->codec;
    c.sample_rate = static_cast<int>(codecWave.samplesPerSec);
    c.bit_rate = m_bitrate;
    c.sample_fmt = AV_SAMPLE_FMT_FLTP;
    c.time_base = {1, c.sample_rate};
    c.flags |= AV_CODEC_FLAG_BITEXACT;
    av_channel_layout_default(&c.ch_layout, codecWave.channels);
    if (raw->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(&c, codec, nullptr) < 0) return kWmFail;

    enc->stream = avformat_new_stream(raw, nullptr);
    if (!enc->stream || avcodec_parameters_from_context(enc->stream->codecpar, &c) < 0) return kWmFail;
    enc->stream->time_base = c.time_base;

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, inWave.channels);
    SwrContext* swr = nullptr;
    const AVSampleFormat inFormat = inWave.bitsPerSample == 8    ? AV_SAMPLE_FMT_U8
                                    : inWave.bitsPerSample == 32 ? AV_SAMPLE_FMT_FLT
                                                                 : AV_SAMPLE_FMT_S16;
    if (swr_alloc_set_opts2(&swr, &c.ch_layout, c.sample_fmt, c.sample_rate, &inLayout, inFormat,
                            static_cast<int>(inWave.samplesPerSec), 0, nullptr) < 0) {
        return kWmFail;
    }
    enc->swr.reset(swr);
    // Plain channel arithmetic: two channels fold to their mean, one channel feeds both sides.
    if (inWave.channels != codecWave.channels) {
        const double down[2] = {0.5, 0.5};
        const double up[2] = {1.0, 1.0};
        if (swr_set_matrix(swr, inWave.channels == 2 ? down : up, 1) < 0) return kWmFail;
    }
    if (swr_init(swr) < 0) return kWmFail;
    enc->fifo.reset(av_audio_fifo_alloc(c.sample_fmt, c.ch_layout.nb_channels, c.frame_size * 2));
    enc->frame.reset(av_frame_alloc());
    enc->packet.reset(av_packet_alloc());
    if (!enc->fifo || !enc->frame || !enc->packet) return kWmOutOfMemory;
    enc->inChannels = inWave.channels;
    enc->inBytesPerFrame = inWave.blockAlign;

    if (avio_open(&raw->pb, m_path.c_str(), AVIO_FLAG_WRITE) < 0) return kWmFail;
    if (avformat_write_header(raw, nullptr) < 0) {
        avio_closep(&raw->pb);
        std::remove(m_path.c_str());
        return kWmFail;
    }
    // FFmpeg's WMA decoder drops the first frame it decodes (it has no earlier frame to overlap
    // with), so every file starts with one frame of silence that is lost instead of the audio.
    if (!enc->AddSilence(c.frame_size)) return kWmFail;
    m_encoder = std::move(enc);
    return kWmOk;
}

WmResult WmWriter::AllocateSample(std::uint32_t size, std::unique_ptr<WmBuffer>& sample) const {
    sample = std::make_unique<WmBuffer>(size);
    return kWmOk;
}

WmResult WmWriter::WriteSample(std::uint32_t input, std::uint64_t sampleTime, std::uint32_t flags,
                               WmBuffer& sample) {
    (void)sampleTime;
    (void)flags;
    if (!m_encoder || input != 0) return kWmUnexpected;
    const std::size_t length = sample.GetLength();
    if (length % static_cast<std::size_t>(m_encoder->inBytesPerFrame) != 0) return kWmInvalidArg;
    if (length == 0) return kWmOk;
    const auto frames = static_cast<int>(length / static_cast<std::size_t>(m_encoder->inBytesPerFrame));
    if (!m_encoder->Convert(sample.GetBuffer(), frames)) return Abandon(kWmFail);
    return kWmOk;
}

WmResult WmWriter::EndWriting() {
    if (!m_encoder) return kWmUnexpected;
    Encoder& e = *m_encoder;
    // One more frame of silence after the last one: its overlap completes the last frame of audio.
    bool ok = e.Convert(nullptr, 0) && e.AddSilence(e.codec->frame_size) && e.EncodeFrames(true) &&
              avcodec_send_frame(e.codec.get(), nullptr) >= 0 && e.Drain();
    ok = av_write_trailer(e.format.get()) == 0 && ok;
    if (e.format->pb) ok = avio_closep(&e.format->pb) == 0 && ok;
    m_encoder.reset();
    if (ok && !m_attributes.empty()) ok = StoreAsfAttributes(m_path, m_attributes);
    return ok ? kWmOk : kWmFail;
}

WmResult WMCreateWriter(std::unique_ptr<WmWriter>& writer) {
    if (!LoadAvLibraries()) return kWmFail;
    writer = std::make_unique<WmWriter>();
    return kWmOk;
}
