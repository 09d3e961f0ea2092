#include "sources/FfmpegHandles.h"

#include "platform/AvLibraries.h"

FormatContextPtr OpenContainer(const char* path) {
    if (!path || !LoadAvLibraries()) return nullptr;
    AVFormatContext* raw = nullptr;
    // avformat_open_input frees the context itself when it fails.
    if (avformat_open_input(&raw, path, nullptr, nullptr) < 0) return nullptr;
    FormatContextPtr ctx(raw);
    if (avformat_find_stream_info(ctx.get(), nullptr) < 0) return nullptr;
    return ctx;
}

int FirstAudioStream(const AVFormatContext& ctx) {
    for (unsigned i = 0; i < ctx.nb_streams; ++i)
        if (ctx.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) return static_cast<int>(i);
    return -1;
}

int ContainerSeconds(const AVFormatContext& ctx) {
    if (ctx.duration == AV_NOPTS_VALUE || ctx.duration <= 0) return 0;
    const std::int64_t seconds = ctx.duration / AV_TIME_BASE;
    return seconds > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(seconds);
}
