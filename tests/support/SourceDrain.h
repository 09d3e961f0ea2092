#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "sources/AudioSource.h"
#include "support/TestSupport.h"

namespace testsupport {

/// Everything a reader delivered until its stream ended, with the block statistics.
struct Drained {
    std::vector<std::int16_t> left, right;    // 16-bit sources
    std::vector<std::uint8_t> left8, right8;  // 8-bit sources
    int blocks = 0;
    int largestBlock = 0;
    bool endedInTime = false;  // false: still delivering after maxBlocks (a hang)
    bool positionsInRange = true;
};

/// Reads an open source the way a conversion does. Guard bytes after each buffer catch overruns.
inline Drained DrainSource(AudioSource& src, int maxBlocks = 200000) {
    Drained d;
    const bool stereo = src.GetOutputChannels() == 2;
    const bool eight = src.GetBitsPerSample() == 8;
    const std::size_t bytes = eight ? kBlockFrames : kBlockFrames * 2;
    std::vector<std::uint8_t> l(bytes + 64, 0xA5), r(bytes + 64, 0xA5);
    const std::int64_t total = src.GetTotalLength();
    for (int i = 0; i < maxBlocks; ++i) {
        const int n = src.ReadBlock(l.data(), stereo ? r.data() : nullptr);
        const std::int64_t pos = src.GetPosition();
        if (pos < 0 || (total > 0 && pos > total)) d.positionsInRange = false;
        for (std::size_t g = bytes; g < l.size(); ++g)
            if (l[g] != 0xA5 || r[g] != 0xA5) d.largestBlock = kBlockFrames + 1;
        if (!stereo && r[0] != 0xA5) d.largestBlock = kBlockFrames + 1;  // touched the null side
        if (n < 1) {
            d.endedInTime = true;
            return d;
        }
        ++d.blocks;
        d.largestBlock = std::max(d.largestBlock, n);
        if (n > kBlockFrames) return d;
        if (eight) {
            d.left8.insert(d.left8.end(), l.begin(), l.begin() + n);
            if (stereo) d.right8.insert(d.right8.end(), r.begin(), r.begin() + n);
        } else {
            const auto* ls = reinterpret_cast<const std::int16_t*>(l.data());
            const auto* rs = reinterpret_cast<const std::int16_t*>(r.data());
            d.left.insert(d.left.end(), ls, ls + n);
            if (stereo) d.right.insert(d.right.end(), rs, rs + n);
        }
    }
    return d;
}

/// ffmpeg's decode of a file as 16-bit planar channels, after an optional audio filter
/// (for example "pan=stereo|c0=c0|c1=c2") and optional decoder options placed before -i.
inline std::vector<std::vector<std::int16_t>> PeerDecode(const std::string& path, int channels,
                                                         const std::string& filter = {},
                                                         const std::vector<std::string>& inputOptions = {}) {
    std::vector<std::string> argv{"ffmpeg", "-v", "error", "-nostdin"};
    argv.insert(argv.end(), inputOptions.begin(), inputOptions.end());
    argv.insert(argv.end(), {"-i", path});
    if (!filter.empty()) argv.insert(argv.end(), {"-af", filter});
    argv.insert(argv.end(), {"-f", "s16le", "-acodec", "pcm_s16le", "-"});
    std::string raw;
    std::vector<std::vector<std::int16_t>> out(static_cast<std::size_t>(channels));
    if (Run(argv, &raw) != 0) return out;
    const std::size_t frames = raw.size() / 2 / static_cast<std::size_t>(channels);
    for (std::size_t k = 0; k < frames; ++k)
        for (int c = 0; c < channels; ++c) {
            const std::size_t i = 2 * (k * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c));
            out[static_cast<std::size_t>(c)].push_back(static_cast<std::int16_t>(
                static_cast<std::uint8_t>(raw[i]) | (static_cast<std::uint8_t>(raw[i + 1]) << 8)));
        }
    return out;
}

/// Root-mean-square difference over the frames both signals have, relative to full scale.
inline double RelativeRmsDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n == 0) return 1.0;
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return std::sqrt(sum / double(n)) / 32768.0;
}

/// Largest absolute sample difference over the frames both signals have.
inline int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

}  // namespace testsupport
