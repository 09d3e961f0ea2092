#include "engine/FedAudio.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/ConversionFrame.h"

namespace {

std::uint64_t Mix(std::uint64_t hash, float sample) {
    if (sample == 0.0f) sample = 0.0f;  // -0 decodes as 0 from integer formats
    std::uint32_t bits;
    std::memcpy(&bits, &sample, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        hash ^= (bits >> (8 * i)) & 0xFFu;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// A block's samples as floats, the way readers widen them.
float SampleAt(const PcmBlock& b, const void* channel, int i) {
    switch (b.bits) {
        case 8:
            return static_cast<float>(static_cast<const std::uint8_t*>(channel)[i] - 128) / 128.0f;
        case 16:
            return static_cast<float>(static_cast<const std::int16_t*>(channel)[i]) / 32768.0f;
        case 24:
            return static_cast<float>(static_cast<const std::int32_t*>(channel)[i]) / 8388608.0f;
        default:
            return static_cast<const float*>(channel)[i];
    }
}

}  // namespace

void FedAudio::Start(int rate, int channels, bool hashSamples) {
    *this = FedAudio{};
    m_rate = rate;
    m_channels = channels;
    m_hashSamples = hashSamples;
}

void FedAudio::Add(const PcmBlock& block) {
    if (block.frames <= 0) return;
    m_frames += block.frames;
    if (!m_hashSamples) return;
    const bool stereo = m_channels == 2 && block.right;
    for (int i = 0; i < block.frames; ++i) {
        m_hash = Mix(m_hash, SampleAt(block, block.left, i));
        if (stereo) m_hash = Mix(m_hash, SampleAt(block, block.right, i));
    }
}

std::uint64_t FedAudio::HashFloats(std::uint64_t hash, const float* left, const float* right, int frames) {
    for (int i = 0; i < frames; ++i) {
        hash = Mix(hash, left[i]);
        if (right) hash = Mix(hash, right[i]);
    }
    return hash;
}
