#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

/// Wipes `count` whole frames of a constant-bit-rate MPEG-1 layer III file with zeros, from the first
/// frame that starts after its middle; false when the file is too short.
inline bool WipeMp3Frames(const std::string& path, int count) {
    auto bytes = ReadBytes(path);
    // Length of the frame whose header is at `at`; 0 where there is none.
    auto length = [&bytes](std::size_t at) -> std::size_t {
        static const int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
        static const int kRates[] = {44100, 48000, 32000, 0};
        if (at + 3 >= bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xFE) != 0xFA) return 0;
        const int kbps = kKbps[bytes[at + 2] >> 4], rate = kRates[(bytes[at + 2] >> 2) & 3];
        if (kbps == 0 || rate == 0) return 0;
        return static_cast<std::size_t>(144 * kbps * 1000 / rate + ((bytes[at + 2] >> 1) & 1));
    };
    std::size_t at = bytes.size() / 2;
    while (at < bytes.size() && !(length(at) && length(at + length(at)))) ++at;
    std::size_t end = at;
    for (int frame = 0; frame < count; ++frame) {
        const std::size_t n = length(end);
        if (n == 0) return false;
        end += n;
    }
    if (end >= bytes.size()) return false;
    std::fill(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(end), 0);
    WriteBytes(path, bytes);
    return true;
}

}  // namespace testsupport
