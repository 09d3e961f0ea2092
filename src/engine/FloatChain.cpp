#include "engine/FloatChain.h"

#include <algorithm>
#include <cstdint>

#include "engine/PcmAmplify.h"
#include "sources/AudioSource.h"

namespace {

void Widen(const void* in, int bits, float* out, int frames) {
    if (bits == kFloatBits) {
        std::copy_n(static_cast<const float*>(in), frames, out);
    } else if (bits == 16) {
        const auto* s = static_cast<const std::int16_t*>(in);
        for (int i = 0; i < frames; ++i) out[i] = static_cast<float>(s[i]) * (1.0f / 32768.0f);
    } else {
        const auto* s = static_cast<const std::uint8_t*>(in);
        for (int i = 0; i < frames; ++i) out[i] = static_cast<float>(s[i] - 128) * (1.0f / 128.0f);
    }
}

}  // namespace

int FloatChain::Setup(int sourceRate, int inputChannels, int sourceBits, int targetRate, int targetChannels,
                      float gain, SoxrResampler::Quality quality) {
    if ((inputChannels != 1 && inputChannels != 2) || (targetChannels != 1 && targetChannels != 2) ||
        (sourceBits != 8 && sourceBits != 16 && sourceBits != kFloatBits) || sourceRate <= 0 ||
        targetRate <= 0)
        return 0;
    m_inputChannels = inputChannels;
    m_targetChannels = targetChannels;
    m_sourceBits = sourceBits;
    m_gain = gain != 0.0f && gain != 1.0f ? gain : 0.0f;
    m_resample = sourceRate != targetRate;
    // Channels are reduced before resampling and copied after it, so one filter runs when one will do.
    const int filtered = std::min(inputChannels, targetChannels);
    return !m_resample || m_resampler.Setup(sourceRate, targetRate, filtered, quality) ? 1 : 0;
}

int FloatChain::Process(const void* left, const void* right, int frames) {
    if (m_inputChannels == 0 || frames < 0 || !left || (m_inputChannels == 2 && !right)) return -1;
    const auto size = static_cast<std::size_t>(frames);
    for (int c = 0; c < m_inputChannels; ++c)
        if (m_wide[c].size() < size) m_wide[c].resize(size);
    Widen(left, m_sourceBits, m_wide[0].data(), frames);
    if (m_inputChannels == 2) Widen(right, m_sourceBits, m_wide[1].data(), frames);
    if (m_inputChannels == 2 && m_targetChannels == 1)
        for (int i = 0; i < frames; ++i) m_wide[0][i] = (m_wide[0][i] + m_wide[1][i]) * 0.5f;
    if (!m_resample) {
        m_result[0] = m_wide[0].data();
        m_result[1] = m_wide[m_inputChannels == 2 ? 1 : 0].data();
        return Finish(frames);
    }
    const float* in[2] = {m_wide[0].data(), m_wide[1].data()};
    const int got = m_resampler.Process(in, frames);
    return got < 0 ? -1 : Finish(got);
}

int FloatChain::Flush() {
    if (!m_resample) return 0;
    const int got = m_resampler.Flush();
    return got < 0 ? -1 : Finish(got);
}

int FloatChain::Finish(int frames) {
    if (m_resample) {
        const int filtered = std::min(m_inputChannels, m_targetChannels);
        for (int c = 0; c < filtered; ++c) {
            if (m_copy[c].size() < static_cast<std::size_t>(frames))
                m_copy[c].resize(static_cast<std::size_t>(frames));
            std::copy_n(m_resampler.Output(c), frames, m_copy[c].data());
        }
        m_result[0] = m_copy[0].data();
        m_result[1] = m_copy[filtered == 2 ? 1 : 0].data();
    }
    if (m_targetChannels == 2 && m_result[1] == m_result[0]) {
        // One channel to two: the right is a copy, held apart so that gain applies once to each.
        auto& right = m_resample ? m_copy[1] : m_wide[1];
        if (right.size() < static_cast<std::size_t>(frames)) right.resize(static_cast<std::size_t>(frames));
        std::copy_n(m_result[0], frames, right.data());
        m_result[1] = right.data();
    }
    if (m_gain != 0.0f) AmplifyFloat(m_result[0], m_result[1], frames, m_targetChannels, m_gain);
    return frames;
}
