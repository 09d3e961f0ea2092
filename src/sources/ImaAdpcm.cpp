#include "sources/ImaAdpcm.h"

#include <algorithm>

namespace {

constexpr int kIndexTable[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int kStepTable[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kMaxStepIndex = 88;
constexpr int kHeaderBytesPerChannel = 4;
constexpr int kGroupBytes = 4;  // per channel, 8 nibbles

}  // namespace

std::int16_t ImaAdpcm::Channel::Decode(unsigned nibble) {
    const int step = kStepTable[stepIndex];
    int diff = step >> 3;
    if (nibble & 1) diff += step >> 2;
    if (nibble & 2) diff += step >> 1;
    if (nibble & 4) diff += step;
    if (nibble & 8) diff = -diff;
    predictor = std::clamp(predictor + diff, -32768, 32767);
    stepIndex = std::clamp(stepIndex + kIndexTable[nibble & 7], 0, kMaxStepIndex);
    return static_cast<std::int16_t>(predictor);
}

bool ImaAdpcm::IsUsable() const {
    const int ch = m_format.channels;
    if (ch < 1 || ch > 2 || m_format.samplesPerBlock < 1) return false;
    const int dataBytes = m_format.blockAlign - kHeaderBytesPerChannel * ch;
    if (dataBytes < 0) return false;
    // Nibbles come in whole 4-byte groups per channel; a partial group at the end is not used.
    const long long nibblesPerChannel = static_cast<long long>(dataBytes / (kGroupBytes * ch)) * 8;
    return m_format.samplesPerBlock - 1 <= nibblesPerChannel;
}

int ImaAdpcm::DecodeBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int ch = m_format.channels;
    const int perChannel = m_format.samplesPerBlock;
    Channel state[2];
    for (int c = 0; c < ch; ++c) {
        const std::uint8_t* h = block + kHeaderBytesPerChannel * c;
        state[c].predictor = static_cast<std::int16_t>(h[0] | (h[1] << 8));
        state[c].stepIndex = std::min<int>(h[2], kMaxStepIndex);
        out[c] = static_cast<std::int16_t>(state[c].predictor);
    }
    const std::uint8_t* data = block + kHeaderBytesPerChannel * ch;
    // Each round holds one 4-byte group per channel, 8 samples each; the last round may be cut
    // short by samplesPerBlock.
    for (int done = 1; done < perChannel; done += 8) {
        const int count = std::min(8, perChannel - done);
        for (int c = 0; c < ch; ++c) {
            const std::uint8_t* group = data + kGroupBytes * c;
            for (int k = 0; k < count; ++k) {
                const unsigned byte = group[k >> 1];
                const unsigned nibble = (k & 1) ? (byte >> 4) : (byte & 0x0f);
                out[(done + k) * ch + c] = state[c].Decode(nibble);
            }
        }
        data += kGroupBytes * ch;
    }
    return ch * perChannel;
}

void ImaAdpcm::DecodeApplePacket(const std::uint8_t* packet, std::int16_t* out, std::ptrdiff_t stride) {
    Channel state;
    // The predictor's top nine bits come from the header; its low seven bits start at zero.
    state.predictor = static_cast<std::int16_t>((packet[0] << 8) | (packet[1] & 0x80));
    state.stepIndex = std::min(packet[1] & 0x7f, kMaxStepIndex);
    for (int k = 0; k < kApplePacketSamples; ++k) {
        const unsigned byte = packet[2 + (k >> 1)];
        const unsigned nibble = (k & 1) ? (byte >> 4) : (byte & 0x0f);
        out[k * stride] = state.Decode(nibble);
    }
}
