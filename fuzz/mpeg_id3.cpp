#include <cstdint>

#include "FuzzInput.h"
#include "platform/BassMpegChannel.h"
#include "sources/BassSource.h"

// The frame-header check on the first four bytes, then the input as an MPEG file: the ID3v2
// extent at its start, the ID3v1 block at its end, and some decoding.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4) (void)BassSource::ChannelModeFromFrameHeader(data);
    FuzzFile file(data, size);
    if (!file.Ok()) return 0;
    auto channel = BassMpegChannel::Open(file.Path());
    if (!channel) return 0;
    (void)channel->Id3Tag(0);
    (void)channel->Id3Tag(1);
    std::uint8_t pcm[4608];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t got = channel->GetData(pcm, sizeof pcm);
        if (got == 0 || got == ~0u) break;
    }
    return 0;
}
