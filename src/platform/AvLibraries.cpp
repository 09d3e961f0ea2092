#include "platform/AvLibraries.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

// Every FFmpeg function called here, with the library that defines it. The forwarders below are
// definitions of the headers' own declarations, so a signature that drifts fails to compile.
#define WAVELORN_AV_FUNCTIONS(X)                                                                            \
    X(kUtil, AVAudioFifo*, av_audio_fifo_alloc, (AVSampleFormat f, int c, int n), (f, c, n))                \
    X(kUtil, void, av_audio_fifo_free, (AVAudioFifo * af), (af))                                            \
    X(kUtil, int, av_audio_fifo_read, (AVAudioFifo * af, void** d, int n), (af, d, n))                      \
    X(kUtil, int, av_audio_fifo_size, (AVAudioFifo * af), (af))                                             \
    X(kUtil, int, av_audio_fifo_write, (AVAudioFifo * af, void** d, int n), (af, d, n))                     \
    X(kUtil, int, av_channel_layout_copy, (AVChannelLayout * d, const AVChannelLayout* s), (d, s))          \
    X(kUtil, void, av_channel_layout_default, (AVChannelLayout * l, int n), (l, n))                         \
    X(kUtil, void, av_channel_layout_uninit, (AVChannelLayout * l), (l))                                    \
    X(kUtil, void, av_dict_free, (AVDictionary * *m), (m))                                                  \
    X(kUtil, AVDictionaryEntry*, av_dict_get,                                                               \
      (const AVDictionary* m, const char* k, const AVDictionaryEntry* p, int f), (m, k, p, f))              \
    X(kUtil, int, av_dict_set, (AVDictionary * *m, const char* k, const char* v, int f), (m, k, v, f))      \
    X(kUtil, AVFrame*, av_frame_alloc, (), ())                                                              \
    X(kUtil, void, av_frame_free, (AVFrame * *f), (f))                                                      \
    X(kUtil, int, av_frame_get_buffer, (AVFrame * f, int a), (f, a))                                        \
    X(kUtil, void, av_frame_unref, (AVFrame * f), (f))                                                      \
    X(kUtil, AVSampleFormat, av_get_packed_sample_fmt, (AVSampleFormat f), (f))                             \
    X(kUtil, void, av_log_set_level, (int l), (l))                                                          \
    X(kUtil, const char*, av_version_info, (), ())                                                          \
    X(kUtil, int64_t, av_rescale_q, (int64_t a, AVRational b, AVRational c), (a, b, c))                     \
    X(kUtil, int, av_sample_fmt_is_planar, (AVSampleFormat f), (f))                                         \
    X(kResample, int, swr_alloc_set_opts2,                                                                  \
      (SwrContext * *s, AVChannelLayout * ol, AVSampleFormat of, int orate, AVChannelLayout* il,            \
       AVSampleFormat inf, int irate, int lo, void* lc),                                                    \
      (s, ol, of, orate, il, inf, irate, lo, lc))                                                           \
    X(kResample, int, swr_convert, (SwrContext * s, uint8_t * *o, int on, const uint8_t** i, int in),       \
      (s, o, on, i, in))                                                                                    \
    X(kResample, void, swr_free, (SwrContext * *s), (s))                                                    \
    X(kResample, int, swr_get_out_samples, (SwrContext * s, int n), (s, n))                                 \
    X(kResample, int, swr_init, (SwrContext * s), (s))                                                      \
    X(kResample, int, swr_set_matrix, (SwrContext * s, const double* m, int st), (s, m, st))                \
    X(kCodec, int, av_get_exact_bits_per_sample, (AVCodecID id), (id))                                      \
    X(kCodec, AVPacket*, av_packet_alloc, (), ())                                                           \
    X(kCodec, void, av_packet_free, (AVPacket * *p), (p))                                                   \
    X(kCodec, void, av_packet_unref, (AVPacket * p), (p))                                                   \
    X(kCodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* c), (c))                             \
    X(kCodec, const AVCodec*, avcodec_find_decoder, (AVCodecID id), (id))                                   \
    X(kCodec, const AVCodec*, avcodec_find_decoder_by_name, (const char* n), (n))                           \
    X(kCodec, const AVCodec*, avcodec_find_encoder_by_name, (const char* n), (n))                           \
    X(kCodec, void, avcodec_free_context, (AVCodecContext * *c), (c))                                       \
    X(kCodec, const char*, avcodec_get_name, (AVCodecID id), (id))                                          \
    X(kCodec, int, avcodec_open2, (AVCodecContext * c, const AVCodec* k, AVDictionary** o), (c, k, o))      \
    X(kCodec, int, avcodec_parameters_from_context, (AVCodecParameters * p, const AVCodecContext* c),       \
      (p, c))                                                                                               \
    X(kCodec, int, avcodec_parameters_to_context, (AVCodecContext * c, const AVCodecParameters* p), (c, p)) \
    X(kCodec, int, avcodec_receive_frame, (AVCodecContext * c, AVFrame * f), (c, f))                        \
    X(kCodec, int, avcodec_receive_packet, (AVCodecContext * c, AVPacket * p), (c, p))                      \
    X(kCodec, int, avcodec_send_frame, (AVCodecContext * c, const AVFrame* f), (c, f))                      \
    X(kCodec, int, avcodec_send_packet, (AVCodecContext * c, const AVPacket* p), (c, p))                    \
    X(kFormat, int, av_find_best_stream,                                                                    \
      (AVFormatContext * ic, AVMediaType t, int w, int r, const AVCodec** d, int f), (ic, t, w, r, d, f))   \
    X(kFormat, const AVInputFormat*, av_find_input_format, (const char* n), (n))                            \
    X(kFormat, const AVOutputFormat*, av_guess_format, (const char* n, const char* f, const char* m),       \
      (n, f, m))                                                                                            \
    X(kFormat, int, av_interleaved_write_frame, (AVFormatContext * s, AVPacket * p), (s, p))                \
    X(kFormat, int, av_read_frame, (AVFormatContext * s, AVPacket * p), (s, p))                             \
    X(kFormat, int, av_write_trailer, (AVFormatContext * s), (s))                                           \
    X(kFormat, int, avformat_alloc_output_context2,                                                         \
      (AVFormatContext * *c, const AVOutputFormat* o, const char* n, const char* f), (c, o, n, f))          \
    X(kFormat, void, avformat_close_input, (AVFormatContext * *s), (s))                                     \
    X(kFormat, int, avformat_find_stream_info, (AVFormatContext * ic, AVDictionary * *o), (ic, o))          \
    X(kFormat, void, avformat_free_context, (AVFormatContext * s), (s))                                     \
    X(kFormat, AVStream*, avformat_new_stream, (AVFormatContext * s, const AVCodec* c), (s, c))             \
    X(kFormat, int, avformat_open_input,                                                                    \
      (AVFormatContext * *ps, const char* u, const AVInputFormat* f, AVDictionary** o), (ps, u, f, o))      \
    X(kFormat, int, avformat_write_header, (AVFormatContext * s, AVDictionary * *o), (s, o))                \
    X(kFormat, int, avio_closep, (AVIOContext * *s), (s))                                                   \
    X(kFormat, int, avio_open, (AVIOContext * *s, const char* u, int f), (s, u, f))                         \
    X(kFormat, int64_t, avio_seek, (AVIOContext * s, int64_t o, int w), (s, o, w))                          \
    X(kFormat, int64_t, avio_size, (AVIOContext * s), (s))

