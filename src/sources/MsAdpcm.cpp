#include "sources/MsAdpcm.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kHeaderBytesPerChannel = 7;
constexpr int kMinDelta = 16;
// Keeps delta × adaptation inside 32 bits when a stream keeps choosing the largest codes.
constexpr int kMaxDelta = INT_MAX / 768;

struct ChannelState {
    int coef1 = 0;
    int coef2 = 0;
    int delta = 0;
    int sample1 = 0;
    int sample2 = 0;

    std::int16_t Decode(unsigned nibble) {
        const int signedNibble = (nibble & 8) ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble);
        const long long predicted =
            (static_cast<long long>(sample1) * coef1 + static_cast<long long>(sample2) * coef2) / 256 +
            static_cast<long long>(signedNibble) * delta;
        const int sample = static_cast<int>(std::clamp<long long>(predicted, -32768, 32767));
        delta = std::clamp(static_cast<int>(static_cast<long long>(delta) * kAdaptation[nibble] / 256),
                           kMinDelta, kMaxDelta);
        sample2 = sample1;
        sample1 = sample;
        return static_cast<std::int16_t>(sample);
    }
};

int ReadS16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

}  // namespace

bool MsAdpcm::IsUsable() const {
    const int ch = m_format.channels;
    if (ch < 1 || ch > 2 || m_format.samplesPerBlock < 2 || m_format.coefficients.size() < 2) return false;
    const long long nibbleBytes = m_format.blockAlign - static_cast<long long>(kHeaderBytesPerChannel) * ch;
    if (nibbleBytes < 0) return false;
    const long long nibbles = static_cast<long long>(m_format.samplesPerBlock - 2) * ch;
    return nibbles <= nibbleBytes * 2;
}

int MsAdpcm::DecodeBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int ch = m_format.channels;
    const std::size_t pairs = m_format.coefficients.size() / 2;
    ChannelState state[2];
    const std::uint8_t* p = block;
    for (int c = 0; c < ch; ++c) {
        const std::size_t predictor = p[c];
        if (predictor >= pairs) return 0;
        state[c].coef1 = m_format.coefficients[2 * predictor];
        state[c].coef2 = m_format.coefficients[2 * predictor + 1];
    }
    p += ch;
    for (int c = 0; c < ch; ++c) state[c].delta = ReadS16(p + 2 * c);
    p += 2 * ch;
    for (int c = 0; c < ch; ++c) state[c].sample1 = ReadS16(p + 2 * c);
    p += 2 * ch;
    for (int c = 0; c < ch; ++c) state[c].sample2 = ReadS16(p + 2 * c);
    p += 2 * ch;

    int n = 0;
    for (int c = 0; c < ch; ++c) out[n++] = static_cast<std::int16_t>(state[c].sample2);
    for (int c = 0; c < ch; ++c) out[n++] = static_cast<std::int16_t>(state[c].sample1);
    // High nibble first; in stereo the two nibbles of a byte belong to left and right.
    const int nibbles = (m_format.samplesPerBlock - 2) * ch;
    for (int k = 0; k < nibbles; ++k) {
        const unsigned byte = p[k >> 1];
        const unsigned nibble = (k & 1) ? (byte & 0x0f) : (byte >> 4);
        out[n++] = state[k % ch].Decode(nibble);
    }
    return n;
}
