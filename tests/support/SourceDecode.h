#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sources/AudioSource.h"

namespace testsupport {

/// Everything a source delivered, with 8-bit samples widened to 16 bits ((x - 128) << 8).
struct Decoded {
    bool opened = false;
    int outputChannels = 0;
    int bits = 0;
    int blocks = 0;
    std::vector<std::int16_t> samples;  // interleaved by output channel
};

/// Opens `path` and reads it to the end following the block convention: a null right buffer for
/// mono output, at most 1152 frames per call. Stops after `maxBlocks` so a looping reader fails.
inline Decoded DecodeAll(AudioSource& src, const std::string& path, int maxBlocks = 100000) {
    Decoded d;
    d.opened = src.Open(path.c_str(), 0) != 0;
    if (!d.opened) return d;
    d.outputChannels = src.GetOutputChannels();
    d.bits = src.GetBitsPerSample();
    std::vector<std::int16_t> left(kBlockFrames), right(kBlockFrames);
    for (; d.blocks < maxBlocks; ++d.blocks) {
        void* r = d.outputChannels == 2 ? right.data() : nullptr;
        const int n = src.ReadBlock(left.data(), r);
        if (n < 1) break;
        EXPECT_LE(n, kBlockFrames);
        const auto* l8 = reinterpret_cast<const std::uint8_t*>(left.data());
        const auto* r8 = reinterpret_cast<const std::uint8_t*>(right.data());
        for (int k = 0; k < n; ++k) {
            if (d.bits == 8) {
                d.samples.push_back(static_cast<std::int16_t>((l8[k] - 128) * 256));
                if (r) d.samples.push_back(static_cast<std::int16_t>((r8[k] - 128) * 256));
            } else {
                d.samples.push_back(left[static_cast<std::size_t>(k)]);
                if (r) d.samples.push_back(right[static_cast<std::size_t>(k)]);
            }
        }
    }
    EXPECT_LT(d.blocks, maxBlocks) << "reader never reported the end of the stream";
    return d;
}

}  // namespace testsupport
