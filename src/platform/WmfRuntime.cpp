#include "platform/WmfRuntime.h"

#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "platform/AvLibraries.h"

WmfRuntime::WmfRuntime() : m_probe(&FfmpegOffersWmaRuntime) {}

WmfRuntime::WmfRuntime(Probe probe) : m_probe(std::move(probe)) {}

int WmfRuntime::LoadWmfRuntime() {
    if (m_loaded) return 1;
    m_loaded = m_probe && m_probe();
    return m_loaded ? 1 : 0;
}

bool FfmpegOffersWmaRuntime() {
    // The newer WMA decoders (wmapro, wmavoice, wmalossless) are used when present but are not
    // required: without them only those variants fail, as they would with an old runtime.
    return LoadAvLibraries() && avcodec_find_encoder_by_name("wmav2") != nullptr &&
           avcodec_find_decoder_by_name("wmav1") != nullptr &&
           avcodec_find_decoder_by_name("wmav2") != nullptr &&
           av_guess_format("asf", nullptr, nullptr) != nullptr && av_find_input_format("asf") != nullptr;
}
