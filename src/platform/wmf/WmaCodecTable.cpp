#include "platform/wmf/WmaCodecTable.h"

#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace {

// Bit rates follow what WMA encoders commonly offer at each rate, from 24 kbit/s up: the
// wmav2 encoder cannot go lower, and higher rates at low sample rates buy nothing.
const WmaCodecFormat kFormats[] = {
    {8000, 1, 24000},   {8000, 2, 24000},   {8000, 2, 32000},         {11025, 1, 24000},
    {11025, 2, 24000},  {11025, 2, 32000},  {16000, 1, 24000},        {16000, 1, 32000},
    {16000, 2, 24000},  {16000, 2, 32000},  {16000, 2, 48000},        {22050, 1, 24000},
    {22050, 1, 32000},  {22050, 2, 24000},  {22050, 2, 32000},        {22050, 2, 48000},
    {22050, 2, 64000},  {32000, 1, 32000},  {32000, 1, 48000},        {32000, 2, 32000},
    {32000, 2, 48000},  {32000, 2, 64000},  {32000, 2, 64000, true},  {32000, 2, 96000},
    {44100, 1, 32000},  {44100, 1, 48000},  {44100, 1, 64000},        {44100, 1, 48000, true},
    {44100, 2, 32000},  {44100, 2, 48000},  {44100, 2, 64000},        {44100, 2, 80000},
    {44100, 2, 96000},  {44100, 2, 128000}, {44100, 2, 128000, true}, {44100, 2, 160000},
    {44100, 2, 192000}, {48000, 1, 48000},  {48000, 1, 64000},        {48000, 2, 64000},
    {48000, 2, 96000},  {48000, 2, 128000}, {48000, 2, 160000},       {48000, 2, 192000},
    {48000, 2, 256000}, {48000, 2, 320000},
};

struct CodecContextFreer {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};

}  // namespace

std::span<const WmaCodecFormat> WmaCodecFormats() {
    return kFormats;
}

std::string WmaFormatDescription(const WmaCodecFormat& format) {
    char text[96];
    std::snprintf(text, sizeof text, "%d kbps, %d kHz, %s%s CBR", format.bitrate / 1000,
                  format.sampleRate / 1000, format.channels == 1 ? "mono" : "stereo",
                  format.audioVideo ? " (A/V)" : "");
    return text;
}

std::optional<WmMediaType> WmaCodecMediaType(int sampleRate, int channels, int bitrate) {
    const AVCodec* codec = avcodec_find_encoder_by_name("wmav2");
    if (!codec || channels < 1 || channels > 2) return std::nullopt;
    std::unique_ptr<AVCodecContext, CodecContextFreer> ctx(avcodec_alloc_context3(codec));
    if (!ctx) return std::nullopt;
    ctx->sample_rate = sampleRate;
    ctx->bit_rate = bitrate;
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&ctx->ch_layout, channels);
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return std::nullopt;
    WaveFormatEx wave;
    wave.formatTag = 0x0161;
    wave.channels = static_cast<std::uint16_t>(channels);
    wave.samplesPerSec = static_cast<std::uint32_t>(sampleRate);
    wave.avgBytesPerSec = static_cast<std::uint32_t>(bitrate / 8);
    wave.blockAlign = static_cast<std::uint16_t>(ctx->block_align);
    wave.bitsPerSample = 16;
    std::vector<std::uint8_t> extra;
    if (ctx->extradata && ctx->extradata_size > 0)
        extra.assign(ctx->extradata, ctx->extradata + ctx->extradata_size);
    return WmMediaType::Audio(kMediaSubtypeWmAudioV8, wave, extra);
}
