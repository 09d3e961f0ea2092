#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "FuzzInput.h"
#include "platform/AvLibraries.h"
#include "platform/BassAvChannel.h"
#include "platform/BassPcmChannel.h"

namespace {

std::vector<std::uint8_t> Drain(BassChannel& ch) {
    std::vector<std::uint8_t> all;
    std::uint8_t pcm[4099];
    // Each call consumes input; the bound only stops a channel that would never end.
    for (int i = 0; i < 1 << 12; ++i) {
        const std::uint32_t got = ch.GetData(pcm, sizeof pcm);
        if (got == 0 || got == ~0u) break;
        all.insert(all.end(), pcm, pcm + got);
    }
    return all;
}

}  // namespace

// The WAV and AIFF headers the native PCM reader accepts, and reading them to the end. With
// WAVELORN_FUZZ_COMPARE=1 every file it accepts must also read the same through FFmpeg.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFile file(data, size);
    if (!file.Ok()) return 0;
    auto native = BassPcmChannel::Open(file.Path());
    if (!native) return 0;
    const auto nativeBytes = Drain(*native);
    if (nativeBytes.size() > native->Info().length) std::abort();
    static const bool compare = std::getenv("WAVELORN_FUZZ_COMPARE") != nullptr;
    if (!compare || !LoadAvLibraries()) return 0;
    const char* demuxer = size >= 4 && std::memcmp(data, "FORM", 4) == 0 ? "aiff" : "wav";
    auto general = BassAvChannel::Open(file.Path(), {}, av_find_input_format(demuxer));
    if (!general) std::abort();
    const auto& n = native->Info();
    const auto& g = general->Info();
    if (n.freq != g.freq || n.chans != g.chans || n.eightBit != g.eightBit || n.length != g.length)
        std::abort();
    if (Drain(*general) != nativeBytes) std::abort();
    return 0;
}
