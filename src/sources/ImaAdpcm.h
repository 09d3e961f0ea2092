#pragma once
#include <cstddef>
#include <cstdint>

#include "sources/AdpcmFormat.h"

/// IMA ADPCM decoder: the per-channel nibble rule, Microsoft-layout blocks and Apple IMA4 packets.
class ImaAdpcm {
public:
    /// Decoder state of one channel: the last sample and the step index (0..88).
    struct Channel {
        int predictor = 0;
        int stepIndex = 0;
        /// Decodes one 4-bit code with the standard rule; the sample is clipped to 16 bits.
        std::int16_t Decode(unsigned nibble);
    };

    /// Bytes of one Apple IMA4 packet (one channel) and the samples it yields.
    static constexpr int kApplePacketBytes = 34;
    static constexpr int kApplePacketSamples = 64;

    explicit ImaAdpcm(const AdpcmFormat& format) : m_format(format) {}

    /// False when the record cannot be decoded inside its own block: 1 or 2 channels, and a block
    /// large enough for the header and the nibbles of samplesPerBlock samples per channel.
    bool IsUsable() const;
    const AdpcmFormat& Format() const { return m_format; }
    /// Samples (all channels) that DecodeBlock writes.
    int SamplesPerBlock() const { return m_format.channels * m_format.samplesPerBlock; }

    /// Decodes one Microsoft-layout block of Format().blockAlign bytes into SamplesPerBlock()
    /// interleaved samples; returns the number written. Only valid when IsUsable().
    int DecodeBlock(const std::uint8_t* block, std::int16_t* out) const;

    /// Decodes one 34-byte Apple IMA4 packet (2-byte predictor/step header, 64 nibbles low first)
    /// into 64 samples written `stride` apart.
    static void DecodeApplePacket(const std::uint8_t* packet, std::int16_t* out, std::ptrdiff_t stride);

private:
    AdpcmFormat m_format;
};
