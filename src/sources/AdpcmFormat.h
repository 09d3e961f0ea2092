#pragma once
#include <cstdint>
#include <vector>

/// The format record of an ADPCM stream as stored in a RIFF "fmt " chunk (little-endian fields).
struct AdpcmFormat {
    int formatTag = 0;
    int channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t avgBytesPerSec = 0;
    int blockAlign = 0;  // bytes of one block, all channels
    int bitsPerSample = 0;
    int cbSize = 0;
    int samplesPerBlock = 0;  // per channel
    /// MS ADPCM only: predictor coefficient pairs (coefficient 1, coefficient 2).
    std::vector<std::int16_t> coefficients;
};