namespace {

enum Library { kUtil, kResample, kCodec, kFormat, kLibraryCount };

// The shared-object names of the libraries the headers describe, so the ABI is the one compiled for.
constexpr const char* kSonames[kLibraryCount] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
};

struct AvLibraries {
    bool loaded = false;
#define WAVELORN_AV_SLOT(lib, ret, name, params, args) decltype(&::name) name = nullptr;
    WAVELORN_AV_FUNCTIONS(WAVELORN_AV_SLOT)
#undef WAVELORN_AV_SLOT
};

AvLibraries Open() {
    AvLibraries libs;
    void* handles[kLibraryCount] = {};
    for (int i = 0; i < kLibraryCount; ++i) {
        // Kept open for the life of the process: the libraries hold codec registries and state
        // that outlive any one file.
        handles[i] = ::dlopen(kSonames[i], RTLD_LAZY | RTLD_LOCAL);
        if (!handles[i]) return libs;
    }
    bool complete = true;
#define WAVELORN_AV_RESOLVE(lib, ret, name, params, args)                          \
    libs.name = reinterpret_cast<decltype(&::name)>(::dlsym(handles[lib], #name)); \
    complete = complete && libs.name != nullptr;
    WAVELORN_AV_FUNCTIONS(WAVELORN_AV_RESOLVE)
#undef WAVELORN_AV_RESOLVE
    if (!complete) return libs;
    // Decoders report damaged files through their results; their own console chatter would only
    // clutter the command-line converter's output.
    libs.av_log_set_level(AV_LOG_QUIET);
    libs.loaded = true;
    return libs;
}

const AvLibraries& Libraries() {
    static const AvLibraries libs = Open();  // once, safely across threads
    return libs;
}

[[noreturn]] void Missing(const char* name) {
    std::fprintf(stderr, "FFmpeg's %s is not available (libraries %s, %s, %s, %s)\n", name, kSonames[0],
                 kSonames[1], kSonames[2], kSonames[3]);
    std::abort();
}

}  // namespace

bool LoadAvLibraries() {
    return Libraries().loaded;
}

#define WAVELORN_AV_FORWARD(lib, ret, name, params, args) \
    extern "C" ret name params {                          \
        const AvLibraries& libs = Libraries();            \
        if (!libs.loaded) Missing(#name);                 \
        return libs.name args;                            \
    }
WAVELORN_AV_FUNCTIONS(WAVELORN_AV_FORWARD)
#undef WAVELORN_AV_FORWARD
