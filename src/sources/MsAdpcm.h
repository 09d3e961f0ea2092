#pragma once
#include <cstdint>

#include "sources/AdpcmFormat.h"

/// Microsoft ADPCM block decoder over a format record with its coefficient table.
class MsAdpcm {
public:
    explicit MsAdpcm(const AdpcmFormat& format) : m_format(format) {}

    /// False when the record cannot be decoded inside its own block: 1 or 2 channels, at least
    /// one coefficient pair, at least the two header samples, and a block holding the 7-byte
    /// header per channel plus the nibbles of samplesPerBlock samples.
    bool IsUsable() const;
    const AdpcmFormat& Format() const { return m_format; }
    /// Samples (all channels) that DecodeBlock writes.
    int SamplesPerBlock() const { return m_format.channels * m_format.samplesPerBlock; }

    /// Decodes one block of Format().blockAlign bytes into SamplesPerBlock() interleaved samples.
    /// Returns the number written, or 0 when a predictor index lies outside the coefficient table.
    int DecodeBlock(const std::uint8_t* block, std::int16_t* out) const;

private:
    AdpcmFormat m_format;
};
